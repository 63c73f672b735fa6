// libFuzzer target: the ADL reader on arbitrary file contents.
#include "Harness.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (fuzzing::ExerciseAdl(data, size, fuzzing::ProcessWorkDir()) == fuzzing::Outcome::Broken)
        std::abort();
    return 0;
}
