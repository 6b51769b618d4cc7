// The file is the PNG layout libpng writes: signature, IHDR (width, height,
// bit depth 8, colour type 6 = RGBA, no interlace), IDAT chunks holding the
// deflated, filtered rows top first, IEND. Compression level 6 and adaptive
// filtering (libpng picks the best of the five filters per row) are the
// usual balance of size and time.
//
// libpng reports a failure by longjmp to the setjmp of the function that
// drives it. Nothing with a destructor may live in the frames it jumps over,
// so encodeRows keeps only plain locals, and the write callback passes a
// failure of the file on as a stored exception rather than throwing it
// through libpng's C frames.
#include "export/PngExport.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <vector>

#include "core/base/Errors.h"
#include "core/formats/Stream.h"
#include "core/pixels/PixelCodec.h"

namespace vem {

namespace {

constexpr int kCompressionLevel = 6;
constexpr int kSlice = 1024;

// The rows of one store as RGBA bytes, through one of three routes decided
// once: plain 24-bit and plain 32-bit (device format included) rows are read
// directly, every other depth through the pixel codec.
class RgbaRows {
public:
    RgbaRows(const TBitmapImage& store, TColor key)
        : store_(store), codec_(store), width_(store.Width),
          bytesPerPixel_(store.Device || (store.BitCount == 32 && store.Compression == 0) ? 4
                         : store.BitCount == 24 && store.Compression == 0                ? 3
                                                                                          : 0),
          key_(keyInDepth(codec_, key)),
          keyBgr_(static_cast<std::uint32_t>(GetBValue(key_) | GetGValue(key_) << 8 | GetRValue(key_) << 16)),
          rgba_(static_cast<std::size_t>(width_) * 4) {}

    // Picture row Y (0 = top) as RGBA; valid until the next call.
    const std::uint8_t* Row(int y) {
        const std::uint8_t* row = store_.PictureRow(y);
        std::uint8_t* out = rgba_.data();
        if (bytesPerPixel_ != 0) {
            const std::size_t step = static_cast<std::size_t>(bytesPerPixel_);
            for (int x = 0; x < width_; ++x, row += step, out += 4) {
                const std::uint32_t bgr = row[0] | static_cast<std::uint32_t>(row[1]) << 8 |
                                          static_cast<std::uint32_t>(row[2]) << 16;
                out[0] = row[2];
                out[1] = row[1];
                out[2] = row[0];
                out[3] = bgr == keyBgr_ ? 0 : 255;
            }
            return rgba_.data();
        }
        TColor colors[kSlice];
        for (int x0 = 0; x0 < width_; x0 += kSlice) {
            const int n = std::min(kSlice, width_ - x0);
            codec_.DecodeRow(row, x0, n, colors);
            for (int i = 0; i < n; ++i, out += 4) {
                out[0] = GetRValue(colors[i]);
                out[1] = GetGValue(colors[i]);
                out[2] = GetBValue(colors[i]);
                out[3] = colors[i] == key_ ? 0 : 255;
            }
        }
        return rgba_.data();
    }

private:
    const TBitmapImage& store_;
    PixelCodec codec_;
    const int width_;
    const int bytesPerPixel_; // 3 or 4 for the direct routes, 0 for the codec
    const TColor key_;
    const std::uint32_t keyBgr_;
    std::vector<std::uint8_t> rgba_;

    // The colour a pixel painted with KEY reads back as in this depth.
    static TColor keyInDepth(const PixelCodec& codec, TColor key) {
        std::uint8_t cell[8] = {};
        codec.Store(cell, 0, codec.Encode(ResolveColor(key)));
        return codec.Decode(cell, 0);
    }
};

// What libpng's callbacks share with the code around it.
struct PngContext {
    TWriteStream& file;
    std::exception_ptr writeFailure;
    bool outOfMemory = false;
};

PngContext& contextOf(png_voidp pointer) { return *static_cast<PngContext*>(pointer); }

void writeData(png_structp png, png_bytep data, png_size_t length) {
    PngContext& context = contextOf(png_get_io_ptr(png));
    try {
        context.file.Write(data, length);
    } catch (...) {
        context.writeFailure = std::current_exception();
    }
    if (context.writeFailure) png_error(png, "write");
}

void flushData(png_structp) {}

// No message is printed: the caller turns every failure into an exception.
[[noreturn]] void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void onWarning(png_structp, png_const_charp) {}

// libpng's and zlib's memory comes through operator new, so a shortage is
// told apart from other failures (and tests can make it happen).
png_voidp allocate(png_structp png, png_alloc_size_t size) {
    try {
        return ::operator new(size);
    } catch (const std::bad_alloc&) {
        contextOf(png_get_mem_ptr(png)).outOfMemory = true;
        return nullptr;
    }
}
void release(png_structp, png_voidp p) { ::operator delete(p); }

// The libpng write and info structures of one file.
class PngWriter {
public:
    explicit PngWriter(PngContext& context) {
        png_ = png_create_write_struct_2(PNG_LIBPNG_VER_STRING, &context, onError, onWarning, &context, allocate,
                                         release);
        if (png_) info_ = png_create_info_struct(png_);
        if (!png_ || !info_) {
            png_destroy_write_struct(&png_, &info_);
            RaiseOutOfMemory();
        }
    }
    ~PngWriter() { png_destroy_write_struct(&png_, &info_); }
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;

    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

// Header, rows and end; false when libpng gave up. Only plain locals here
// (see the top of the file); ROWS and ROWSDONE may throw, which unwinds
// normally since libpng's frames are not on the stack then.
bool encodeRows(png_structp png, png_infop info, PngContext& context, int width, int height, RgbaRows& rows,
                const RowsDone& rowsDone) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, &context, writeData, flushData);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, kCompressionLevel);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, rows.Row(y));
        if (rowsDone) rowsDone(y + 1);
    }
    png_write_end(png, nullptr);
    return true;
}

} // namespace

void SaveTransparentPng(const TBitmap& bitmap, TColor key, const std::string& fileName, const RowsDone& rowsDone) {
    const TBitmapImage& store = bitmap.Image();
    const int width = store.Width, height = store.Height();
    if (width <= 0 || height <= 0 || !store.HasPixels()) return;

    TSafeFileWriter file(fileName);
    RgbaRows rows(store, key);
    PngContext context{file, nullptr, false};
    PngWriter writer(context);
    if (!encodeRows(writer.png_, writer.info_, context, width, height, rows, rowsDone)) {
        if (context.writeFailure) std::rethrow_exception(context.writeFailure);
        if (context.outOfMemory) RaiseOutOfMemory();
        throw EWriteError(msg::WriteError);
    }
    file.Commit();
}

void ExportFinishedPng(TWorkspace& ws, const std::string& fileName) {
    const auto* bitmap = dynamic_cast<const TBitmap*>(ws.Finished.Image1.Picture().Graphic());
    if (!bitmap) return;
    const std::int64_t height = bitmap->Height();
    std::string last;
    auto caption = [&ws, &last](const std::string& text) {
        if (text == last || !ws.OnCaption) return;
        last = text;
        ws.OnCaption(text);
    };
    // The caption goes back to the title however the export ends.
    struct TitleBack {
        TWorkspace& ws;
        ~TitleBack() {
            if (ws.OnCaption) ws.OnCaption(ws.TitleText);
        }
    } titleBack{ws};
    SaveTransparentPng(*bitmap, ws.Settings.BackColor, fileName, [&](int rows) {
        caption(ws.TitleText + std::to_string(std::int64_t(rows) * 100 / height) + "%");
    });
}

} // namespace vem
