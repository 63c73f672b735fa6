// pelmora-adl-info: prints a summary of a song's ADL file (title, rates, tracks, locate points, events).

#include "adl/AdlFile.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string SampleRateText(adl::SampleRateCode code) {
    const uint32_t rate = adl::SampleRateOfCode(code);
    return rate ? std::to_string(rate) + " Hz" : "not set";
}

const char* FrameRateText(int frameKind) {
    static const char* const kTexts[] = {
        "not set", "24 fps", "25 fps", "29.97 fps", "29.97 fps drop-frame", "30 fps", "30 fps drop-frame"};
    return frameKind >= 0 && frameKind <= 6 ? kTexts[frameKind] : "not set";
}

// The edit type without its parentheses: "Cut" for "(Cut)".
std::string ShortEditType(adl::EditType type) {
    const char* text = adl::EditTypeText(type);
    return text ? std::string(text + 1, std::strlen(text) - 2) : "?";
}

std::string TimeText(const adl::CTimeCode& t) {
    const std::string text = t.Format();
    return text.empty() ? "-" : text;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("Usage: pelmora-adl-info SONG.adl\n\n"
                    "Prints a summary of a song's ADL file: title, creation date, sample rate, time code,\n"
                    "tracks, locate points and the event list.\n"
                    "Exit status: 0 success, 1 the file cannot be read, 2 usage error.\n");
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SONG.adl\n", argv[0]);
        return 2;
    }
    adl::CAdlFile adl;
    if (!adl.Open(argv[1], true)) {
        std::fprintf(stderr, "Can not open ADL file! (%s)\n", argv[1]);
        return 1;
    }

    const adl::CTimeCode start = adl.GetDestStart();
    std::printf("Title:         %s\n", adl.GetProjectTitle().c_str());
    std::printf("Created:       %s\n", adl.GetProjectCreateDate().c_str());
    std::printf("Sample rate:   %s\n", SampleRateText(adl.GetSampleRateCode()).c_str());
    std::printf("Time code:     %s, start %s\n", FrameRateText(start.GetFrameKind()),
                TimeText(start).c_str());

    std::printf("Tracks:        %d\n", adl.GetTrackCount());
    for (int i = 0; i < adl.GetTrackCount(); ++i) {
        adl::AdlTrack track;
        adl.GetTrack(i, &track);
        std::printf("  %2u  %s\n", track.m_number, track.m_name);
    }

    std::printf("Locate points: %d\n", adl.GetLocateCount());
    for (int i = 0; i < adl.GetLocateCount(); ++i) {
        adl::AdlLocate locate;
        adl.GetLocate(i, &locate);
        std::printf("  %2u  %-8s %s\n", locate.m_number, locate.m_name, TimeText(locate.m_time).c_str());
    }

    const int count = adl.GetEventCount();
    std::printf("Events:        %d\n", count);
    if (count > 0) {
        std::printf(
            "  entry  type     track  source           source in         dest in           dest out\n");
    }
    for (int i = 0; i < count; ++i) {
        adl::AdlEvent ev;
        adl.GetEvent(i, &ev);
        std::printf("  %04u   %-8s %5u  %-16s %-17s %-17s %s\n", ev.m_entryNumber,
                    ShortEditType(ev.m_editType).c_str(), ev.m_destChannel, ev.m_sourceName,
                    TimeText(ev.m_sourceIn).c_str(), TimeText(ev.m_destIn).c_str(),
                    TimeText(ev.m_destOut).c_str());
    }
    adl.Close();
    return 0;
}
