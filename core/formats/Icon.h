// Icon files: accepted, measured and kept as bytes; never drawn by the program.
#pragma once

#include <cstdint>
#include <vector>

#include "core/pixels/Graphic.h"

namespace vem {

class TIcon : public TGraphic {
public:
    void AssignFrom(const TGraphic* source) override;
    bool Empty() const override { return bytes_.empty(); }
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void SetWidth(int width) override;
    void SetHeight(int height) override;
    std::unique_ptr<TGraphic> NewEmpty() const override;
    // Refuses damaged files with EInvalidGraphic "アイコンイメージが不正です".
    void LoadFromStream(TStream& stream) override;
    // Writes the file's bytes back unchanged.
    void SaveToStream(TWriteStream& stream) override;
    const char* KindName() const override { return "icon"; }
    const char* ClassName() const override { return "TIcon"; }

private:
    std::vector<std::uint8_t> bytes_;
    int width_ = 0;
    int height_ = 0;
};

} // namespace vem
