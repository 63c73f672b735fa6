#include "adl/AdlCodes.h"

#include "adl/TimeCode.h"

#include <cstring>

namespace adl {
namespace {

template <typename Code> struct CodeText {
    Code code;
    const char* text;
};

constexpr CodeText<EditType> kEditTypes[] = {
    {EditType::Cut, "(Cut)"}, {EditType::Silence, "(Silence)"}, {EditType::Aux, "(Aux)"},
    {EditType::Vid, "(Vid)"}, {EditType::Alt, "(Alt)"},
};

constexpr CodeText<SourceKind> kSourceKinds[] = {{SourceKind::File, "F"}, {SourceKind::Tape, "T"}};

constexpr CodeText<EventFlag> kEventFlags[] = {
    {EventFlag::R, "R"}, {EventFlag::E, "E"}, {EventFlag::D, "D"},
    {EventFlag::X, "X"}, {EventFlag::M, "M"}, {EventFlag::Plain, "_"},
};

struct RateRow {
    SampleRateCode code;
    const char* text;
    uint32_t rate;
    uint8_t timeCodeKind;
};

constexpr RateRow kRates[] = {
    {SampleRateCode::Hz48000, "S48000", 48000, CTimeCode::RATE_48000},
    {SampleRateCode::Hz44100, "S44100", 44100, CTimeCode::RATE_44100},
    {SampleRateCode::Hz22050, "S22050", 22050, CTimeCode::RATE_22050},
};

constexpr CodeText<FrameRateCode> kFrameRates[] = {
    {FrameRateCode::Fps24, "24"},
    {FrameRateCode::Fps25, "25"},
    {FrameRateCode::Fps2997, "29"},
    {FrameRateCode::Fps30, "30"},
};

template <typename Code, size_t N> const char* TextOf(const CodeText<Code> (&table)[N], Code code) {
    for (const auto& row : table) {
        if (row.code == code)
            return row.text;
    }
    return nullptr;
}

template <typename Code, size_t N> Code CodeOf(const CodeText<Code> (&table)[N], const char* text) {
    for (const auto& row : table) {
        if (text != nullptr && std::strcmp(row.text, text) == 0)
            return row.code;
    }
    return Code::None;
}

const RateRow* RateRowOf(SampleRateCode code) {
    for (const auto& row : kRates) {
        if (row.code == code)
            return &row;
    }
    return nullptr;
}

} // namespace

const char* EditTypeText(EditType type) {
    return TextOf(kEditTypes, type);
}

EditType EditTypeOfText(const char* text) {
    return CodeOf(kEditTypes, text);
}

const char* SourceKindText(SourceKind kind) {
    return TextOf(kSourceKinds, kind);
}

SourceKind SourceKindOfText(const char* text) {
    return CodeOf(kSourceKinds, text);
}

const char* EventFlagText(EventFlag flag) {
    return TextOf(kEventFlags, flag);
}

EventFlag EventFlagOfText(const char* text) {
    return CodeOf(kEventFlags, text);
}

const char* SampleRateCodeText(SampleRateCode code) {
    const RateRow* row = RateRowOf(code);
    return row ? row->text : nullptr;
}

SampleRateCode SampleRateCodeOfText(const char* text) {
    for (const auto& row : kRates) {
        if (text != nullptr && std::strcmp(row.text, text) == 0)
            return row.code;
    }
    return SampleRateCode::None;
}

uint32_t SampleRateOfCode(SampleRateCode code) {
    const RateRow* row = RateRowOf(code);
    return row ? row->rate : 0;
}

SampleRateCode SampleRateCodeOfRate(uint32_t rate) {
    for (const auto& row : kRates) {
        if (row.rate == rate)
            return row.code;
    }
    return SampleRateCode::None;
}

uint8_t TimeCodeRateKind(SampleRateCode code) {
    const RateRow* row = RateRowOf(code);
    return row ? row->timeCodeKind : 0;
}

const char* FrameRateCodeText(FrameRateCode code) {
    return TextOf(kFrameRates, code);
}

FrameRateCode FrameRateCodeOfText(const char* text) {
    // "29" stands for 29.97 fps when written, but a song never reads back as 29.97.
    const FrameRateCode code = CodeOf(kFrameRates, text);
    return code == FrameRateCode::Fps2997 ? FrameRateCode::None : code;
}

} // namespace adl
