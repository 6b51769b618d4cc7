// Undo and redo of the workspace's commands, checked against a plain model
// that keeps a whole copy of every slot after every step.
//
// The property run prints its seed; VEM_UNDO_SEED=N replays one.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/base/Errors.h"
#include "core/pixels/Bitmap.h"
#include "core/workspace/History.h"
#include "support/BmpBuilder.h"
#include "support/EnginePictures.h"

namespace vem {
namespace {

using test::Bytes;

// Everything undo must give back of one slot, as plain bytes and numbers;
// but for what reading a pixel resets (colours used and important, a saved
// run-length file): that is no change of a picture, and a pick may reset it
// in a slot that the step being undone never touched.
struct SlotCopy {
    std::string kind;
    Bytes store; // header fields, table, saved file and pixels
    int width = 0, height = 0;
    std::string caption;
    bool operator==(const SlotCopy&) const = default;
};
using WorkspaceCopy = std::vector<SlotCopy>;

template <class T> void put(Bytes& out, const T& v) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&v);
    out.insert(out.end(), p, p + sizeof v);
}

WorkspaceCopy copyOf(TWorkspace& ws) {
    WorkspaceCopy copy;
    for (int n = 1; n <= 3; ++n) {
        TImageSlot& slot = ws.Slot(n);
        const TGraphic* g = slot.Image1.Picture().Graphic();
        EXPECT_EQ(slot.WorkBmp, dynamic_cast<const TBitmap*>(g)) << "slot " << n;
        SlotCopy s{g ? g->KindName() : "none", {}, slot.Image1.Width(), slot.Image1.Height(), slot.Caption()};
        if (const auto* b = dynamic_cast<const TBitmap*>(g)) {
            const TBitmapImage& i = b->Image();
            for (auto v : {std::int64_t(i.Width), std::int64_t(i.StoredHeight), std::int64_t(i.BitCount),
                           std::int64_t(i.Compression), std::int64_t(i.Device), std::int64_t(i.XPelsPerMeter),
                           std::int64_t(i.YPelsPerMeter), std::int64_t(i.CoreHeader)})
                put(s.store, v);
            put(s.store, i.Masks);
            for (const TRGBQuad& q : i.ColorTable) put(s.store, q);
            s.store.insert(s.store.end(), i.Pixels.data(), i.Pixels.data() + i.Pixels.size());
        } else if (g) {
            put(s.store, g->Width());
            put(s.store, g->Height());
        }
        copy.push_back(std::move(s));
    }
    return copy;
}

// A picture file of patches of a few colours, at one of the depths a file
// may have; a top-down 24-bit one among them.
Bytes pictureFile(std::mt19937& rng, int bits, bool topDown) {
    const int w = std::uniform_int_distribution<int>(24, 72)(rng);
    const int h = std::uniform_int_distribution<int>(16, 48)(rng);
    const int cell = std::uniform_int_distribution<int>(3, 12)(rng);
    std::uniform_int_distribution<int> byte(0, 255);
    const int colours = bits == 1 ? 2 : std::min(5, bits <= 8 ? 1 << bits : 5);
    std::vector<std::uint32_t> palette;
    for (int i = 0; i < colours; ++i) palette.push_back(static_cast<std::uint32_t>(byte(rng) << 16 | byte(rng) << 8 | byte(rng)));
    std::vector<int> cells(static_cast<std::size_t>((w / cell + 1) * (h / cell + 1)));
    for (int& c : cells) c = std::uniform_int_distribution<int>(0, colours - 1)(rng);
    test::BmpBuilder file(w, topDown ? -h : h, static_cast<std::uint16_t>(bits));
    if (bits <= 8) {
        std::vector<test::Bgr> table;
        for (std::uint32_t c : palette)
            table.push_back({std::uint8_t(c), std::uint8_t(c >> 8), std::uint8_t(c >> 16)});
        file.Table(table);
    }
    for (int s = 0; s < h; ++s) {
        Bytes row((static_cast<std::size_t>(w) * bits + 7) / 8, 0);
        for (int x = 0; x < w; ++x) {
            const int index = cells[static_cast<std::size_t>(s / cell * (w / cell + 1) + x / cell)];
            const std::uint32_t c = palette[static_cast<std::size_t>(index)];
            if (bits <= 8) {
                const int bit = x * bits;
                row[static_cast<std::size_t>(bit / 8)] |= static_cast<std::uint8_t>(index << (8 - bits - bit % 8));
            } else if (bits == 16) {
                const unsigned v = (c >> 19 & 31) << 10 | (c >> 11 & 31) << 5 | (c >> 3 & 31);
                row[2 * x] = std::uint8_t(v);
                row[2 * x + 1] = std::uint8_t(v >> 8);
            } else {
                const std::size_t at = static_cast<std::size_t>(x) * (bits / 8);
                row[at] = std::uint8_t(c), row[at + 1] = std::uint8_t(c >> 8), row[at + 2] = std::uint8_t(c >> 16);
            }
        }
        file.Row(row);
    }
    return file.Build();
}

