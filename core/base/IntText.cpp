#include "core/base/IntText.h"

#include "core/base/Errors.h"

namespace vem {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

bool TryStrToInt(const std::string& text, std::int32_t& value) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ') ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    bool hex = false;
    if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        i += 1;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        // "0x" is a prefix, never the number 0 followed by an "x".
        hex = true;
        i += 2;
    }
    if (i == n) return false; // nothing, a sign alone or a prefix alone

    // The magnitude is gathered in 64 bits and checked after every digit, so
    // leading zeros cost nothing and no length of text can overflow it.
    std::uint64_t magnitude = 0;
    if (hex) {
        for (; i < n; ++i) {
            const int d = hexDigit(text[i]);
            if (d < 0) return false;
            magnitude = magnitude * 16 + static_cast<std::uint64_t>(d);
            if (magnitude > 0xFFFFFFFFu) return false;
        }
        // The 32 bits are a two's-complement pattern; a sign negates that pattern.
        std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
        if (negative) bits = 0u - bits;
        value = static_cast<std::int32_t>(bits);
        return true;
    }

    for (; i < n; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (magnitude > 2147483648u) return false;
    }
    if (!negative && magnitude > 2147483647u) return false;
    value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                     : static_cast<std::int32_t>(magnitude);
    return true;
}

std::int32_t StrToInt(const std::string& text) {
    std::int32_t value = 0;
    if (!TryStrToInt(text, value)) throw EConvertError(FormatMessage(msg::NotAnInteger, {text}));
    return value;
}

} // namespace vem
