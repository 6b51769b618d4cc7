// Bytes -> a small picture, a start point, levels and a target colour; the
// region grower must agree with a plain breadth-first walk of its definition
// (tests/support/GrowerCheck.h describes the input and the checks).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/GrowerCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string difference = vem::test::CheckGrower(data, size);
    if (!difference.empty()) {
        std::fprintf(stderr, "fuzz_grower: %s\n", difference.c_str());
        std::abort();
    }
    return 0;
}
