// libFuzzer target: staging a WAV file as an audio track on the test recorder, as a burn does.
#include "Harness.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (fuzzing::ExerciseStaging(data, size, fuzzing::ProcessWorkDir()) == fuzzing::Outcome::Broken)
        std::abort();
    return 0;
}
