// A square spiral corridor one pixel wide between one-pixel walls: the worst
// case for a region grower that fills row spans, shared by the grower's tests
// and its benchmark. Header-only so that the benchmark needs no test library.
#pragma once

#include <cstddef>
#include <vector>

struct SpiralCorridor {
    int Side = 0;
    std::vector<char> Cells; // 1 on the corridor, row by row
    int EndX = 0, EndY = 0;  // the inner end; the outer end is (0, 0)

    bool At(int x, int y) const { return Cells[static_cast<std::size_t>(y) * Side + x] != 0; }
};

// Walks clockwise from (0, 0), turning where going on would come within one
// pixel of the corridor already laid.
inline SpiralCorridor MakeSpiralCorridor(int side) {
    SpiralCorridor s;
    s.Side = side;
    s.Cells.assign(static_cast<std::size_t>(side) * side, 0);
    auto cell = [&](int x, int y) -> char& { return s.Cells[static_cast<std::size_t>(y) * side + x]; };
    auto inside = [&](int x, int y) { return x >= 0 && y >= 0 && x < side && y < side; };
    int x = 0, y = 0, d = 0;
    const int dx[4] = {1, 0, -1, 0}, dy[4] = {0, 1, 0, -1};
    cell(0, 0) = 1;
    auto canStep = [&](int dir) {
        const int nx = x + dx[dir], ny = y + dy[dir], fx = x + 2 * dx[dir], fy = y + 2 * dy[dir];
        return inside(nx, ny) && !cell(nx, ny) && (!inside(fx, fy) || !cell(fx, fy));
    };
    for (;;) {
        if (!canStep(d)) {
            d = (d + 1) % 4;
            if (!canStep(d)) break;
        }
        x += dx[d];
        y += dy[d];
        cell(x, y) = 1;
    }
    s.EndX = x;
    s.EndY = y;
    return s;
}
