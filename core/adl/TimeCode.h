#pragma once
// A song position as a sample count, plus the frame-rate and sample-rate kinds that say how it is
// written as the 16-character ADL time code ("hh?mm?ss?ff?nnnn").

#include <cstdint>
#include <string>

namespace adl {

class CTimeCode {
public:
    // Frame-rate kinds.
    enum : uint8_t {
        FPS_24 = 1,
        FPS_25 = 2,
        FPS_2997 = 3,
        FPS_2997_DROP = 4,
        FPS_30 = 5,
        FPS_30_DROP = 6,
    };
    // Sample-rate kinds.
    enum : uint8_t {
        RATE_22050 = 1,
        RATE_44100 = 2,
        RATE_48000 = 3,
        RATE_32000 = 4,
    };
    // Characters of the text form, and the smallest buffer Format accepts (text plus NUL).
    static constexpr int kTextLength = 16;
    static constexpr int kTextBufferSize = 17;

    // 25 fps, 44100 Hz, position 0, valid.
    CTimeCode();
    CTimeCode(const CTimeCode& other) = default;
    // Copies every member, the invalid flag included, so the target equals the source.
    CTimeCode& operator=(const CTimeCode& other) = default;
    virtual ~CTimeCode();

    // Reads a 16-character time code. False marks the value invalid: a text of the wrong length keeps
    // the position, an unknown separator sets it to 0.
    bool Parse(const char* text);
    // Writes the text of the position into out (at least kTextBufferSize bytes); empty text when the
    // kinds have no text form (32000 Hz, kind 0).
    void Format(char* out) const;
    std::string Format() const;

    // The position, or 0 when the last Parse failed.
    uint32_t GetSamples() const;
    void SetSamples(uint32_t samples) { m_samples = samples; }
    // Clears the invalid flag and sets all three, without range tests.
    void Set(uint32_t samples, uint8_t frameKind, uint8_t rateKind);
    // Out-of-range kinds are ignored.
    void SetFrameKind(int kind);
    void SetRateKind(int kind);
    uint8_t GetFrameKind() const { return m_frameKind; }
    uint8_t GetRateKind() const { return m_rateKind; }
    bool IsInvalid() const { return m_invalid != 0; }

    // Fields of the last successful Parse.
    int GetHours() const { return m_hours; }
    int GetMinutes() const { return m_minutes; }
    int GetSeconds() const { return m_seconds; }
    int GetFrames() const { return m_frames; }
    int GetSubFrames() const { return m_subFrames; }

    // Sample rate in Hz of a sample-rate kind (0 for an unknown kind).
    static uint32_t SampleRateOfKind(int rateKind);
    // Twice the samples per frame (2 x rate / nominal fps, rounded), or 0 for unknown kinds.
    static uint32_t TwiceSamplesPerFrame(int frameKind, int rateKind);

    // Arithmetic works on the positions; results carry the default kinds (25 fps, 44100 Hz).
    // Addition wraps at 2^32; subtraction stops at 0.
    CTimeCode operator+(uint32_t samples) const;
    CTimeCode operator+(const CTimeCode& other) const;
    CTimeCode operator-(uint32_t samples) const;
    CTimeCode operator-(const CTimeCode& other) const;
    CTimeCode& operator+=(uint32_t samples);
    CTimeCode& operator-=(uint32_t samples);

    // Comparisons look at the positions only.
    bool operator<(const CTimeCode& o) const { return m_samples < o.m_samples; }
    bool operator<=(const CTimeCode& o) const { return m_samples <= o.m_samples; }
    bool operator>(const CTimeCode& o) const { return m_samples > o.m_samples; }
    bool operator>=(const CTimeCode& o) const { return m_samples >= o.m_samples; }
    bool operator==(const CTimeCode& o) const { return m_samples == o.m_samples; }
    bool operator!=(const CTimeCode& o) const { return m_samples != o.m_samples; }

private:
    int8_t m_hours = 0;
    int8_t m_minutes = 0;
    int8_t m_seconds = 0;
    int8_t m_frames = 0;
    uint16_t m_subFrames = 0;
    uint32_t m_samples = 0;
    int32_t m_invalid = 0;
    uint8_t m_frameKind = FPS_25;
    uint8_t m_rateKind = RATE_44100;
};

} // namespace adl
