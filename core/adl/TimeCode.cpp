#include "adl/TimeCode.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace adl {

namespace {

struct FrameKindInfo {
    uint32_t perHour;
    uint32_t perMinute;
    uint32_t perSecond;
    bool drop;
    bool ntsc; // 1000/1001 scaling of the position
    char sep1, sep2, sep3;
};

// Index 0 is unused; kinds 1 to 6.
constexpr FrameKindInfo kFrameKinds[7] = {
    {0, 0, 0, false, false, 0, 0, 0},
    {86400, 1440, 24, false, false, '=', '=', '.'},
    {90000, 1500, 25, false, false, '.', '.', '.'},
    {108000, 1800, 30, false, true, ':', ':', '.'},
    {107892, 1798, 30, true, true, ':', ':', ','},
    {108000, 1800, 30, false, false, '|', '|', '.'},
    {107892, 1798, 30, true, false, '|', '|', ','},
};

// Ten minutes of drop-frame time: the first minute keeps all 1800 frames, the other nine lose two.
constexpr uint32_t kDropBlock = 17982;

bool ValidFrameKind(int kind) {
    return kind >= 1 && kind <= 6;
}

// Like atoi on a field of the time code, but without undefined behaviour on long digit runs.
int ReadNumber(const char* p) {
    while (std::isspace(static_cast<unsigned char>(*p))) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    long value = 0;
    while (*p >= '0' && *p <= '9') {
        if (value < 100000000L) {
            value = value * 10 + (*p - '0');
        }
        ++p;
    }
    return static_cast<int>(negative ? -value : value);
}

// Samples of a 29.97 fps position in the nominal 30 fps scale, and back. Positions whose remainder
// is 1000 lie between two nominal samples and go to the next one.
uint32_t NtscToNominal(uint32_t p) {
    return (p % 1001) + (p / 1001) * 1000;
}
uint32_t NominalToNtsc(uint32_t p) {
    return (p % 1000) + (p / 1000) * 1001;
}

struct Fields {
    int hours, minutes, seconds, frames, subFrames;
};

// Position (in the nominal scale for the 29.97 kinds) to fields; h = twice the samples per frame.
Fields PositionToFields(uint32_t p, const FrameKindInfo& k, uint32_t h) {
    Fields f{};
    const uint32_t frameCount = 2 * (p / h) + (2 * (p % h)) / h;
    const uint32_t r = (2 * (p % h)) % h;
    f.subFrames = static_cast<int>(r / 2);
    f.hours = static_cast<int>(frameCount / k.perHour);
    uint32_t c = frameCount % k.perHour;
    if (!k.drop) {
        f.minutes = static_cast<int>(c / k.perMinute);
        c %= k.perMinute;
        f.seconds = static_cast<int>(c / k.perSecond);
        f.frames = static_cast<int>(c % k.perSecond);
        return f;
    }
    f.minutes = static_cast<int>((c / kDropBlock) * 10);
    c %= kDropBlock;
    if (c >= 1800) {
        f.minutes += static_cast<int>((c - 1800) / 1798 + 1);
        c = (c - 1800) % 1798;
        f.seconds = static_cast<int>((c + 2) / 30);
        f.frames = static_cast<int>((c + 2) % 30);
    } else {
        f.seconds = static_cast<int>(c / 30);
        f.frames = static_cast<int>(c % 30);
    }
    return f;
}

// The frame-rate kind the separators of a time code name; false (kind untouched) for any other text.
bool FrameKindOfText(const char* text, uint8_t* kind) {
    const bool dropMark = text[8] == ',' || text[8] == ';';
    switch (text[2]) {
    case '=':
        *kind = CTimeCode::FPS_24;
        return true;
    case '.':
        *kind = CTimeCode::FPS_25;
        return true;
    case ':':
        *kind = dropMark ? CTimeCode::FPS_2997_DROP : CTimeCode::FPS_2997;
        return true;
    case '|':
        *kind = dropMark ? CTimeCode::FPS_30_DROP : CTimeCode::FPS_30;
        return true;
    default:
        return false;
    }
}

// The sample-rate kind the separator before the sub-frames names. A blank gives none and keeps the
// kind we have; false for a separator of no kind.
bool RateKindOfText(char sub, uint8_t* kind) {
    if (std::isspace(static_cast<unsigned char>(sub)))
        return true;
    switch (sub) {
    case 'L':
        *kind = CTimeCode::RATE_22050;
        return true;
    case '|':
        *kind = CTimeCode::RATE_44100;
        return true;
    case '/':
    case ',': // we write "/" for 48 kHz; "," is read too
        *kind = CTimeCode::RATE_48000;
        return true;
    default:
        return false;
    }
}

// The position of the parsed fields, `subFrames` already at the nominal rate; `h` is twice the samples
// per frame. Everything wraps at 2^32 like the counts it adds up.
uint32_t SamplesOfFields(const FrameKindInfo& k, uint32_t h, int8_t hours, int8_t minutes, int8_t seconds,
                         int8_t frames, uint16_t subFrames) {
    // Signed fields wrap like the rest of the 32-bit arithmetic: a negative hour counts from 2^32.
    const auto wholeHours = static_cast<uint32_t>(static_cast<int32_t>(hours));
    const auto wholeMinutes = static_cast<uint32_t>(static_cast<int32_t>(minutes));
    const uint32_t hourPart = ((k.perHour * h) / 2) * wholeHours;
    uint32_t frameCount = k.perMinute * wholeMinutes + k.perSecond * static_cast<uint32_t>(seconds) +
                          static_cast<uint32_t>(frames);
    if (k.drop)
        frameCount += 2 * (wholeMinutes / 10);
    const uint32_t framePart = (h * frameCount + 1) / 2;
    const uint32_t p = hourPart + framePart + subFrames;
    return k.ntsc ? NominalToNtsc(p) : p;
}

} // namespace

