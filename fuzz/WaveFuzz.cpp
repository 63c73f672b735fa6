// libFuzzer target: WAV chunk walk, format and size queries, and the copy operations reading the input.
#include "Harness.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (fuzzing::ExerciseWave(data, size, fuzzing::ProcessWorkDir()) == fuzzing::Outcome::Broken)
        std::abort();
    return 0;
}
