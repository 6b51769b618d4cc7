#include "core/formats/FileFormats.h"

#include "core/formats/Icon.h"
#include "core/formats/Metafile.h"
#include "core/pixels/Bitmap.h"

namespace vem {

namespace {

std::string asciiLower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

template <class T>
std::function<std::unique_ptr<TGraphic>()> maker() {
    return [] { return std::unique_ptr<TGraphic>(std::make_unique<T>()); };
}

} // namespace

TFileFormatsList::TFileFormatsList() {
    // Registration order matters twice: look-ups run from the last row, and
    // the open dialog lists the kinds from the last row to the first.
    rows_.push_back({"wmf", "メタファイル", maker<TMetafile>()});
    rows_.push_back({"emf", "エンハンス メタファイル", maker<TMetafile>()});
    rows_.push_back({"ico", "アイコン", maker<TIcon>()});
    rows_.push_back({"bmp", "ビットマップ", maker<TBitmap>()});
}

const TFileFormatsList& TFileFormatsList::Instance() {
    static const TFileFormatsList list;
    return list;
}

const TFileFormat* TFileFormatsList::Find(const std::string& extension) const {
    const std::string wanted = asciiLower(extension);
    for (auto row = rows_.rbegin(); row != rows_.rend(); ++row)
        if (row->Extension == wanted) return &*row;
    return nullptr;
}

std::string TFileFormatsList::FilterText() const {
    // Each kind alone in F ("description (*.ext)|*.ext", joined by "|"), all
    // patterns together in P (joined by ";"); with more than one kind the
    // combined entry goes in front.
    std::string filter;
    std::string patterns;
    int taken = 0;
    for (auto row = rows_.rbegin(); row != rows_.rend(); ++row, ++taken) {
        if (taken > 0) {
            filter += '|';
            patterns += ';';
        }
        filter += row->Description + " (*." + row->Extension + ")|*." + row->Extension;
        patterns += "*." + row->Extension;
    }
    if (taken > 1) filter = "すべてのファイル (" + patterns + ")|" + patterns + "|" + filter;
    return filter;
}

} // namespace vem