CTimeCode::CTimeCode() = default;
CTimeCode::~CTimeCode() = default;

uint32_t CTimeCode::SampleRateOfKind(int rateKind) {
    switch (rateKind) {
    case RATE_22050:
        return 22050;
    case RATE_44100:
        return 44100;
    case RATE_48000:
        return 48000;
    case RATE_32000:
        return 32000;
    default:
        return 0;
    }
}

uint32_t CTimeCode::TwiceSamplesPerFrame(int frameKind, int rateKind) {
    if (!ValidFrameKind(frameKind)) {
        return 0;
    }
    const uint32_t rate = SampleRateOfKind(rateKind);
    const uint32_t fps = kFrameKinds[frameKind].perSecond;
    // 2 x rate / fps to the nearest integer (halves round up: 1837.5 -> 1838).
    return (4 * rate + fps) / (2 * fps);
}

uint32_t CTimeCode::GetSamples() const {
    return m_invalid ? 0 : m_samples;
}

void CTimeCode::Set(uint32_t samples, uint8_t frameKind, uint8_t rateKind) {
    m_invalid = 0;
    m_samples = samples;
    m_frameKind = frameKind;
    m_rateKind = rateKind;
}

void CTimeCode::SetFrameKind(int kind) {
    if (ValidFrameKind(kind)) {
        m_frameKind = static_cast<uint8_t>(kind);
    }
}

void CTimeCode::SetRateKind(int kind) {
    if (kind >= RATE_22050 && kind <= RATE_32000) {
        m_rateKind = static_cast<uint8_t>(kind);
    }
}

bool CTimeCode::Parse(const char* text) {
    m_invalid = 0;
    if (text == nullptr || std::strlen(text) != kTextLength) {
        m_invalid = 1;
        return false;
    }
    // An unknown separator leaves the frame kind found before it, as a failed reading always did.
    if (!FrameKindOfText(text, &m_frameKind) || !RateKindOfText(text[11], &m_rateKind)) {
        m_invalid = 1;
        m_samples = 0;
        return false;
    }
    m_hours = static_cast<int8_t>(ReadNumber(text));
    m_minutes = static_cast<int8_t>(ReadNumber(text + 3));
    m_seconds = static_cast<int8_t>(ReadNumber(text + 6));
    m_frames = static_cast<int8_t>(ReadNumber(text + 9));
    m_subFrames = static_cast<uint16_t>(ReadNumber(text + 12));
    const FrameKindInfo& k = kFrameKinds[m_frameKind];
    if (k.ntsc) {
        // 29.97 fps frames hold 1001/1000 of the nominal samples: bring the count to the 30 fps frame.
        m_subFrames = static_cast<uint16_t>(NtscToNominal(m_subFrames));
    }
    m_samples = SamplesOfFields(k, TwiceSamplesPerFrame(m_frameKind, m_rateKind), m_hours, m_minutes,
                                m_seconds, m_frames, m_subFrames);
    return true;
}

void CTimeCode::Format(char* out) const {
    out[0] = '\0';
    char sub = 0;
    switch (m_rateKind) {
    case RATE_22050:
        sub = 'L';
        break;
    case RATE_44100:
        sub = '|';
        break;
    case RATE_48000:
        sub = '/';
        break;
    default:
        return; // 32000 Hz and unset rates have no text form
    }
    if (!ValidFrameKind(m_frameKind)) {
        return;
    }
    const FrameKindInfo& k = kFrameKinds[m_frameKind];
    const uint32_t h = TwiceSamplesPerFrame(m_frameKind, m_rateKind);
    Fields f{};
    if (k.ntsc) {
        f = PositionToFields(NtscToNominal(m_samples), k, h);
        // Back from the nominal 30 fps frame to the 29.97 fps sample count.
        f.subFrames = static_cast<int>(NominalToNtsc(static_cast<uint32_t>(f.subFrames)));
    } else {
        f = PositionToFields(m_samples, k, h);
    }
    std::snprintf(out, kTextBufferSize, "%02d%c%02d%c%02d%c%02d%c%04d", f.hours, k.sep1, f.minutes, k.sep2,
                  f.seconds, k.sep3, f.frames, sub, f.subFrames);
}

std::string CTimeCode::Format() const {
    char text[kTextBufferSize];
    Format(text);
    return text;
}

CTimeCode CTimeCode::operator+(uint32_t samples) const {
    CTimeCode result;
    result.m_samples = m_samples + samples;
    return result;
}

CTimeCode CTimeCode::operator+(const CTimeCode& other) const {
    return *this + other.m_samples;
}

CTimeCode CTimeCode::operator-(uint32_t samples) const {
    CTimeCode result;
    result.m_samples = m_samples > samples ? m_samples - samples : 0;
    return result;
}

CTimeCode CTimeCode::operator-(const CTimeCode& other) const {
    return *this - other.m_samples;
}

CTimeCode& CTimeCode::operator+=(uint32_t samples) {
    m_samples += samples;
    return *this;
}

CTimeCode& CTimeCode::operator-=(uint32_t samples) {
    m_samples = m_samples > samples ? m_samples - samples : 0;
    return *this;
}

} // namespace adl
