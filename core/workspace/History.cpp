#include "core/workspace/History.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <utility>

#include "core/base/Errors.h"
#include "core/pixels/PaintedBits.h"
#include "core/workspace/StorePatch.h"

namespace vem {

std::uint64_t DefaultHistoryCap() {
    const std::uint64_t floor = std::uint64_t(256) << 20;
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return floor;
    return std::max(floor, static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize) / 8);
}

namespace {

TBitmap* bitmapOf(const TGraphic* g) { return dynamic_cast<TBitmap*>(const_cast<TGraphic*>(g)); }

// The graphic as a new one of its kind; a bitmap shares its store.
std::unique_ptr<TGraphic> copyOf(const TGraphic* g) {
    if (!g) return nullptr;
    std::unique_ptr<TGraphic> copy = g->NewEmpty();
    copy->AssignFrom(g);
    return copy;
}

// Whether two references name one store, even one that is gone already.
bool sameStore(const TPixelTrail::Store& a, const TPixelTrail::Store& b) {
    return !a.owner_before(b) && !b.owner_before(a);
}

// Blocks of the same bytes; the first difference ends the comparison.
bool sameBlocks(const TBitmapImage& a, const TBitmapImage& b) {
    return a.Pixels.size() == b.Pixels.size() &&
           (a.Pixels.empty() || std::memcmp(a.Pixels.data(), b.Pixels.data(), a.Pixels.size()) == 0);
}

// How many others than the caller hold the store of bitmap B.
long holders(const TBitmap& b) { return b.SharedImage().use_count() - 1; }

bool isOutOfMemory(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const EOutOfMemory& e) {
        return !e.TooLarge;
    } catch (const std::bad_alloc&) {
        return true;
    } catch (...) {
        return false;
    }
}

// Whether Slot shows Graphic: the same store for bitmaps, the same object else.
bool shows(const TImageSlot& slot, const TGraphic* graphic) {
    const TGraphic* now = slot.Image1.Picture().Graphic();
    const TBitmap* a = bitmapOf(now);
    const TBitmap* b = bitmapOf(graphic);
    return a && b ? &a->Image() == &b->Image() : now == graphic;
}

// Puts a picture, an extent and a caption into Slot, each reporting its change.
void putBack(TImageSlot& slot, const TGraphic* graphic, int width, int height, const std::string& caption) {
    if (!shows(slot, graphic)) slot.Image1.Picture().AssignGraphic(graphic);
    slot.Image1.SetBounds(width, height);
    if (caption != slot.Caption()) slot.SetCaption(caption);
    slot.WorkBmp = bitmapOf(slot.Image1.Picture().Graphic());
}

} // namespace

// One slot as it was: a copy of its graphic (a bitmap shares its store), the
// picture's change count, the extent and the caption.
struct THistory::Snapshot {
    struct Slot {
        std::unique_ptr<TGraphic> Graphic;
        std::uint64_t Changes = 0;
        int Width = 0, Height = 0;
        std::string Caption;
    } Slots[3];

    explicit Snapshot(TWorkspace& ws) {
        for (int n = 1; n <= 3; ++n) {
            TImageSlot& slot = ws.Slot(n);
            Slot& s = Slots[n - 1];
            s.Graphic = copyOf(slot.Image1.Picture().Graphic());
            s.Changes = slot.Image1.Picture().ChangeCount();
            s.Width = slot.Image1.Width();
            s.Height = slot.Image1.Height();
            s.Caption = slot.Caption();
        }
    }
    bool HoldsAny() const {
        return std::any_of(std::begin(Slots), std::end(Slots), [](const Slot& s) { return s.Graphic != nullptr; });
    }
};

// The other side of one slot's change: a kept patch of the store the slot
// holds, or a whole graphic (none when Whole is null), or only the extent
// and the caption.
struct THistory::Change {
    enum Kind { ExtentOnly, Whole, Patched } What = ExtentOnly;
    int Slot = 0;
    std::unique_ptr<TGraphic> Graphic;
    std::shared_ptr<TStorePatch> Patch;
    int Width = 0, Height = 0;
    std::string Caption;
};

struct THistory::Step {
    std::vector<Change> Changes;
};

THistory::THistory(TWorkspace& workspace, std::uint64_t capBytes) : Cap(capBytes), ws_(workspace) {}

THistory::~THistory() {
    OnChange = nullptr;
    OnRelease = nullptr;
    if (ws_.Trail == &trail_) ws_.Trail = nullptr;
    Clear();
}

void THistory::changed() {
    if (OnChange) OnChange();
}

// --- Recording ---------------------------------------------------------------------

