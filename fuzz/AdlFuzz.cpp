// libFuzzer target: the ADL reader on arbitrary file contents.
#include "Harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::ExerciseAdl(data, size, fuzzing::ProcessWorkDir());
    return 0;
}
