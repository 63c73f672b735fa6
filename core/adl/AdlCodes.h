#pragma once
// The numbered codes of a song's ADL file and the texts they stand for. Every other file names these
// codes through the enums here, so that each numbering is written down once: the sequence's
// sample-rate code (1 = 48000 Hz) runs the opposite way to the time codes' sample-rate kind
// (1 = 22050 Hz), and the two must never be mixed up.

#include <cstdint>

namespace adl {

// The edit type of an "(Entry)" line.
enum class EditType : uint16_t { None = 0, Cut = 1, Silence = 2, Aux = 3, Vid = 4, Alt = 5 };

// Where an entry's audio comes from: a file ("F"), a tape ("T"), or nowhere (a silence entry).
enum class SourceKind : uint16_t { None = 0, File = 1, Tape = 2, Silence = 3 };

// The last field of an "(Entry)" line.
enum class EventFlag : uint16_t { None = 0, R = 1, E = 2, D = 3, X = 4, M = 5, Plain = 6 };

// "(SEQ_SAMPLE_RATE)": the song's sample rate.
enum class SampleRateCode : uint16_t { None = 0, Hz48000 = 1, Hz44100 = 2, Hz22050 = 3 };

// "(SEQ_FRAME_RATE)". 4 has no meaning.
enum class FrameRateCode : uint16_t { None = 0, Fps24 = 1, Fps25 = 2, Fps2997 = 3, Fps30 = 5 };

// Text of an edit type as an entry line holds it ("(Cut)"), or nullptr for None and unknown codes.
const char* EditTypeText(EditType type);
// The edit type a text names; None for any other text.
EditType EditTypeOfText(const char* text);

// "F" or "T" for File and Tape, nullptr otherwise.
const char* SourceKindText(SourceKind kind);
// File for "F", Tape for "T", None for any other text.
SourceKind SourceKindOfText(const char* text);

// "R", "E", "D", "X", "M" or "_", or nullptr for None and unknown codes.
const char* EventFlagText(EventFlag flag);
EventFlag EventFlagOfText(const char* text);

// "S48000", "S44100" or "S22050", or nullptr for None and unknown codes.
const char* SampleRateCodeText(SampleRateCode code);
SampleRateCode SampleRateCodeOfText(const char* text);
// The rate in Hz (48000, 44100, 22050), or 0 for None and unknown codes.
uint32_t SampleRateOfCode(SampleRateCode code);
// The code of a rate in Hz; None for every other rate.
SampleRateCode SampleRateCodeOfRate(uint32_t rate);
// The time codes' sample-rate kind (CTimeCode::RATE_*) for the song's code, or 0 for None and unknown.
uint8_t TimeCodeRateKind(SampleRateCode code);

// "24", "25", "29" (29.97 fps) or "30" as the writer puts them, or nullptr for None and unknown codes.
const char* FrameRateCodeText(FrameRateCode code);
// The code a "(SEQ_FRAME_RATE)" value reads back as: "24", "25" and "30"; every other text (the "29"
// written for 29.97 fps included) gives None.
FrameRateCode FrameRateCodeOfText(const char* text);

} // namespace adl
