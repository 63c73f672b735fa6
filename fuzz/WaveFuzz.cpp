// libFuzzer target: WAV chunk walk, format and size queries, and the copy operations reading the input.
#include "Harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::ExerciseWave(data, size, fuzzing::ProcessWorkDir());
    return 0;
}
