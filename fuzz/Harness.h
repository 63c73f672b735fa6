#pragma once
// What each fuzz target does with one input, shared with the regression tests so that a kept input is
// replayed exactly as the fuzzer ran it. Every function writes the input to a file in workDir first.

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzing {

enum class Outcome {
    Refused,  // the input was turned down cleanly
    Accepted, // the input was taken and every check on the result held
    Broken,   // a promise was broken: the fuzz target stops here
};

// Opens the bytes as an ADL file read-only and then read-write, runs every query, closes.
// Broken when the two opens disagree.
Outcome ExerciseAdl(const uint8_t* data, size_t size, const std::string& workDir);

// Byte 0 below 0x80: it picks the sample-rate kind the value starts with (a blank sub-frame separator
// keeps it) and the rest, up to its first NUL, is parsed. Byte 0 from 0x80: bytes 1-4 are a position
// and bytes 5 and 6 the frame-rate and sample-rate kinds. Broken when the value's text form does not
// read back as the same position and kinds.
Outcome CheckTimeCodeRoundTrip(const uint8_t* data, size_t size);

// Opens the bytes as a WAV file and runs every query, then copies audio from it into a freshly created
// file (CopyFrom with bounded counts) and imports it whole (ImportFile). Accepted when it has a RIFF
// "WAVE" chunk; Broken when a copy reported success but the new file is not laid out as promised.
Outcome ExerciseWave(const uint8_t* data, size_t size, const std::string& workDir);

// Stages the bytes as a WAV file on a test recorder, as a burn does for each track.
// Accepted when AddWaveTrack succeeded.
Outcome ExerciseStaging(const uint8_t* data, size_t size, const std::string& workDir);

// A fresh folder for one fuzzing process (on tmpfs when there is one), removed at exit.
std::string ProcessWorkDir();

} // namespace fuzzing
