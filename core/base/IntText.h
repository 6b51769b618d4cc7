// The integer-text rule of the settings dialog's number fields.
#pragma once

#include <cstdint>
#include <string>

namespace vem {

// Leading spaces (0x20 only), one optional sign, then decimal digits or a
// hexadecimal prefix ("$", "x", "X", "0x", "0X") with hex digits; nothing after.
// Decimal must lie in the 32-bit signed range; hex must fit in 32 bits and is
// read as two's complement, a sign before the prefix negating it.
bool TryStrToInt(const std::string& text, std::int32_t& value);
// As TryStrToInt; raises EConvertError "'%s' は整数ではありません" with the text as typed.
std::int32_t StrToInt(const std::string& text);

} // namespace vem
