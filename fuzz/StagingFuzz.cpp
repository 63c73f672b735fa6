// libFuzzer target: staging a WAV file as an audio track on the test recorder, as a burn does.
#include "Harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::ExerciseStaging(data, size, fuzzing::ProcessWorkDir());
    return 0;
}
