// Bytes -> TMetafile, for the WMF and EMF targets. An accepted metafile
// saves byte for byte and loads back with the same size and kind.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "core/base/Errors.h"
#include "core/formats/Metafile.h"
#include "core/formats/Stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vem::TMetafile metafile;
    vem::TMemoryStream stream(data, size);
    try {
        metafile.LoadFromStream(stream);
    } catch (const vem::Exception&) {
        return 0;
    }
    if (metafile.Width() < 0 || metafile.Width() > 32767 || metafile.Height() < 0 || metafile.Height() > 32767)
        std::abort();
    vem::TVectorWriteStream out;
    metafile.SaveToStream(out);
    if (out.Bytes.size() != size || !std::equal(out.Bytes.begin(), out.Bytes.end(), data)) std::abort();
    vem::TMetafile again;
    vem::TMemoryStream in(out.Bytes);
    again.LoadFromStream(in);
    if (again.Width() != metafile.Width() || again.Height() != metafile.Height() ||
        again.Enhanced() != metafile.Enhanced())
        std::abort();
    return 0;
}
