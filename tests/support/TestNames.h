// Names for the rows of parameter tables. ctest lists every row by its name,
// so a name must come out the same in every build, differ from the other
// rows' and tell which row it is.
#pragma once

#include <string>
#include <string_view>

namespace vem::test {

// Text as a test name: ASCII letters and digits stay, every run of anything
// else (punctuation, spaces, the bytes of other characters) becomes one "_";
// an empty text is "empty".
inline std::string TestNamePart(std::string_view text) {
    std::string name;
    for (const char c : text) {
        const bool keep = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (keep)
            name += c;
        else if (name.empty() || name.back() != '_')
            name += '_';
    }
    return name.empty() ? "empty" : name;
}

} // namespace vem::test