void THistory::Run(const std::function<void()>& command) {
    if (depth_ > 0) return command();
    if (!Recording) {
        Clear();
        return command();
    }
    struct Depth {
        THistory& h;
        ~Depth() {
            --h.depth_;
            h.ws_.Trail = nullptr;
            h.trail_ = {};
        }
    } depth{*this};
    ++depth_;
    Snapshot before(ws_);
    ws_.Trail = &trail_;
    try {
        command();
    } catch (...) {
        if (isOutOfMemory(std::current_exception()) && giveWay(before, command)) return;
        recordOrForget(before);
        throw;
    }
    recordOrForget(before);
}

bool THistory::giveWay(Snapshot& before, const std::function<void()>& command) {
    if (undo_.empty() && redo_.empty() && !before.HoldsAny()) return false;
    ws_.Trail = nullptr;
    for (int n = 1; n <= 3; ++n) {
        Snapshot::Slot& s = before.Slots[n - 1];
        putBack(ws_.Slot(n), s.Graphic.get(), s.Width, s.Height, s.Caption);
        release(std::move(s.Graphic));
    }
    Clear();
    command();
    return true;
}

// A record that cannot get its own memory is no reason to fail the command:
// the history goes instead.
void THistory::recordOrForget(Snapshot& before) {
    try {
        record(before);
    } catch (const EOutOfMemory&) {
        Clear();
    } catch (const std::bad_alloc&) {
        Clear();
    }
    for (Snapshot::Slot& s : before.Slots) release(std::move(s.Graphic));
    // Only now do the stores the step keeps whole count as the history's own.
    trim();
    changed();
}

bool THistory::samePixels(const TPixelTrail::Store& a, const TPixelTrail::Store& b) const {
    // The private copies of one command form short chains: follow them from A.
    std::vector<TPixelTrail::Store> reached{a};
    for (std::size_t i = 0; i < reached.size(); ++i) {
        if (sameStore(reached[i], b)) return true;
        for (const auto& [x, y] : trail_.SamePixels) {
            const TPixelTrail::Store* next = sameStore(x, reached[i]) ? &y : sameStore(y, reached[i]) ? &x : nullptr;
            if (next && std::none_of(reached.begin(), reached.end(), [&](const auto& r) { return sameStore(r, *next); }))
                reached.push_back(*next);
        }
    }
    return false;
}

namespace {

// The bytes of stored rows FIRST .. LAST and picture columns LEFT .. RIGHT of
// STORE's block; nothing when either range is empty.
TByteArea storedArea(const TBitmapImage& store, std::int64_t first, std::int64_t last, std::int64_t left,
                     std::int64_t right) {
    if (first > last || left > right) return {};
    const std::uint64_t stride = store.Stride(), bits = store.Device ? DeviceBitCount : store.BitCount;
    const auto from = static_cast<std::uint64_t>(left), to = static_cast<std::uint64_t>(right);
    return {static_cast<std::uint64_t>(first), static_cast<std::uint64_t>(last - first + 1), stride, from * bits / 8,
            std::min(stride, ((to + 1) * bits + 7) / 8)};
}

} // namespace

// The bytes of Now's block that may differ from Was's, as the command's notes
// tell: none when Now is a private copy of Was, the painted rows and columns
// when Now is a pixel rule's copy of a store with Was's pixels, where their
// bit maps differ when both were painted over one base, else all.
TByteArea THistory::changedBytes(const Store& was, const Store& now) const {
    if (samePixels(was, now)) return {};
    for (const TPixelTrail::Painted& p : trail_.PaintedRows) {
        if (!sameStore(p.To, now) || !samePixels(was, p.From)) continue;
        return storedArea(*now, p.FirstRow, p.LastRow, p.FirstColumn, p.LastColumn);
    }
    // Two pictures painted over one base differ at most where their bit maps do.
    if (TPixelArea a; PaintedDifference(*was, *now, a)) {
        if (a.Empty()) return {};
        const std::int64_t h = now->Height();
        return now->TopDown() ? storedArea(*now, a.Top, a.Bottom - 1, a.Left, a.Right - 1)
                              : storedArea(*now, h - a.Bottom, h - 1 - a.Top, a.Left, a.Right - 1);
    }
    return TByteArea::Block(now->Pixels.size());
}

// The patch from Now's store back to Was's, made once for every slot that
// went from one to the other. None when the old store is shared with
// something that stays (keeping it whole costs nothing), when the blocks
// differ in size, or when the patch would not pay.
std::shared_ptr<TStorePatch> THistory::patchFor(const Store& was, long keptBySnapshot, const Store& now,
                                                std::vector<MadePatch>& made) {
    for (const MadePatch& m : made)
        if (m.Was == was.get() && m.Now == now.get()) return m.Patch;
    std::shared_ptr<TStorePatch> patch;
    // Besides the snapshot, only the two local references hold it.
    const bool sharedWithOthers = was.use_count() - 1 > keptBySnapshot;
    if (!sharedWithOthers && !was->Pixels.empty() && was->Pixels.size() == now->Pixels.size()) {
        try {
            patch = TStorePatch::Make(*was, *now, changedBytes(was, now));
        } catch (const EOutOfMemory&) {
            // Kept whole instead: that needs no memory of its own.
        }
    }
    made.push_back({was.get(), now.get(), patch});
    return patch;
}

