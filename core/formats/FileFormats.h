// The registry of picture file kinds, chosen by extension.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/pixels/Graphic.h"

namespace vem {

struct TFileFormat {
    std::string Extension;   // lower case, no dot
    std::string Description; // shown in the open dialog
    std::function<std::unique_ptr<TGraphic>()> Create;
};

// One process-wide list, made on first use, in registration order:
// wmf, emf, ico, bmp.
class TFileFormatsList {
public:
    static const TFileFormatsList& Instance();
    const std::vector<TFileFormat>& Rows() const { return rows_; }
    // Lower-cases Extension and compares it with each row from the last to the
    // first; null when none matches.
    const TFileFormat* Find(const std::string& extension) const;
    // The open dialog's filter text ("すべてのファイル (*.bmp;...)|...|...").
    std::string FilterText() const;

private:
    TFileFormatsList();
    std::vector<TFileFormat> rows_;
};

} // namespace vem
