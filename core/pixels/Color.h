// Colour values as the program stores and compares them.
#pragma once

#include <cstdint>

namespace vem {

// A signed 32-bit colour. Top byte 0: RGB as 0x00BBGGRR (red in the low byte).
// Top byte 0x80 (negative): a system colour, its low byte an index into the
// user-interface colour table. Colours are always compared as whole integers.
using TColor = std::int32_t;

constexpr TColor RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return static_cast<TColor>(static_cast<std::uint32_t>(r) | (static_cast<std::uint32_t>(g) << 8) |
                               (static_cast<std::uint32_t>(b) << 16));
}
constexpr std::uint8_t GetRValue(TColor c) { return static_cast<std::uint8_t>(c & 0xFF); }
constexpr std::uint8_t GetGValue(TColor c) { return static_cast<std::uint8_t>((c >> 8) & 0xFF); }
constexpr std::uint8_t GetBValue(TColor c) { return static_cast<std::uint8_t>((c >> 16) & 0xFF); }

constexpr TColor clBlack = 0x00000000;
constexpr TColor clWhite = 0x00FFFFFF;
constexpr TColor clRed = 0x000000FF;

// System colour references: 0x80000000 | index.
constexpr TColor SystemColor(int index) { return static_cast<TColor>(0x80000000u | static_cast<std::uint32_t>(index & 0xFF)); }
constexpr TColor clBtnFace = SystemColor(15);
constexpr TColor clWindow = SystemColor(5);
constexpr TColor clAppWorkSpace = SystemColor(12);

// A plain RGB value for C: system colours are looked up in a fixed table of
// plausible desktop colours (there is no platform colour scheme to ask);
// every other value is returned unchanged.
TColor ResolveColor(TColor c);

} // namespace vem
