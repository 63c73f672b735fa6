#pragma once
// Test songs: ADL text written directly (tabs, CR LF, the section order the reader wants) and mono
// 16-bit source files whose samples encode their file id and index.

#include "TestSupport.h"
#include "adl/TimeCode.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "wave/WaveFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace songtest {

struct Ev {
    uint16_t number = 0;
    int type = 1; // 1 Cut, 2 Silence, 3 Aux
    std::string source;
    int channel = 1;
    uint32_t sourceIn = 0, destIn = 0, destOut = 0;
};

inline uint8_t RateKindOfCode(int code) {
    return code == 1   ? adl::CTimeCode::RATE_48000
           : code == 3 ? adl::CTimeCode::RATE_22050
                       : adl::CTimeCode::RATE_44100;
}

inline std::string Tc(uint32_t samples, int rateCode) {
    adl::CTimeCode tc;
    tc.Set(samples, adl::CTimeCode::FPS_25, RateKindOfCode(rateCode));
    return tc.Format();
}

// rateCode 0 writes no sample-rate line.
inline std::string AdlText(int rateCode, const std::vector<Ev>& events, uint32_t locateA = 0,
                           uint32_t locateB = 0) {
    const char* rates[] = {"", "S48000", "S44100", "S22050"};
    std::string t = "<ADL>\r\n\t<VERSION>\r\n\t\t(ADL_ID)\t\"test\"\r\n\t</VERSION>\r\n";
    t += "\t<PROJECT>\r\n\t\t(PROJ_TITLE)\t\"song\"\r\n\t</PROJECT>\r\n\t<SEQUENCE>\r\n";
    if (rateCode >= 1 && rateCode <= 3)
        t += platform::Format("\t\t(SEQ_SAMPLE_RATE)\t%s\r\n", rates[rateCode]);
    t += "\t\t(SEQ_FRAME_RATE)\t25\r\n\t\t(SEQ_ADL_LEVEL)\t1\r\n";
    t += "\t\t(SEQ_DEST_START)\t" + Tc(0, rateCode) + "\r\n\t</SEQUENCE>\r\n";
    t += "\t<TRACKLIST>\r\n\t\t(Track)\t1\t\" \"\r\n\t</TRACKLIST>\r\n\t<MEMLIST>\r\n";
    t += "\t\t(Memory)\t01\t\"IN\"\t" + Tc(locateA, rateCode) + "\r\n";
    t += "\t\t(Memory)\t02\t\"OUT\"\t" + Tc(locateB, rateCode) + "\r\n\t</MEMLIST>\r\n";
    t += "\t<TEMPO_MAP>\r\n\t\t(Offset)\t2\r\n\t</TEMPO_MAP>\r\n\t<EVENT_LIST>\r\n";
    for (const auto& e : events) {
        if (e.type == 2)
            t += platform::Format("\t\t(Entry)\t%04d\t(Silence)\t%d\t%s\t%s\t_\r\n", e.number, e.channel,
                                  Tc(e.destIn, rateCode).c_str(), Tc(e.destOut, rateCode).c_str());
        else
            t += platform::Format("\t\t(Entry)\t%04d\t%s\tF\t\"%s\"\t1\t%d\t%s\t%s\t%s\t_\r\n", e.number,
                                  e.type == 3 ? "(Aux)" : "(Cut)", e.source.c_str(), e.channel,
                                  Tc(e.sourceIn, rateCode).c_str(), Tc(e.destIn, rateCode).c_str(),
                                  Tc(e.destOut, rateCode).c_str());
    }
    t += "\t</EVENT_LIST>\r\n</ADL>\r\n";
    return t;
}

// Sample k of source file id: id in the top four bits, k in the low twelve (files stay below 4096).
inline int16_t Mark(int id, uint32_t k) {
    return static_cast<int16_t>((id << 12) | (k & 0xFFF));
}

inline bool WriteSource(const std::string& path, int id, uint32_t samples, uint16_t channels = 1,
                        uint16_t bits = 16, uint32_t rate = 48000) {
    std::vector<int16_t> data(samples);
    for (uint32_t k = 0; k < samples; ++k)
        data[k] = Mark(id, k);
    wave::CWaveFile w;
    return w.Create(path, channels, bits, rate) && w.WriteData(data.data(), samples * 2, 0) && w.Close();
}

// The audio of a file this program wrote, as samples.
inline std::vector<int16_t> ReadSamples(const std::string& path) {
    const auto bytes = testsupport::ReadBytes(path);
    std::vector<int16_t> s;
    if (bytes.size() < wave::kAudioOffset)
        return s;
    const size_t size = bytes[32764] | bytes[32765] << 8 | bytes[32766] << 16 | size_t(bytes[32767]) << 24;
    for (size_t i = wave::kAudioOffset; i + 1 < bytes.size() && i < wave::kAudioOffset + size; i += 2)
        s.push_back(static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8));
    return s;
}

} // namespace songtest
