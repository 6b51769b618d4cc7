// File names as the messages and the format registry read them.
#pragma once

#include <string>

namespace vem {

// The characters after the last "." of the last path component, as typed;
// empty when that component has no ".".
std::string ExtractExtension(const std::string& fileName);
// FileName made absolute against the current folder (not resolved further).
std::string ExpandFileName(const std::string& fileName);

} // namespace vem
