#pragma once
// Export test helpers: PC-side track files as PC programs write them (44-byte header, or the
// extensible form), the audio of a file on the card, and recorders for the job's outputs.

#include "TestSupport.h"
#include "adl/TimeCode.h"
#include "platform/MessageTarget.h"
#include "platform/Progress.h"
#include "platform/Text.h"
#include "wave/WaveFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace exporttest {

inline void Le16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Le32(std::vector<uint8_t>& out, uint32_t v) {
    Le16(out, v & 0xFFFF);
    Le16(out, v >> 16);
}

// Sample k of the file for track t: t in the top four bits, k in the low twelve.
inline int16_t Mark(int track, uint32_t k) {
    return static_cast<int16_t>((track << 12) | (k & 0xFFF));
}

struct PcFormat {
    uint16_t channels = 1;
    uint16_t bits = 16;
    uint32_t rate = 44100;
    bool extensible = false;
};

// A PC track file holding `samples` marked 16-bit samples (or that many bytes per sample of other widths).
inline bool WritePcTrack(const std::string& path, int track, uint32_t samples, PcFormat f = {}) {
    const uint32_t frame = f.channels * (f.bits / 8u);
    std::vector<uint8_t> data;
    for (uint32_t k = 0; k < samples; ++k) {
        for (uint32_t b = 0; b < frame; b += 2)
            Le16(data, static_cast<uint16_t>(Mark(track, k)));
    }
    data.resize(static_cast<size_t>(samples) * frame);
    std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
    const uint32_t fmtSize = f.extensible ? 40 : 16;
    Le32(out, 4 + 8 + fmtSize + 8 + static_cast<uint32_t>(data.size()));
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Le32(out, fmtSize);
    Le16(out, f.extensible ? 0xFFFE : 1);
    Le16(out, f.channels);
    Le32(out, f.rate);
    Le32(out, f.rate * frame);
    Le16(out, static_cast<uint16_t>(frame));
    Le16(out, f.bits);
    if (f.extensible) {
        Le16(out, 22);     // extra size
        Le16(out, f.bits); // valid bits
        Le32(out, 4);      // channel mask: front centre
        const uint8_t pcm[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        out.insert(out.end(), pcm, pcm + 16);
    }
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    Le32(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return testsupport::WriteBytes(path, out);
}

inline std::vector<int16_t> Marks(int track, uint32_t samples) {
    std::vector<int16_t> s(samples);
    for (uint32_t k = 0; k < samples; ++k)
        s[k] = Mark(track, k);
    return s;
}

// The audio of a file the program wrote (data size at 32764, audio from 32768); empty when too short.
inline std::vector<int16_t> CardAudio(const std::string& path) {
    const auto bytes = testsupport::ReadBytes(path);
    std::vector<int16_t> s;
    if (bytes.size() < wave::kAudioOffset)
        return s;
    const size_t size = bytes[32764] | bytes[32765] << 8 | bytes[32766] << 16 | size_t(bytes[32767]) << 24;
    if (bytes.size() < wave::kAudioOffset + size)
        return {};
    for (size_t i = wave::kAudioOffset; i + 1 < wave::kAudioOffset + size; i += 2)
        s.push_back(static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8));
    return s;
}

// "00.00.00.00|0000" style text of a position at 25 fps.
inline std::string Tc(uint32_t samples, uint8_t rateKind) {
    adl::CTimeCode t;
    t.Set(samples, adl::CTimeCode::FPS_25, rateKind);
    return t.Format();
}

// The line the export adds for a track.
inline std::string EntryLine(int number, int fileNumber, int track, uint32_t length, uint8_t rateKind) {
    return platform::Format("\t\t(Entry)\t%04d\t(Cut)\tF\t\"zt5%04d.wav\"\t1\t%d\t%s\t%s\t%s\t_\r\n", number,
                            fileNumber, track, Tc(0, rateKind).c_str(), Tc(0, rateKind).c_str(),
                            Tc(length, rateKind).c_str());
}

struct Lines : platform::ITextLine {
    std::vector<std::string> texts;
    void SetText(const std::string& t) override { texts.push_back(t); }
};

struct Bar : platform::IProgressBar {
    std::vector<int64_t> ranges;
    int64_t pos = -1;
    void SetRange(int64_t, int64_t high) override { ranges.push_back(high); }
    void SetPos(int64_t p) override { pos = p; }
};

// The page window: records the transfer messages and cancels once the status line shows cancelOn
// and `blocks` position messages have arrived for it.
struct Page : platform::IMessageTarget {
    Lines* lines = nullptr;
    platform::CancelFlag* cancel = nullptr;
    std::string cancelOn;
    int blocks = 1;
    std::vector<uintptr_t> ranges;
    int positions = 0;
    intptr_t Send(unsigned m, uintptr_t w, intptr_t) override {
        if (m == wave::WM_TRANSFER_RANGE)
            ranges.push_back(w);
        if (m != wave::WM_TRANSFER_POS)
            return 0;
        ++positions;
        if (cancel && lines && !lines->texts.empty() && lines->texts.back() == cancelOn && --blocks == 0)
            cancel->store(1);
        return 0;
    }
    void Post(unsigned, uintptr_t, intptr_t) override {}
};

} // namespace exporttest
