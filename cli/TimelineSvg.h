#pragma once
// A song's timeline as an SVG picture: the sixteen lanes with their track numbers, each stretch of
// audio in its file's colour with its waveform, Silence entries in grey with a dashed edge, locate points A
// and B as lines and a ruler in the song's time code.

#include "wave/Peaks.h"
#include "wave/Timeline.h"

#include <map>
#include <string>

namespace cli {

// The SVG document, `width` pixels wide; `peaks` by source name (files without peaks are drawn flat).
std::string TimelineSvg(const wave::SongTimeline& song, const std::string& title,
                        const std::map<std::string, wave::Peaks>& peaks, int width = 1200);

} // namespace cli
