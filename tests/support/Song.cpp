#include "Song.h"

#include "adl/TimeCode.h"
#include "platform/Text.h"

namespace testsupport {

std::string Tc(uint32_t samples, adl::SampleRateCode rate) {
    adl::CTimeCode tc;
    const uint8_t kind = adl::TimeCodeRateKind(rate);
    tc.Set(samples, adl::CTimeCode::FPS_25, kind != 0 ? kind : uint8_t{adl::CTimeCode::RATE_44100});
    return tc.Format();
}

std::string AdlText(adl::SampleRateCode rate, const std::vector<Ev>& events, uint32_t locateA,
                    uint32_t locateB) {
    std::string t = "<ADL>\r\n\t<VERSION>\r\n\t\t(ADL_ID)\t\"test\"\r\n\t</VERSION>\r\n";
    t += "\t<PROJECT>\r\n\t\t(PROJ_TITLE)\t\"song\"\r\n\t</PROJECT>\r\n\t<SEQUENCE>\r\n";
    if (const char* text = adl::SampleRateCodeText(rate))
        t += platform::Format("\t\t(SEQ_SAMPLE_RATE)\t%s\r\n", text);
    t += "\t\t(SEQ_FRAME_RATE)\t25\r\n\t\t(SEQ_ADL_LEVEL)\t1\r\n";
    t += "\t\t(SEQ_DEST_START)\t" + Tc(0, rate) + "\r\n\t</SEQUENCE>\r\n";
    t += "\t<TRACKLIST>\r\n\t\t(Track)\t1\t\" \"\r\n\t</TRACKLIST>\r\n\t<MEMLIST>\r\n";
    t += "\t\t(Memory)\t01\t\"IN\"\t" + Tc(locateA, rate) + "\r\n";
    t += "\t\t(Memory)\t02\t\"OUT\"\t" + Tc(locateB, rate) + "\r\n\t</MEMLIST>\r\n";
    t += "\t<TEMPO_MAP>\r\n\t\t(Offset)\t2\r\n\t</TEMPO_MAP>\r\n\t<EVENT_LIST>\r\n";
    for (const auto& e : events) {
        const char* type = adl::EditTypeText(e.type);
        if (e.type == adl::EditType::Silence)
            t += platform::Format("\t\t(Entry)\t%04d\t%s\t%d\t%s\t%s\t_\r\n", e.number, type, e.channel,
                                  Tc(e.destIn, rate).c_str(), Tc(e.destOut, rate).c_str());
        else
            t += platform::Format("\t\t(Entry)\t%04d\t%s\tF\t\"%s\"\t1\t%d\t%s\t%s\t%s\t_\r\n", e.number,
                                  type, e.source.c_str(), e.channel, Tc(e.sourceIn, rate).c_str(),
                                  Tc(e.destIn, rate).c_str(), Tc(e.destOut, rate).c_str());
    }
    t += "\t</EVENT_LIST>\r\n</ADL>\r\n";
    return t;
}

std::string EntryLine(int number, int fileNumber, int track, uint32_t length, adl::SampleRateCode rate) {
    return platform::Format("\t\t(Entry)\t%04d\t(Cut)\tF\t\"zt5%04d.wav\"\t1\t%d\t%s\t%s\t%s\t_\r\n", number,
                            fileNumber, track, Tc(0, rate).c_str(), Tc(0, rate).c_str(),
                            Tc(length, rate).c_str());
}

} // namespace testsupport