void THistory::record(Snapshot& before) {
    auto step = std::make_unique<Step>();
    std::vector<MadePatch> made;
    bool matters = false; // something beyond what preparing a read resets
    for (int n = 1; n <= 3; ++n) {
        TImageSlot& slot = ws_.Slot(n);
        Snapshot::Slot& was = before.Slots[n - 1];
        const TGraphic* now = slot.Image1.Picture().Graphic();
        const TBitmap* oldBitmap = bitmapOf(was.Graphic.get());
        const TBitmap* newBitmap = bitmapOf(now);
        bool sameGraphic;
        if (oldBitmap || newBitmap)
            sameGraphic = oldBitmap && newBitmap && &oldBitmap->Image() == &newBitmap->Image();
        else
            sameGraphic = !now == !was.Graphic && (!now || slot.Image1.Picture().ChangeCount() == was.Changes);
        const bool sameFrame = slot.Image1.Width() == was.Width && slot.Image1.Height() == was.Height &&
                               slot.Caption() == was.Caption;
        if (sameGraphic && sameFrame) continue;
        matters |= !sameFrame;
        Change c;
        c.Slot = n;
        c.Width = was.Width;
        c.Height = was.Height;
        c.Caption = was.Caption;
        if (!sameGraphic && oldBitmap && newBitmap) {
            const Store oldStore = oldBitmap->SharedImage(), newStore = newBitmap->SharedImage();
            const long bySnapshot = std::count_if(std::begin(before.Slots), std::end(before.Slots), [&](const auto& s) {
                const TBitmap* b = bitmapOf(s.Graphic.get());
                return b && &b->Image() == oldStore.get();
            });
            c.Patch = patchFor(oldStore, bySnapshot, newStore, made);
            const bool onlyPrepared = c.Patch ? c.Patch->OnlyPreparation(*newStore)
                                              : DiffersOnlyByPreparation(*oldStore, *newStore) &&
                                                    (samePixels(oldStore, newStore) || sameBlocks(*oldStore, *newStore));
            matters |= !onlyPrepared;
        } else if (!sameGraphic) {
            matters = true;
        }
        if (c.Patch) {
            c.What = Change::Patched;
        } else if (!sameGraphic) {
            c.What = Change::Whole;
            c.Graphic = copyOf(was.Graphic.get());
        }
        step->Changes.push_back(std::move(c));
    }
    if (!matters) {
        drop(std::move(step));
        return;
    }
    while (!redo_.empty()) {
        drop(std::move(redo_.back()));
        redo_.pop_back();
    }
    undo_.push_back(std::move(step));
}

// --- Undo and redo ----------------------------------------------------------------

void THistory::Undo() { move(undo_, redo_); }

void THistory::Redo() { move(redo_, undo_); }

void THistory::move(std::vector<std::unique_ptr<Step>>& from, std::vector<std::unique_ptr<Step>>& to) {
    if (from.empty()) return;
    std::unique_ptr<Step> step = std::move(from.back());
    from.pop_back();
    bool done = false;
    try {
        try {
            done = exchange(*step);
        } catch (const EOutOfMemory&) {
            // Private copies that the exchange needs come first, so nothing
            // has changed yet: give up the other steps and try once more.
            Clear();
            done = exchange(*step);
        }
    } catch (...) {
        from.push_back(std::move(step));
        changed();
        throw;
    }
    if (done)
        to.push_back(std::move(step));
    else
        drop(std::move(step));
    changed();
}