std::uint64_t seedFromEnvironment() {
    if (const char* s = std::getenv("VEM_UNDO_SEED")) return std::strtoull(s, nullptr, 10);
    return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

class HistoryRun {
public:
    explicit HistoryRun(std::uint64_t seed) : rng_(static_cast<std::mt19937::result_type>(seed)) {
        folder_ = std::filesystem::temp_directory_path() / ("vem-history-" + std::to_string(seed));
        std::filesystem::create_directories(folder_);
        int i = 0;
        for (int bits : {1, 4, 8, 16, 24, 32, 24, 24}) {
            files_.push_back((folder_ / ("p" + std::to_string(i) + ".bmp")).string());
            const Bytes bytes = pictureFile(rng_, bits, i == 7);
            std::ofstream(files_.back(), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                                 static_cast<std::streamsize>(bytes.size()));
            ++i;
        }
        files_.push_back((folder_ / "damaged.bmp").string());
        std::ofstream(files_.back(), std::ios::binary) << "BM damaged";
    }
    ~HistoryRun() { std::filesystem::remove_all(folder_); }

    TWorkspace ws;
    THistory history{ws, std::uint64_t(1) << 40};

    // One random command through the history, as the windows run them;
    // failures are those the error box would show.
    void command() {
        auto run = [&](const std::function<void()>& f) {
            try {
                history.Run(f);
            } catch (const Exception&) {
            }
        };
        const int what = uniform(0, 5);
        const std::string& file = files_[static_cast<std::size_t>(uniform(0, static_cast<int>(files_.size()) - 1))];
        switch (what) {
        case 0: run([&] { ws.LoadByTarget(1, file); }); break;
        case 1: run([&] { ws.LoadByTarget(2, file); }); break;
        case 2: run([&] { ws.CopyOriginalToEditing(); }); break;
        case 3: run([&] { ws.CopyFinishedToOriginal(); }); break;
        case 4:
            randomSettings();
            ws.Settings.ConvMode = uniform(0, 4);
            run([&] { ws.RunConversion(); });
            break;
        default: {
            randomSettings();
            TImageSlot& slot = ws.Slot(uniform(1, 3));
            const int x = uniform(-1, slot.Image1.Width()), y = uniform(-1, slot.Image1.Height());
            const bool apply = uniform(0, 1) == 1;
            run([&] {
                if (ws.Image1MouseDown(slot, TMouseButton::mbRight, x, y, true, false) && apply) {
                    history.Run([&] { ws.CopyFinishedToOriginal(); });
                    history.Run([&] { ws.CopyOriginalToEditing(); });
                }
            });
        }
        }
    }

    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

private:
    std::mt19937 rng_;
    std::filesystem::path folder_;
    std::vector<std::string> files_;

    void randomSettings() {
        TConvSettings& s = ws.Settings;
        s.ApproxLV = uniform(0, 12);
        s.LimitLV = uniform(0, 255);
        s.BackColor = RGB(uniform(0, 255), uniform(0, 255), uniform(0, 255));
        s.PointX = uniform(-1, 60);
        s.PointY = uniform(-1, 40);
        // A colour of the picture, so that modes 2 and 3 find something; read
        // without the preparation of a pick, which would change the store.
        if (ws.Editing.HasPixel(s.PointX, s.PointY)) s.TargetColor = test::PixelAt(ws.Editing, s.PointX, s.PointY);
    }
};

TEST(History, RandomCommandsUndoAndRedoAgreeWithWholeCopies) {
    const std::uint64_t seed = seedFromEnvironment();
    std::printf("VEM_UNDO_SEED=%llu\n", static_cast<unsigned long long>(seed));
    SCOPED_TRACE("VEM_UNDO_SEED=" + std::to_string(seed));
    HistoryRun run(seed);
    std::vector<WorkspaceCopy> states{copyOf(run.ws)};
    std::size_t at = 0;
    for (int i = 0; i < 400 && !testing::Test::HasFailure(); ++i) {
        const int what = run.uniform(0, 9);
        if (what < 6) {
            run.command();
            WorkspaceCopy now = copyOf(run.ws);
            if (now != states[at]) {
                states.resize(at + 1);
                states.push_back(std::move(now));
                ++at;
            }
        } else if (what < 8) {
            run.history.Undo();
            at -= at > 0 ? 1 : 0;
        } else {
            run.history.Redo();
            at += at + 1 < states.size() ? 1 : 0;
        }
        ASSERT_EQ(run.history.UndoSteps(), at) << "operation " << i;
        ASSERT_EQ(run.history.RedoSteps(), states.size() - 1 - at) << "operation " << i;
        ASSERT_TRUE(copyOf(run.ws) == states[at]) << "operation " << i;
    }
    while (run.history.CanUndo()) run.history.Undo();
    EXPECT_TRUE(copyOf(run.ws) == states.front());
    while (run.history.CanRedo()) run.history.Redo();
    EXPECT_TRUE(copyOf(run.ws) == states.back());
}

std::unique_ptr<TBitmap> flat(TColor c, int side = 64) {
    return test::MakeBitmap24(side, side, [c](int, int) { return c; });
}

// Each step replaces the whole original: only the newest fits under a tiny
// cap, and what is dropped is handed back.
TEST(History, TheCapDropsTheOldestStepsAndKeepsTheNewest) {
    TWorkspace ws;
    THistory history(ws, 1);
    std::vector<std::shared_ptr<TBitmapImage>> released;
    history.OnRelease = [&](std::shared_ptr<TBitmapImage> s) { released.push_back(std::move(s)); };
    for (TColor c : {RGB(1, 1, 1), RGB(2, 2, 2), RGB(3, 3, 3), RGB(4, 4, 4)})
        history.Run([&] { test::PutPicture(ws.Original, *flat(c)); });
    EXPECT_EQ(history.UndoSteps(), 1u);
    EXPECT_GT(history.Bytes(), history.Cap);
    ASSERT_EQ(released.size(), 2u); // the first step held no picture
    EXPECT_EQ(released[0]->PictureRow(0)[0], 1);
    history.Undo();
    EXPECT_EQ(test::PixelAt(ws.Original, 0, 0), RGB(3, 3, 3));
    EXPECT_FALSE(history.CanUndo());

    history.Cap = 5 * 64 * 64 * 3 / 2; // room for two whole pictures, not three
    for (TColor c : {RGB(5, 5, 5), RGB(6, 6, 6), RGB(7, 7, 7), RGB(8, 8, 8)})
        history.Run([&] { test::PutPicture(ws.Original, *flat(c)); });
    EXPECT_EQ(history.UndoSteps(), 2u);
    EXPECT_LE(history.Bytes(), history.Cap);
}

// Out of memory, the pictures go back to where they were, the history goes,
// and the command runs once more; with nothing to give, or a size no memory
// would do for, the failure stands.
TEST(History, OutOfMemoryDropsTheHistoryAndTriesOnceMore) {
    TWorkspace ws;
    THistory history(ws);
    history.Run([&] { test::PutPicture(ws.Original, *flat(RGB(1, 1, 1))); });
    int attempts = 0;
    history.Run([&] {
        const bool fresh = test::PixelAt(ws.Editing, 0, 0) == -1;
        test::PutPicture(ws.Editing, *flat(fresh ? RGB(2, 2, 2) : RGB(9, 9, 9)));
        if (++attempts == 1) RaiseOutOfMemory();
    });
    EXPECT_EQ(attempts, 2);
    EXPECT_EQ(test::PixelAt(ws.Editing, 0, 0), RGB(2, 2, 2));
    EXPECT_FALSE(history.CanUndo());

    TWorkspace bare;
    THistory none(bare);
    attempts = 0;
    EXPECT_THROW(none.Run([&] {
        ++attempts;
        RaiseOutOfMemory();
    }),
                 EOutOfMemory);
    EXPECT_EQ(attempts, 1);
    // A size beyond the program's limits: no freed memory would help.
    history.Run([&] { ws.CopyFinishedToOriginal(); });
    ASSERT_TRUE(history.CanUndo());
    attempts = 0;
    EXPECT_THROW(history.Run([&] {
        ++attempts;
        RaiseTooLarge();
    }),
                 EOutOfMemory);
    EXPECT_TRUE(history.CanUndo());
    EXPECT_EQ(attempts, 1);
}

// Colours used and the other fields a read resets come back too.
TEST(History, UndoGivesBackTheHeaderAReadReset) {
    const auto folder = std::filesystem::temp_directory_path() / "vem-history-header";
    std::filesystem::create_directories(folder);
    std::string files[2];
    for (int i = 0; i < 2; ++i) {
        files[i] = (folder / ("p" + std::to_string(i) + ".bmp")).string();
        const Bytes bytes = test::BmpBuilder(4, 2, 8).ClrUsed(2).Table({{1, 2, 3}, {4, 5, 6}}).Row({0, 1, 1, 0}).Row({1, 0, 0, std::uint8_t(1 - i)}).Build();
        std::ofstream(files[i], std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    TWorkspace ws;
    THistory history(ws);
    history.Run([&] { ws.LoadByTarget(1, files[0]); });
    history.Run([&] { ws.LoadByTarget(2, files[1]); });
    ws.Settings.ConvMode = 0;
    history.Run([&] { ws.RunConversion(); });
    EXPECT_EQ(ws.Original.WorkBmp->Image().ClrUsed, 0u);
    history.Undo();
    EXPECT_EQ(ws.Original.WorkBmp->Image().ClrUsed, 2u);
    EXPECT_EQ(ws.Editing.WorkBmp->Image().ClrUsed, 2u);
    std::filesystem::remove_all(folder);
}

// The erase loop: the gesture and its two copies are one step, which keeps
// only the erased rows' pieces once for all three slots.
TEST(History, AGestureWithCopyBackKeepsOnlyItsRegion) {
    TWorkspace ws;
    THistory history(ws);
    const auto scene = [](int x, int y) { return x >= 40 && x < 60 && y >= 50 && y < 70 ? RGB(200, 0, 0) : RGB(0, 0, 200); };
    history.Run([&] {
        test::PutPicture(ws.Original, *test::MakeBitmap24(160, 120, scene));
        test::PutPicture(ws.Finished, *test::MakeBitmap24(160, 120, scene));
    });
    history.Run([&] { ws.CopyOriginalToEditing(); });
    history.Run([&] {
        if (ws.EraseGesture(ws.Original, 45, 55, false)) {
            history.Run([&] { ws.CopyFinishedToOriginal(); });
            history.Run([&] { ws.CopyOriginalToEditing(); });
        }
    });
    ASSERT_EQ(history.UndoSteps(), 3u);
    EXPECT_EQ(test::PixelAt(ws.Editing, 45, 55), RGB(0, 0, 0));
    const std::uint64_t picture = 160 * 120 * 3;
    EXPECT_LT(history.Bytes(), picture / 4) << "the region's rows: 20 of 120";
    history.Undo();
    for (int n = 1; n <= 3; ++n) EXPECT_TRUE(test::PictureEquals(ws.Slot(n), 160, 120, scene)) << n;
}

} // namespace
} // namespace vem
