#include "TimelineSvg.h"

#include "platform/Text.h"

#include <algorithm>
#include <cstdio>

namespace cli {
namespace {

constexpr int kLabelWidth = 44;
constexpr int kRulerHeight = 30;
constexpr int kLaneHeight = 34;
constexpr int kTitleHeight = 24;

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
        }
    }
    return out;
}

std::string Colour(uint32_t rgb) {
    return platform::Format("#%06x", rgb & 0xFFFFFFu);
}

struct Frame {
    const wave::SongTimeline& song;
    double samplesPerPixel;
    int width;
    double X(uint64_t samples) const { return kLabelWidth + static_cast<double>(samples) / samplesPerPixel; }
    int LaneTop(int lane) const { return kTitleHeight + kRulerHeight + lane * kLaneHeight; }
};

void Ruler(std::string& svg, const Frame& f) {
    const uint64_t step = wave::RulerStep(f.samplesPerPixel, f.song.sampleRate, 130);
    const int bottom = f.LaneTop(0);
    for (uint64_t at = 0; f.X(at) <= f.width; at += step) {
        svg += platform::Format("<line x1=\"%.1f\" y1=\"%d\" x2=\"%.1f\" y2=\"%d\" stroke=\"#555\"/>\n",
                                f.X(at), bottom - 8, f.X(at), bottom);
        if (f.X(at) + 100 <= f.width)
            svg += platform::Format("<text x=\"%.1f\" y=\"%d\" class=\"r\">%s</text>\n", f.X(at) + 3,
                                    bottom - 11, Escaped(f.song.TimeCodeText(at)).c_str());
    }
}

// The waveform of an audio stretch: one vertical min/max line per pixel column.
void Wave(std::string& svg, const Frame& f, const wave::Stretch& s, const wave::Peaks& peaks, int top) {
    const double x0 = f.X(s.start), x1 = f.X(s.End());
    const double middle = top + kLaneHeight / 2.0, half = kLaneHeight / 2.0 - 3;
    std::string path;
    for (int x = static_cast<int>(x0); x < static_cast<int>(x1 + 0.999); ++x) {
        const double from = std::max(0.0, (x - x0)) * f.samplesPerPixel;
        const double to = std::min(x + 1 - x0, x1 - x0) * f.samplesPerPixel;
        int16_t lo = 0, hi = 0;
        if (to <= from || !peaks.Range(s.sourceOffset + static_cast<uint64_t>(from),
                                       s.sourceOffset + static_cast<uint64_t>(to) + 1, &lo, &hi))
            continue;
        path += platform::Format("M%d.5 %.1fV%.1f", x, middle - half * hi / 32768.0,
                                 middle - half * lo / 32768.0 + 0.5);
    }
    if (!path.empty())
        svg += "<path d=\"" + path + "\" stroke=\"#223\" stroke-width=\"1\" fill=\"none\"/>\n";
}

void Lane(std::string& svg, const Frame& f, int lane, const std::map<std::string, wave::Peaks>& peaks) {
    const int top = f.LaneTop(lane);
    const wave::TrackTimeline& track = f.song.tracks[static_cast<size_t>(lane)];
    svg += platform::Format("<rect x=\"0\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"%s\"/>\n", top, f.width,
                            kLaneHeight, lane % 2 ? "#eceef1" : "#f6f7f9");
    svg += platform::Format("<text x=\"6\" y=\"%d\" class=\"t\" fill=\"%s\">TR%d</text>\n",
                            top + kLaneHeight / 2 + 4, track.InUse() ? "#222" : "#999", lane + 1);
    for (const wave::Stretch& s : track.stretches) {
        const double x = f.X(s.start), w = std::max(1.0, f.X(s.End()) - x);
        if (s.kind == wave::StretchKind::Silence) {
            svg += platform::Format(
                "<rect x=\"%.2f\" y=\"%d\" width=\"%.2f\" height=\"%d\" fill=\"#dedede\" "
                "stroke=\"#888\" stroke-dasharray=\"3,2\"><title>%d (silence)</title></rect>\n",
                x, top + 4, w, kLaneHeight - 8, s.number);
        } else if (s.kind == wave::StretchKind::Audio) {
            const uint32_t colour = wave::SourceColour(f.song.SourceIndex(s.sourceName));
            svg += platform::Format("<rect x=\"%.2f\" y=\"%d\" width=\"%.2f\" height=\"%d\" fill=\"%s\" "
                                    "stroke=\"#00000040\"><title>%d %s</title></rect>\n",
                                    x, top + 1, w, kLaneHeight - 2, Colour(colour).c_str(), s.number,
                                    Escaped(s.sourceName).c_str());
            if (const auto it = peaks.find(s.sourceName); it != peaks.end())
                Wave(svg, f, s, it->second, top);
        }
    }
}

void Locates(std::string& svg, const Frame& f) {
    static constexpr const char* kNames[2] = {"A", "B"};
    static constexpr const char* kColours[2] = {"#d03030", "#2050d0"};
    const int top = kTitleHeight - 4, bottom = f.LaneTop(wave::kTimelineTracks);
    for (int n = 0; n < 2; ++n) {
        if (!f.song.hasLocate[n])
            continue;
        const double x = f.X(f.song.locate[n]);
        svg += platform::Format("<line x1=\"%.1f\" y1=\"%d\" x2=\"%.1f\" y2=\"%d\" stroke=\"%s\" "
                                "stroke-width=\"1.5\"/>\n",
                                x, top, x, bottom, kColours[n]);
        svg += platform::Format("<text x=\"%.1f\" y=\"%d\" class=\"l\" fill=\"%s\">%s</text>\n", x + 3,
                                top + 8, kColours[n], kNames[n]);
    }
}

} // namespace

std::string TimelineSvg(const wave::SongTimeline& song, const std::string& title,
                        const std::map<std::string, wave::Peaks>& peaks, int width) {
    const int height = kTitleHeight + kRulerHeight + wave::kTimelineTracks * kLaneHeight + 1;
    const uint64_t length = std::max<uint64_t>({song.length, song.locate[0], song.locate[1], 1});
    const Frame f{song, static_cast<double>(length) / (width - kLabelWidth - 8), width};
    std::string svg = platform::Format(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\">\n"
        "<defs><style>text{font-family:sans-serif;font-size:11px}.r{font-size:10px;fill:#444}"
        ".t{font-weight:bold}.l{font-weight:bold}</style></defs>\n"
        "<rect width=\"100%%\" height=\"100%%\" fill=\"#ffffff\"/>\n",
        width, height, width, height);
    svg += platform::Format("<text x=\"6\" y=\"16\" class=\"t\">%s</text>\n", Escaped(title).c_str());
    Ruler(svg, f);
    for (int lane = 0; lane < wave::kTimelineTracks; ++lane)
        Lane(svg, f, lane, peaks);
    Locates(svg, f);
    svg += "</svg>\n";
    return svg;
}

} // namespace cli
