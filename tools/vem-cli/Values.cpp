#include "Values.h"

#include "core/base/IntText.h"

namespace vemcli {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// One to three decimal digits with a value up to 255.
bool parseChannel(const std::string& text, std::uint8_t& channel) {
    if (text.empty() || text.size() > 3) return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v > 255) return false;
    channel = static_cast<std::uint8_t>(v);
    return true;
}

} // namespace

bool ParseColor(const std::string& text, vem::TColor& color) {
    std::uint8_t rgb[3] = {};
    if (!text.empty() && text[0] == '#') {
        if (text.size() != 7) return false;
        for (int i = 0; i < 3; ++i) {
            const int hi = hexValue(text[1 + 2 * i]);
            const int lo = hexValue(text[2 + 2 * i]);
            if (hi < 0 || lo < 0) return false;
            rgb[i] = static_cast<std::uint8_t>(hi * 16 + lo);
        }
    } else {
        const auto first = text.find(',');
        if (first == std::string::npos) return false;
        const auto second = text.find(',', first + 1);
        if (second == std::string::npos) return false;
        if (!parseChannel(text.substr(0, first), rgb[0]) ||
            !parseChannel(text.substr(first + 1, second - first - 1), rgb[1]) ||
            !parseChannel(text.substr(second + 1), rgb[2]))
            return false;
    }
    color = vem::RGB(rgb[0], rgb[1], rgb[2]);
    return true;
}

bool ParsePoint(const std::string& text, std::int32_t& x, std::int32_t& y) {
    const auto comma = text.find(',');
    if (comma == std::string::npos) return false;
    return vem::TryStrToInt(text.substr(0, comma), x) && vem::TryStrToInt(text.substr(comma + 1), y);
}

} // namespace vemcli