// Exchanges the step's side with the slots' current one. False (and the
// history dropped) when a slot no longer holds what the step was made for,
// which only a change past the history could cause.
bool THistory::exchange(Step& step) {
    struct Group {
        TBitmapImage* store;
        TStorePatch* patch;
        std::vector<TBitmap*> bitmaps;
        std::shared_ptr<TBitmapImage> copy;
    };
    std::vector<Group> groups;
    for (const Change& c : step.Changes) {
        if (c.What != Change::Patched) continue;
        TBitmap* b = bitmapOf(ws_.Slot(c.Slot).Image1.Picture().Graphic());
        if (!b || b->Image().Pixels.size() != c.Patch->BlockSize()) {
            Clear();
            return false;
        }
        auto g = std::find_if(groups.begin(), groups.end(),
                              [&](const Group& x) { return x.store == &b->MutableImage() && x.patch == c.Patch.get(); });
        if (g == groups.end()) g = groups.insert(groups.end(), Group{&b->MutableImage(), c.Patch.get(), {}, nullptr});
        g->bitmaps.push_back(b);
    }
    // A store that anything besides the group's slots holds is patched in a
    // private copy; made before anything changes, so a failure changes nothing.
    for (Group& g : groups) {
        const bool firstOfPatch = &g == &*std::find_if(groups.begin(), groups.end(),
                                                        [&](const Group& x) { return x.patch == g.patch; });
        if (firstOfPatch && holders(*g.bitmaps.front()) != static_cast<long>(g.bitmaps.size()))
            g.copy = g.store->Clone();
    }
    // The frames as they are now: putting a picture back may resize a slot.
    struct Frame {
        int width, height;
        std::string caption;
    };
    std::vector<Frame> frames;
    for (const Change& c : step.Changes) {
        const TImageSlot& slot = ws_.Slot(c.Slot);
        frames.push_back({slot.Image1.Width(), slot.Image1.Height(), slot.Caption()});
    }
    for (Group& g : groups) {
        // Slots that went the same way but hold copies of their own since
        // (a pick prepares the store it reads) take the first group's result.
        const Group& first = *std::find_if(groups.begin(), groups.end(), [&](const Group& x) { return x.patch == g.patch; });
        if (&first != &g) {
            const std::shared_ptr<TBitmapImage> result = std::const_pointer_cast<TBitmapImage>(first.bitmaps.front()->SharedImage());
            for (TBitmap* b : g.bitmaps) b->SetImage(result);
        } else if (g.copy) {
            g.patch->Exchange(*g.copy);
            for (TBitmap* b : g.bitmaps) b->SetImage(g.copy);
        } else {
            g.patch->Exchange(*g.store);
            for (TBitmap* b : g.bitmaps) b->NotifyChanged();
        }
    }
    for (std::size_t i = 0; i < step.Changes.size(); ++i) {
        Change& c = step.Changes[i];
        TImageSlot& slot = ws_.Slot(c.Slot);
        std::unique_ptr<TGraphic> current;
        if (c.What == Change::Whole) current = copyOf(slot.Image1.Picture().Graphic());
        putBack(slot, c.What == Change::Whole ? c.Graphic.get() : slot.Image1.Picture().Graphic(), c.Width, c.Height,
                c.Caption);
        if (c.What == Change::Whole) c.Graphic = std::move(current);
        c.Width = frames[i].width;
        c.Height = frames[i].height;
        c.Caption = std::move(frames[i].caption);
    }
    return true;
}

// --- Memory ------------------------------------------------------------------------

std::uint64_t THistory::Bytes() const {
    std::uint64_t total = 0;
    std::vector<const TStorePatch*> patches;
    std::vector<std::pair<const TBitmap*, long>> wholes; // a bitmap per store, and the history's references
    for (const auto* list : {&undo_, &redo_})
        for (const auto& step : *list)
            for (const Change& c : step->Changes) {
                if (c.Patch && std::find(patches.begin(), patches.end(), c.Patch.get()) == patches.end()) {
                    patches.push_back(c.Patch.get());
                    total += c.Patch->Bytes();
                }
                const TBitmap* b = c.What == Change::Whole ? bitmapOf(c.Graphic.get()) : nullptr;
                if (!b) continue;
                auto w = std::find_if(wholes.begin(), wholes.end(),
                                      [&](const auto& x) { return &x.first->Image() == &b->Image(); });
                if (w == wholes.end())
                    wholes.push_back({b, 1});
                else
                    ++w->second;
            }
    for (const auto& [b, references] : wholes)
        if (holders(*b) == references)
            total += b->Image().Pixels.size() + b->Image().Converted.size() + b->Image().SavedFile.size();
    return total;
}

void THistory::release(std::unique_ptr<TGraphic> graphic) {
    const TBitmap* b = bitmapOf(graphic.get());
    if (!b || !OnRelease) return;
    std::shared_ptr<TBitmapImage> store = std::const_pointer_cast<TBitmapImage>(b->SharedImage());
    graphic.reset();
    if (store.use_count() == 1) OnRelease(std::move(store));
}

void THistory::drop(std::unique_ptr<Step> step) {
    for (Change& c : step->Changes) release(std::move(c.Graphic));
}

void THistory::trim() {
    while (undo_.size() > 1 && Bytes() > Cap) {
        drop(std::move(undo_.front()));
        undo_.erase(undo_.begin());
    }
}

void THistory::Clear() {
    if (undo_.empty() && redo_.empty()) return;
    for (auto& step : undo_) drop(std::move(step));
    undo_.clear();
    for (auto it = redo_.rbegin(); it != redo_.rend(); ++it) drop(std::move(*it));
    redo_.clear();
    changed();
}

} // namespace vem
