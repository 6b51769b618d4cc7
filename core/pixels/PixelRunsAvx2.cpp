// The run loops with 32-byte registers; this file alone is built for AVX2,
// and its functions run only where the processor has it.
#include "core/pixels/PixelRunsLanes.h"
#include "core/pixels/PixelRunsLoops.h"

namespace vem::runs {

using Avx2Loops = Loops<Lanes<Avx2>>;

int RightAvx2(const std::uint8_t* row, int width, int from, int end, const TRunTest& test) {
    return Avx2Loops::Right(row, width, from, end, test);
}
int LeftAvx2(const std::uint8_t* row, int width, int from, int begin, const TRunTest& test) {
    return Avx2Loops::Left(row, width, from, begin, test);
}
int FirstAvx2(const std::uint8_t* row, const std::uint8_t* neighbour, int width, int from, int end,
              const TRunTest& test) {
    return Avx2Loops::First(row, neighbour, width, from, end, test);
}

} // namespace vem::runs
