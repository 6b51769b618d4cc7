// Bytes -> TIcon. An accepted icon saves byte for byte and loads back with
// the same size.
#include <cstdint>
#include <cstdlib>

#include "core/base/Errors.h"
#include "core/formats/Icon.h"
#include "core/formats/Stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vem::TIcon icon;
    vem::TMemoryStream stream(data, size);
    try {
        icon.LoadFromStream(stream);
    } catch (const vem::Exception&) {
        return 0;
    }
    if (icon.Width() < 1 || icon.Width() > 256 || icon.Height() < 1 || icon.Height() > 256) std::abort();
    vem::TVectorWriteStream out;
    icon.SaveToStream(out);
    if (out.Bytes.size() != size || !std::equal(out.Bytes.begin(), out.Bytes.end(), data)) std::abort();
    vem::TIcon again;
    vem::TMemoryStream in(out.Bytes);
    again.LoadFromStream(in); // must not throw: the same bytes loaded a moment ago
    if (again.Width() != icon.Width() || again.Height() != icon.Height()) std::abort();
    return 0;
}
