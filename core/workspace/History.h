// Undo and redo of the commands that change the workspace's pictures.
//
// A step is one command that changed at least one slot: its picture, its
// extent or its caption. For each changed slot the step keeps the other side
// of the change: after a command the state before it, after an undo the
// state it took back. Undo and redo exchange that side with the slot's
// current one, so a step never holds both.
//
// Only what changed is kept. Where a slot's old and new stores have blocks
// of the same size, the step keeps the old bytes of the 256-byte pieces that
// differ and the old header; otherwise it keeps the old store itself, which
// costs nothing while a slot or another step still shares it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "core/workspace/Workspace.h"

namespace vem {

class TStorePatch;
struct TByteArea;

// An eighth of the machine's physical memory, but at least 256 MiB.
std::uint64_t DefaultHistoryCap();

class THistory {
public:
    explicit THistory(TWorkspace& workspace, std::uint64_t capBytes = DefaultHistoryCap());
    ~THistory();
    THistory(const THistory&) = delete;
    THistory& operator=(const THistory&) = delete;

    // Runs COMMAND as one step; a command run from inside another one's
    // COMMAND belongs to the outer step. A command that changes nothing adds
    // no step; one that changes something drops the steps to redo, even when
    // it fails part way (the step is kept and the failure passed on).
    // Out of memory: when the history or the step held anything, the
    // pictures go back to where they were before the command, the whole
    // history is dropped, and the command runs once more without a record.
    void Run(const std::function<void()>& command);

    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    // Puts the slots of the newest step back as they were before it (after
    // it, for Redo) and repaints them through their change reports. Nothing
    // when there is no such step.
    void Undo();
    void Redo();
    // Drops every step, oldest first.
    void Clear();

    std::size_t UndoSteps() const { return undo_.size(); }
    std::size_t RedoSteps() const { return redo_.size(); }
    // The memory the history holds: the kept pieces and headers, and the
    // whole stores that no slot shares.
    std::uint64_t Bytes() const;
    // Beyond this the oldest steps are dropped after each new step; the
    // newest step is always kept.
    std::uint64_t Cap;

    // Off, commands run without a record and the history is dropped: its
    // steps would no longer fit the pictures.
    bool Recording = true;

    // Called after every change of what can be undone or redone.
    std::function<void()> OnChange;
    // Receives each store the history lets go of that nothing else holds,
    // just before it would be freed; keeping it is the receiver's choice.
    std::function<void(std::shared_ptr<TBitmapImage>)> OnRelease;

private:
    struct Change;   // one slot's side of a step
    struct Step;     // one command's changes
    struct Snapshot; // the three slots before a command
    using Store = std::shared_ptr<const TBitmapImage>;
    struct MadePatch {
        const TBitmapImage* Was;
        const TBitmapImage* Now;
        std::shared_ptr<TStorePatch> Patch;
    };

    TWorkspace& ws_;
    std::vector<std::unique_ptr<Step>> undo_, redo_; // oldest first
    int depth_ = 0;
    TPixelTrail trail_;

    bool giveWay(Snapshot& before, const std::function<void()>& command);
    void recordOrForget(Snapshot& before);
    void record(Snapshot& before);
    bool samePixels(const TPixelTrail::Store& a, const TPixelTrail::Store& b) const;
    TByteArea changedBytes(const Store& was, const Store& now) const;
    std::shared_ptr<TStorePatch> patchFor(const Store& was, long keptBySnapshot, const Store& now,
                                          std::vector<MadePatch>& made);
    void move(std::vector<std::unique_ptr<Step>>& from, std::vector<std::unique_ptr<Step>>& to);
    bool exchange(Step& step);
    void release(std::unique_ptr<TGraphic> graphic);
    void drop(std::unique_ptr<Step> step);
    void trim();
    void changed();
};

} // namespace vem
