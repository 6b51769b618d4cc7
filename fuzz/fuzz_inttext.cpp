// TryStrToInt against a second, deliberately plain reading of the rule: the
// digits are compared as text with the range limits instead of being
// accumulated, so an overflow slip in either shows as a disagreement.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "core/base/Errors.h"
#include "core/base/IntText.h"

namespace {

bool isDecimal(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDecimal(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Digits without leading zeros ("" for zero).
std::string significant(const std::string& digits) {
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? std::string() : digits.substr(first);
}

// Digits compared as text with a limit of the same base, both without leading
// zeros and hex digits in upper case, where '9' sorts before 'A'.
bool notAbove(const std::string& digits, const std::string& limit) {
    if (digits.size() != limit.size()) return digits.size() < limit.size();
    return digits <= limit;
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::optional<std::int32_t> reference(const std::string& text) {
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos) return std::nullopt;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    std::string rest = text.substr(i);
    bool hex = false;
    if (rest.rfind("0x", 0) == 0 || rest.rfind("0X", 0) == 0) {
        hex = true;
        rest.erase(0, 2);
    } else if (!rest.empty() && (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X')) {
        hex = true;
        rest.erase(0, 1);
    }
    if (rest.empty()) return std::nullopt;
    for (char c : rest)
        if (!(hex ? isHex(c) : isDecimal(c))) return std::nullopt;
    const std::string digits = upper(significant(rest));
    if (hex) {
        if (!notAbove(digits, "FFFFFFFF")) return std::nullopt;
        const char* hexDigits = digits.empty() ? "0" : digits.c_str();
        std::uint32_t bits = static_cast<std::uint32_t>(std::strtoul(hexDigits, nullptr, 16));
        if (negative) bits = ~bits + 1;
        return static_cast<std::int32_t>(bits);
    }
    if (!notAbove(digits, negative ? "2147483648" : "2147483647")) return std::nullopt;
    const long long magnitude = digits.empty() ? 0 : std::strtoll(digits.c_str(), nullptr, 10);
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<std::int32_t> expected = reference(text);
    std::int32_t value = 0x5EED;
    const bool ok = vem::TryStrToInt(text, value);
    if (ok != expected.has_value() || (ok && value != *expected) || (!ok && value != 0x5EED)) {
        std::fprintf(stderr, "TryStrToInt(\"%s\"): %d %d, expected %d %d\n", text.c_str(), ok, value,
                     expected.has_value(), expected.value_or(0));
        std::abort();
    }
    // StrToInt agrees, and refuses with the program's own exception.
    try {
        if (vem::StrToInt(text) != value || !ok) std::abort();
    } catch (const vem::EConvertError&) {
        if (ok) std::abort();
    }
    return 0;
}
