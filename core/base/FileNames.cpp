#include "core/base/FileNames.h"

#include <filesystem>
#include <system_error>

namespace vem {

std::string ExtractExtension(const std::string& fileName) {
    const std::size_t slash = fileName.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart) return {};
    return fileName.substr(dot + 1);
}

std::string ExpandFileName(const std::string& fileName) {
    namespace fs = std::filesystem;
    fs::path path(fileName);
    if (path.is_relative()) {
        std::error_code ec;
        const fs::path cwd = fs::current_path(ec);
        // Without a current folder (it was removed) the name is all there is.
        if (ec) return fileName;
        path = cwd / path;
    }
    // "." and ".." are folded away by text alone; links are not followed.
    return path.lexically_normal().string();
}

} // namespace vem
