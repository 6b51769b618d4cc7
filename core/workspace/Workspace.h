// The workspace: three image slots and the conversion settings, with every
// operation the windows run on them. No window is needed to use it.
#pragma once

#include <cstdint>
#include <climits>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/pixels/Color.h"
#include "core/workspace/ConvSettings.h"
#include "core/workspace/Picture.h"

namespace vem {

// One image slot (the model behind an image window).
class TImageSlot {
public:
    // Number 1 original, 2 editing, 3 finished.
    TImageSlot(int number, std::string kindName, std::string firstCaption, bool followsPicture);
    TImageSlot(const TImageSlot&) = delete;
    TImageSlot& operator=(const TImageSlot&) = delete;

    int Number() const { return number_; }
    // "原画", "編集用" or "完成".
    const std::string& KindName() const { return kindName_; }
    // "640×480": the picture's width, the multiplication sign, its height.
    std::string SizeText() const;
    const std::string& Caption() const { return caption_; }

    // The picture control: its size is the slot's extent (1 x 1 at creation).
    TImage Image1;
    std::uint8_t PixR = 0, PixG = 0, PixB = 0;
    // The bitmap the slot's picture holds; null until the slot first receives
    // a picture. Every operation that replaces the picture renews it, on
    // failure too, so it never designates a destroyed bitmap.
    TBitmap* WorkBmp = nullptr;

    // Loads a file: picture, then extent (width, then height), then WorkBmp,
    // then caption "KindName:SizeText". A failed read changes nothing.
    // Returns whether the file held a bitmap.
    bool FileLoad(const std::string& fileName);
    // The same for the file SOURCE has just loaded as a bitmap: its store is
    // shared instead of read again (a change to either makes its own copy).
    void FileLoadShared(const TImageSlot& source);
    // Reads pixel (X, Y) of WorkBmp through its own depth. No picture
    // (WorkBmp null), a row or a column outside the bitmap: the row-range error.
    void GetPix(int x, int y, std::uint8_t& r, std::uint8_t& g, std::uint8_t& b) const;
    // WorkBmp := AsBitmap of the picture.
    void RenewWorkBmp();
    // True when (X, Y) lies on a pixel of the slot's picture.
    bool HasPixel(int x, int y) const;

    // Sets the caption and reports it (undo puts an earlier caption back).
    void SetCaption(std::string caption);

    // Called after the caption changes (the picture and the extent report
    // through Image1.OnChange).
    std::function<void()> OnCaptionChange;

private:
    int number_;
    std::string kindName_;
    // After the picture took a file's graphic: extent, WorkBmp and caption.
    void showLoaded();
    std::string caption_;
};

// What a running command tells about the pixel stores it makes, so that a
// record of its changes can leave out what cannot differ. The references are
// weak: a note never keeps a store alive nor makes it look shared.
struct TPixelTrail {
    using Store = std::weak_ptr<const TBitmapImage>;
    // The second store holds exactly the first one's pixels: the private copy
    // that preparing a change of a shared store makes.
    std::vector<std::pair<Store, Store>> SamePixels;
    // To holds From's pixels except, at most, in stored rows FirstRow ..
    // LastRow (none when FirstRow > LastRow) and columns FirstColumn ..
    // LastColumn: a pixel rule's finished copy.
    struct Painted {
        Store From, To;
        std::int64_t FirstRow, LastRow;
        std::int64_t FirstColumn = 0, LastColumn = INT32_MAX;
    };
    std::vector<Painted> PaintedRows;
};

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

class TWorkspace {
public:
    TWorkspace();
    TWorkspace(const TWorkspace&) = delete;
    TWorkspace& operator=(const TWorkspace&) = delete;

    TImageSlot Original; // slot 1, MDIChild1
    TImageSlot Editing;  // slot 2, MDIChild2
    TImageSlot Finished; // slot 3, MDIChild3
    TConvSettings Settings;
    // The main window's base caption, "ヴェム～VEM～　".
    std::string TitleText;

    // Slot by number 1..3 (anything else: std::out_of_range).
    TImageSlot& Slot(int number);

    // Receives the main window's caption text after each row of a pixel-rule
    // run (TitleText + percent + "%"); a text equal to the run's previous one
    // is not passed on again.
    std::function<void(const std::string&)> OnCaption;

