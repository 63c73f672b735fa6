// libFuzzer target: whatever time code parses must format back to text of the same position.
#include "Harness.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (fuzzing::CheckTimeCodeRoundTrip(data, size) == fuzzing::Outcome::Broken) {
        std::fprintf(stderr, "time code does not survive Parse -> Format -> Parse\n");
        std::abort();
    }
    return 0;
}
