// Metafiles (.wmf placeable or plain, .emf): accepted, measured and kept as bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "core/pixels/Graphic.h"

namespace vem {

class TMetafile : public TGraphic {
public:
    void AssignFrom(const TGraphic* source) override;
    bool Empty() const override { return bytes_.empty(); }
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void SetWidth(int width) override;
    void SetHeight(int height) override;
    std::unique_ptr<TGraphic> NewEmpty() const override;
    // Refuses damaged files with EInvalidGraphic "メタファイルが不正です".
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TWriteStream& stream) override;
    const char* KindName() const override { return "metafile"; }
    const char* ClassName() const override { return "TMetafile"; }
    bool Enhanced() const { return enhanced_; }

private:
    std::vector<std::uint8_t> bytes_;
    int width_ = 0;
    int height_ = 0;
    bool enhanced_ = false;
};

} // namespace vem
