#include "core/base/Errors.h"

#include <cstring>

#include "core/base/FileNames.h"

namespace vem {

std::string FormatMessage(const char* pattern, std::initializer_list<std::string> args) {
    std::string out;
    auto next = args.begin();
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && (p[1] == 's' || p[1] == 'd')) {
            if (next != args.end()) out += *next++;
            ++p;
        } else if (p[0] == '%' && p[1] == '%') {
            out += '%';
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

namespace {
// Length of the UTF-8 sequence that Lead starts; 0 for a continuation byte or
// a byte that starts no sequence.
std::size_t utf8Length(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}
} // namespace

std::string ErrorBoxText(const std::string& message) {
    if (message.empty()) return message;
    // Find the first byte of the last whole character. A malformed tail (a
    // stray continuation byte, a cut sequence) counts as a one-byte character.
    const std::size_t size = message.size();
    std::size_t start = size - 1;
    while (start > 0 && size - start < 4 && (static_cast<unsigned char>(message[start]) & 0xC0) == 0x80)
        --start;
    if (utf8Length(static_cast<unsigned char>(message[start])) != size - start) start = size - 1;
    // A character's byte string sorts above "." exactly when its first byte does,
    // since "." is a single byte.
    if (static_cast<unsigned char>(message[start]) > 0x2E) return message + ".";
    return message;
}

std::string ApplicationTitle(const std::string& programPath) {
    std::string name = programPath;
    if (auto slash = name.find_last_of('/'); slash != std::string::npos) name.erase(0, slash + 1);
    if (auto dot = name.find('.'); dot != std::string::npos) name.erase(dot);
    for (std::size_t i = 1; i < name.size(); ++i)
        if (name[i] >= 'A' && name[i] <= 'Z') name[i] = static_cast<char>(name[i] - 'A' + 'a');
    return name;
}

std::string SystemErrorText(int errnum) {
    std::string text = std::strerror(errnum);
    while (!text.empty()) {
        unsigned char c = static_cast<unsigned char>(text.back());
        if (c == ' ' || c < 0x20 || c == 0x7F || c == '.')
            text.pop_back();
        else
            break;
    }
    return text;
}

void RaiseFOpenError(const std::string& fileName, int errnum) {
    throw EFOpenError(FormatMessage(msg::FOpenError, {ExpandFileName(fileName), SystemErrorText(errnum)}));
}

void RaiseFCreateError(const std::string& fileName, int errnum) {
    throw EFCreateError(FormatMessage(msg::FCreateError, {ExpandFileName(fileName), SystemErrorText(errnum)}));
}

void RaiseScanLineError() { throw EInvalidGraphicOperation(msg::ScanLineOutOfRange); }

void RaiseOutOfMemory() { throw EOutOfMemory(msg::OutOfMemory); }

void RaiseTooLarge() { throw EOutOfMemory(msg::OutOfMemory, true); }

} // namespace vem
