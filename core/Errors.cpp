#include "Errors.h"

#include <cstring>

#include "FileFormats.h"

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

std::string ErrorBoxText(const std::string& message) {
    if (message.empty()) return message;
    // Walk back over UTF-8 continuation bytes to the start of the last character;
    // its byte string sorts above "." exactly when its first byte does.
    std::size_t start = message.size() - 1;
    while (start > 0 && (static_cast<unsigned char>(message[start]) & 0xC0) == 0x80 &&
           message.size() - start < 4)
        --start;
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

} // namespace vem
