// The colour test of the wand's pixel runs, apart from the runs themselves so
// that the vector loops can use it without including the code that chooses them.
#pragma once

#include <array>
#include <cstdint>

namespace vem {

// The test, channels in stored order (blue, green, red): each channel within
// Lo .. Hi, and at most Step away from the pixel joined from. A bound with
// Hi < Lo, or a negative step, lets no pixel pass.
struct TRunTest {
    std::uint8_t Lo[3] = {1, 1, 1};
    std::uint8_t Hi[3] = {0, 0, 0};
    std::uint8_t Step = 0;
    bool Never = true;
    // Lo and Hi spread over 32 bytes (byte I for channel I mod 3), for the vector paths.
    std::uint8_t LoBytes[32] = {}, HiBytes[32] = {};

    TRunTest() = default;
    TRunTest(const std::array<std::uint8_t, 3>& lo, const std::array<std::uint8_t, 3>& hi, std::int64_t step);

    bool InBounds(const std::uint8_t* p) const {
        return p[0] >= Lo[0] && p[0] <= Hi[0] && p[1] >= Lo[1] && p[1] <= Hi[1] && p[2] >= Lo[2] && p[2] <= Hi[2];
    }
    bool Near(const std::uint8_t* p, const std::uint8_t* q) const {
        auto close = [this](int a, int b) { return (a > b ? a - b : b - a) <= Step; };
        return close(p[0], q[0]) && close(p[1], q[1]) && close(p[2], q[2]);
    }
    // P may join from Q.
    bool Joins(const std::uint8_t* p, const std::uint8_t* q) const { return !Never && InBounds(p) && Near(p, q); }
};

} // namespace vem