    // Where commands leave their notes while a record of them is kept; null
    // (nothing noted) otherwise.
    TPixelTrail* Trail = nullptr;

    // --- Files and copies ---
    // 1: original then finished (each reading the file anew; a failed first
    // load skips the second); 2: editing; anything else: nothing.
    void LoadByTarget(int target, const std::string& fileName);
    // "原画→編集用" and "完成→原画": the target picture becomes an independent
    // copy of the source's graphic (empty when the source holds none), its
    // WorkBmp is renewed; caption and extent stay.
    void CopyOriginalToEditing();
    void CopyFinishedToOriginal();
    // Writes the slot's picture to exactly FileName; nothing when the picture
    // holds no graphic.
    void SaveSlot(TImageSlot& slot, const std::string& fileName);

    // --- Conversions ---
    // Pixel (X, Y) of slot 1..3 into R, G, B; returns RGB(R, G, B).
    TColor GetPixOf(int slot, int x, int y, std::uint8_t& r, std::uint8_t& g, std::uint8_t& b);
    void KeepMatch();       // mode 0
    void EraseMatch();      // mode 1
    void KeepColorMatch();  // mode 2
    void EraseColorMatch(); // mode 3
    // Mode 4. Returns false (and changes nothing) when the start point lies
    // outside the original picture or the original is empty.
    bool ApproxFromPoint();
    // The conversion command after OK: runs ConvMode (any value outside 0-4
    // runs nothing), then renews the finished slot's WorkBmp. False only when
    // mode 4 was rejected, so that callers without a screen can say so.
    bool RunConversion();

    // --- Pointer picking ---
    // Left pick on Slot at (X, Y): the slot's PixR/G/B, TargetColor, PointX/Y.
    // Ignored (false, nothing changes) when the slot has no pixel there.
    bool Pick(TImageSlot& slot, int x, int y);
    // The right-click gesture: pick, mode 4, mode 3, renew the finished WorkBmp,
    // and with Apply the copies finished -> original, original -> editing.
    // False when the pick or mode 4 was rejected (nothing beyond the pick changed).
    bool EraseGesture(TImageSlot& slot, int x, int y, bool apply);
    // What a mouse press on Slot's picture does: left picks; right runs the
    // gesture when RightPick ("右クリ近似色") is on; middle does nothing.
    // True when the gesture ran to its end (the result is there to apply).
    bool Image1MouseDown(TImageSlot& slot, TMouseButton button, int x, int y, bool rightPick, bool apply);

private:
    // Makes every slot's WorkBmp designate the bitmap its picture holds now
    // (or nothing), when an operation ends by success or by failure.
    struct WorkBmpGuard {
        TWorkspace& ws;
        ~WorkBmpGuard() { ws.syncWorkBmps(); }
    };
    void syncWorkBmps();
    // The progress text, passed on only when it differs from the last one of
    // the run (the caption would not change).
    void setCaption(const std::string& text);
    std::string lastCaption_;
    // Reads a pixel of Slot as GetPix does, noting the private copy that the
    // read's preparation may make.
    void readPixel(TImageSlot& slot, int x, int y);
    void noteSamePixels(const TPixelTrail::Store& before, const TBitmap* after);
    // The store of Slot's WorkBmp when a trail is kept, else none.
    TPixelTrail::Store trailStore(const TImageSlot& slot) const;
    // The finished picture becomes a copy of the original's bitmap (sharing its
    // store). Returns the old finished pixel block when nothing else used it,
    // so that the next private copy can be written into it.
    PixelBlock finishedFromOriginal();
    // Modes 0-3; Spare, if it has the right size, receives the finished copy.
    // Painting happens at most in columns PaintLeft .. PaintRight-1 (the
    // caller knows when it is fewer than all).
    void runPixelRule(int mode, PixelBlock spare, std::int64_t paintLeft = 0, std::int64_t paintRight = INT32_MAX);
    // Mode 4; hands the old finished pixel block to the caller when asked,
    // and the rectangle of the region grown to Region.
    bool approxFromPoint(PixelBlock* oldFinished, TRect* region = nullptr);
};

} // namespace vem
