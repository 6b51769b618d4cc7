#include "core/workspace/Workspace.h"

#include <stdexcept>
#include <utility>

#include "core/base/Errors.h"
#include "core/pixels/PixelCodec.h"
#include "core/workspace/RegionGrower.h"

namespace vem {

// --- TImageSlot --------------------------------------------------------------

TImageSlot::TImageSlot(int number, std::string kindName, std::string firstCaption, bool followsPicture)
    : Image1(1, 1), number_(number), kindName_(std::move(kindName)), caption_(std::move(firstCaption)) {
    Image1.AutoSize = followsPicture;
}

std::string TImageSlot::SizeText() const {
    return std::to_string(Image1.Picture().Width()) + "×" + std::to_string(Image1.Picture().Height());
}

void TImageSlot::SetCaption(std::string caption) {
    caption_ = std::move(caption);
    if (OnCaptionChange) OnCaptionChange();
}

void TImageSlot::RenewWorkBmp() { WorkBmp = &Image1.Picture().AsBitmap(); }

bool TImageSlot::FileLoad(const std::string& fileName) {
    Image1.Picture().LoadFile(fileName);
    const bool bitmap = dynamic_cast<const TBitmap*>(Image1.Picture().Graphic()) != nullptr;
    showLoaded();
    return bitmap;
}

void TImageSlot::FileLoadShared(const TImageSlot& source) {
    Image1.Picture().AssignGraphic(source.Image1.Picture().Graphic());
    showLoaded();
}

void TImageSlot::showLoaded() {
    try {
        Image1.SetWidth(Image1.Picture().Width());
        Image1.SetHeight(Image1.Picture().Height());
    } catch (...) {
        // A failing size report must not leave WorkBmp on the replaced bitmap.
        RenewWorkBmp();
        throw;
    }
    RenewWorkBmp();
    SetCaption(kindName_ + ":" + SizeText());
}

bool TImageSlot::HasPixel(int x, int y) const {
    return WorkBmp && WorkBmp->Image().HasPixels() && x >= 0 && y >= 0 && x < WorkBmp->Width() &&
           y < WorkBmp->Height();
}

void TImageSlot::GetPix(int x, int y, std::uint8_t& r, std::uint8_t& g, std::uint8_t& b) const {
    if (!WorkBmp) RaiseScanLineError();
    // Row prepares a change and checks the row, as every pixel read does; the
    // reading form keeps the reduced copies, the pixels being as they were.
    const std::uint8_t* row = WorkBmp->ReadRow(y);
    if (x < 0 || x >= WorkBmp->Width()) RaiseScanLineError();
    const TColor c = PixelCodec(WorkBmp->Image()).Decode(row, x);
    r = GetRValue(c);
    g = GetGValue(c);
    b = GetBValue(c);
}

// --- TWorkspace: slots, files and copies -------------------------------------

TWorkspace::TWorkspace()
    : Original(1, "原画", "MDIChild1", false),
      Editing(2, "編集用", "MDIChild2", false),
      Finished(3, "完成", "MDIChild3", true),
      TitleText("ヴェム～VEM～　") {}

TImageSlot& TWorkspace::Slot(int number) {
    switch (number) {
    case 1: return Original;
    case 2: return Editing;
    case 3: return Finished;
    default: throw std::out_of_range("slot number " + std::to_string(number));
    }
}

void TWorkspace::syncWorkBmps() {
    for (TImageSlot* slot : {&Original, &Editing, &Finished})
        slot->WorkBmp = dynamic_cast<TBitmap*>(slot->Image1.Picture().Graphic());
}

void TWorkspace::LoadByTarget(int target, const std::string& fileName) {
    if (target == 1) {
        // One read serves both: the finished picture of a bitmap file shares
        // the original's store, so the reduced copies for drawing them small
        // are made once too. Other graphics are read again, as the original
        // has already been turned into a bitmap of its own.
        if (Original.FileLoad(fileName))
            Finished.FileLoadShared(Original);
        else
            Finished.FileLoad(fileName);
    } else if (target == 2) {
        Editing.FileLoad(fileName);
    }
}

void TWorkspace::CopyOriginalToEditing() {
    WorkBmpGuard guard{*this};
    Editing.Image1.Picture().AssignGraphic(Original.Image1.Picture().Graphic());
    Editing.RenewWorkBmp();
}

void TWorkspace::CopyFinishedToOriginal() {
    WorkBmpGuard guard{*this};
    Original.Image1.Picture().AssignGraphic(Finished.Image1.Picture().Graphic());
    Original.RenewWorkBmp();
}

void TWorkspace::SaveSlot(TImageSlot& slot, const std::string& fileName) { slot.Image1.Picture().SaveFile(fileName); }

// --- Conversions ---------------------------------------------------------------

TColor TWorkspace::GetPixOf(int slot, int x, int y, std::uint8_t& r, std::uint8_t& g, std::uint8_t& b) {
    Slot(slot).GetPix(x, y, r, g, b);
    return RGB(r, g, b);
}

void TWorkspace::setCaption(const std::string& text) {
    if (text == lastCaption_) return;
    lastCaption_ = text;
    if (OnCaption) OnCaption(text);
}

PixelBlock TWorkspace::finishedFromOriginal() {
    std::shared_ptr<const TBitmapImage> old;
    if (const auto* bitmap = dynamic_cast<const TBitmap*>(Finished.Image1.Picture().Graphic())) {
        old = bitmap->SharedImage();
        if (old.use_count() != 2) old.reset(); // shared with another picture: not ours to recycle
    }
    Finished.Image1.Picture().AssignGraphic(&Original.Image1.Picture().AsBitmap());
    PixelBlock recycled;
    // The old store is now referenced by nobody else; it was made writable
    // (every store is), so taking its pixel block is safe.
    if (old && old.use_count() == 1) recycled = std::move(const_cast<TBitmapImage&>(*old).Pixels);
    return recycled;
}

bool TWorkspace::ApproxFromPoint() { return approxFromPoint(nullptr); }

bool TWorkspace::approxFromPoint(PixelBlock* oldFinished, TRect* region) {
    const auto* source = dynamic_cast<const TBitmap*>(Original.Image1.Picture().Graphic());
    if (!source || !source->Image().HasPixels() || Settings.PointX < 0 || Settings.PointY < 0 ||
        Settings.PointX >= source->Width() || Settings.PointY >= source->Height())
        return false;
    WorkBmpGuard guard{*this};
    PixelBlock old = finishedFromOriginal();
    if (oldFinished) *oldFinished = std::move(old);
    // Frees a block that was not handed out; a moved-from block is empty already.
    old.reset(); // NOLINT(bugprone-use-after-move)

    TForm3 grower;
    grower.FormCreate(Settings, Original.Image1.Picture());
    // The editing picture is replaced by the mask right after the fill, so a
    // private block of the right size is written over instead of allocating
    // (and faulting in) a new one.
    grower.MaskDonor = dynamic_cast<TBitmap*>(Editing.Image1.Picture().Graphic());
    grower.Button1Click();
    if (region) *region = grower.Bounds;
    Editing.Image1.Picture().AssignGraphic(grower.Image2.Picture().Graphic());
    Editing.RenewWorkBmp();
    Editing.WorkBmp->SetPixelDepth(TPixelDepth::pd24Bit);
    return true;
}

bool TWorkspace::RunConversion() {
    bool ran = true;
    switch (Settings.ConvMode) {
    case 0: KeepMatch(); break;
    case 1: EraseMatch(); break;
    case 2: KeepColorMatch(); break;
    case 3: EraseColorMatch(); break;
    case 4: ran = ApproxFromPoint(); break;
    default: break;
    }
    Finished.RenewWorkBmp();
    return ran;
}

// --- Pointer picking -------------------------------------------------------------

void TWorkspace::noteSamePixels(const TPixelTrail::Store& before, const TBitmap* after) {
    if (!Trail || !after) return;
    TPixelTrail::Store now = after->SharedImage();
    if (now.owner_before(before) || before.owner_before(now)) Trail->SamePixels.emplace_back(before, std::move(now));
}

TPixelTrail::Store TWorkspace::trailStore(const TImageSlot& slot) const {
    if (!Trail || !slot.WorkBmp) return {};
    return slot.WorkBmp->SharedImage();
}

void TWorkspace::readPixel(TImageSlot& slot, int x, int y) {
    // Only a weak reference is held across the read: a strong one would make
    // the store look shared and the read copy it.
    const TPixelTrail::Store before = trailStore(slot);
    slot.GetPix(x, y, slot.PixR, slot.PixG, slot.PixB);
    noteSamePixels(before, slot.WorkBmp);
}

bool TWorkspace::Pick(TImageSlot& slot, int x, int y) {
    if (!slot.HasPixel(x, y)) return false;
    readPixel(slot, x, y);
    Settings.TargetColor = RGB(slot.PixR, slot.PixG, slot.PixB);
    Settings.PointX = x;
    Settings.PointY = y;
    return true;
}

bool TWorkspace::EraseGesture(TImageSlot& slot, int x, int y, bool apply) {
    if (!Pick(slot, x, y)) return false;
    // Mode 4 drops the finished picture that mode 3 then copies afresh; its
    // pixel block is handed from one to the other instead of being freed and
    // allocated again.
    PixelBlock spare;
    TRect region;
    if (!approxFromPoint(&spare, &region)) return false;
    // Mode 3 paints where the mask has the clicked colour: inside the region,
    // and all around it too when that colour is the mask's white.
    const bool insideRegion = Settings.TargetColor != clWhite;
    runPixelRule(3, std::move(spare), insideRegion ? region.Left : 0, insideRegion ? region.Right : INT32_MAX);
    if (Trail && !Trail->PaintedRows.empty() && insideRegion) {
        Trail->PaintedRows.back().FirstColumn = region.Left;
        Trail->PaintedRows.back().LastColumn = region.Right - 1;
    }
    Finished.RenewWorkBmp();
    if (apply) {
        CopyFinishedToOriginal();
        CopyOriginalToEditing();
    }
    return true;
}

bool TWorkspace::Image1MouseDown(TImageSlot& slot, TMouseButton button, int x, int y, bool rightPick, bool apply) {
    if (button == TMouseButton::mbLeft) {
        Pick(slot, x, y);
        return false;
    }
    return button == TMouseButton::mbRight && rightPick && EraseGesture(slot, x, y, apply);
}

} // namespace vem
