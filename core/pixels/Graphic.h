// The abstract graphic: a bitmap, an icon or a metafile.
#pragma once

#include <functional>
#include <memory>

namespace vem {

class TStream;
class TWriteStream;

class TGraphic {
public:
    virtual ~TGraphic() = default;
    // Becomes a copy of Source (null: empty). Another kind raises EConvertError.
    virtual void AssignFrom(const TGraphic* source) = 0;
    virtual bool Empty() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void SetWidth(int width) = 0;
    virtual void SetHeight(int height) = 0;
    // A new, empty graphic of the same kind.
    virtual std::unique_ptr<TGraphic> NewEmpty() const = 0;
    // Reads every byte from the stream's position to its end.
    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void SaveToStream(TWriteStream& stream) = 0;
    // "bitmap", "icon" or "metafile".
    virtual const char* KindName() const = 0;
    // "TBitmap", "TIcon" or "TMetafile": the class named by a refused assignment.
    virtual const char* ClassName() const = 0;

    // Set by the owning picture; called after every change of content.
    std::function<void()> OnChange;

protected:
    TGraphic() = default;
    TGraphic(const TGraphic&) = delete;
    TGraphic& operator=(const TGraphic&) = delete;
    void Changed() {
        if (OnChange) OnChange();
    }
};

} // namespace vem
