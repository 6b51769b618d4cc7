// The file layer: safe saving with injected failures of every system call,
// the create and open refusals with their exact texts, permission bits.
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/base/Errors.h"
#include "core/formats/Stream.h"
#include "support/BmpBuilder.h"

using namespace vem;
using namespace vem::test;
namespace fs = std::filesystem;

namespace {

const std::string WriteErr = "ストリームへの書き込みエラー";

class SafeSave : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vem-safe-save-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        calls = 0;
        failAt = -1;
    }
    void TearDown() override {
        RestoreFileSystemCalls();
        fs::remove_all(dir);
    }
    std::string path(const std::string& name) const { return dir + "/" + name; }
    void writeFile(const std::string& name, const Bytes& bytes) const {
        std::ofstream(path(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                           static_cast<std::streamsize>(bytes.size()));
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // Saves Bytes in three writes: a small one, one past the buffer, a small one.
    void save(const std::string& name, const Bytes& bytes) const {
        TSafeFileWriter w(path(name));
        const std::size_t a = std::min<std::size_t>(10, bytes.size());
        const std::size_t b = std::min(bytes.size(), a + (std::size_t(3) << 20));
        w.Write(bytes.data(), a);
        w.Write(bytes.data() + a, b - a);
        w.Write(bytes.data() + b, bytes.size() - b);
        w.Commit();
    }

    std::string dir;

public:
    static inline int calls = 0;
    static inline int failAt = -1;
};

Bytes pattern(std::size_t n, std::uint8_t seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 31 + seed);
    return b;
}

TEST_F(SafeSave, WritesTheFileAndLeavesNothingElse) {
    const Bytes big = pattern((5u << 20) + 7, 1);
    save("a.bmp", big);
    EXPECT_EQ(ReadFileBytes(path("a.bmp")), big);
    const Bytes small = pattern(100, 2);
    save("a.bmp", small);
    EXPECT_EQ(ReadFileBytes(path("a.bmp")), small);
    EXPECT_EQ(entries(), std::vector<std::string>{"a.bmp"});
}

TEST_F(SafeSave, EmptyWriteGivesAnEmptyFile) {
    TSafeFileWriter(path("e.bmp")).Commit();
    EXPECT_EQ(fs::file_size(path("e.bmp")), 0u);
}

TEST_F(SafeSave, UncommittedWriterLeavesNoFile) {
    {
        TSafeFileWriter w(path("n.bmp"));
        w.Write("abc", 3);
    }
    EXPECT_TRUE(entries().empty());
}

// Which call fails, and how. Writes are counted from 0 over the whole save.
enum class Fail { Write, ShortThenZero, Fsync, Close, Rename };
struct Injection {
    const char* name;
    Fail kind;
    int at;
};

class SafeSaveFailure : public SafeSave, public ::testing::WithParamInterface<Injection> {};

TEST_P(SafeSaveFailure, KeepsTheOldFileAndRaisesWriteError) {
    const Bytes old = pattern(1000, 9);
    writeFile("t.bmp", old);
    failAt = GetParam().at;
    FileSystemCalls& sys = ActiveFileSystemCalls();
    switch (GetParam().kind) {
    case Fail::Write:
        sys.write = [](int fd, const void* b, std::size_t n) -> long {
            if (calls++ == failAt) {
                errno = ENOSPC;
                return -1;
            }
            return ::write(fd, b, n);
        };
        break;
    case Fail::ShortThenZero:
        sys.write = [](int fd, const void* b, std::size_t n) -> long {
            const int call = calls++;
            if (call == failAt) return ::write(fd, b, n / 2);
            if (call > failAt) return 0;
            return ::write(fd, b, n);
        };
        break;
    case Fail::Fsync:
        sys.fsync = [](int) {
            errno = EIO;
            return -1;
        };
        break;
    case Fail::Close:
        sys.close = [](int fd) {
            ::close(fd);
            errno = EIO;
            return -1;
        };
        break;
    case Fail::Rename:
        sys.rename = [](const char*, const char*) {
            errno = EXDEV;
            return -1;
        };
        break;
    }
    try {
        save("t.bmp", pattern((5u << 20) + 3, 4));
        FAIL() << "saved";
    } catch (const EWriteError& e) {
        EXPECT_EQ(e.Message, WriteErr);
    }
    EXPECT_EQ(ReadFileBytes(path("t.bmp")), old);
    EXPECT_EQ(entries(), std::vector<std::string>{"t.bmp"});
}

INSTANTIATE_TEST_SUITE_P(Calls, SafeSaveFailure,
                         ::testing::Values(Injection{"FirstWrite", Fail::Write, 0},
                                           Injection{"SecondWrite", Fail::Write, 1},
                                           Injection{"LastWrite", Fail::Write, 2},
                                           Injection{"ShortWriteThenNothing", Fail::ShortThenZero, 1},
                                           Injection{"Fsync", Fail::Fsync, 0}, Injection{"Close", Fail::Close, 0},
                                           Injection{"Rename", Fail::Rename, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SafeSave, ShortWritesAreContinued) {
    ActiveFileSystemCalls().write = [](int fd, const void* b, std::size_t n) -> long {
        return ::write(fd, b, n > 1 ? n / 2 : n);
    };
    const Bytes big = pattern((2u << 20) + 5, 3);
    save("s.bmp", big);
    EXPECT_EQ(ReadFileBytes(path("s.bmp")), big);
}

TEST_F(SafeSave, ReplacedFileKeepsItsPermissionBits) {
    writeFile("p.bmp", {1});
    ::chmod(path("p.bmp").c_str(), 0640);
    save("p.bmp", {2, 3});
    struct stat st {};
    ASSERT_EQ(::stat(path("p.bmp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // A new file gets the usual bits, not the private ones of a temporary file.
    const mode_t mask = ::umask(022);
    save("new.bmp", {4});
    ::umask(mask);
    ASSERT_EQ(::stat(path("new.bmp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST_F(SafeSave, ALinkIsFollowedAndKept) {
    writeFile("real.bmp", {1});
    fs::create_symlink("real.bmp", path("link.bmp"));
    save("link.bmp", {7, 7});
    EXPECT_TRUE(fs::is_symlink(path("link.bmp")));
    EXPECT_EQ(ReadFileBytes(path("real.bmp")), (Bytes{7, 7}));
}

// Creation refusals: the absolute path and the system's text.
struct CreateCase {
    const char* name;
    std::string target; // relative to the test folder
    std::string reason;
};
class SafeSaveCreate : public SafeSave, public ::testing::WithParamInterface<CreateCase> {};

TEST_P(SafeSaveCreate, RaisesCreateErrorAndChangesNothing) {
    fs::create_directory(path("folder.bmp"));
    writeFile("ro.bmp", {5});
    ::chmod(path("ro.bmp").c_str(), 0444);
    ASSERT_EQ(::mkfifo(path("pipe.bmp").c_str(), 0666), 0);
    const auto before = entries();
    try {
        TSafeFileWriter w(path(GetParam().target));
        FAIL() << "created";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message, "ファイル \"" + path(GetParam().target) + "\". " + GetParam().reason + " を作成できません");
    }
    EXPECT_EQ(entries(), before);
    EXPECT_EQ(ReadFileBytes(path("ro.bmp")), Bytes{5});
}

INSTANTIATE_TEST_SUITE_P(Targets, SafeSaveCreate,
                         ::testing::Values(CreateCase{"MissingFolder", "no/such.bmp", "No such file or directory"},
                                           CreateCase{"TargetIsAFolder", "folder.bmp", "Is a directory"},
                                           CreateCase{"ReadOnlyTarget", "ro.bmp", "Permission denied"},
                                           CreateCase{"TargetIsAPipe", "pipe.bmp", "Invalid argument"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SafeSave, OpenRefusesMissingFilesAndFolders) {
    fs::create_directory(path("x.bmp"));
    try {
        TFileReadStream s(path("x.bmp"));
        ADD_FAILURE() << "opened a folder";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message, "ファイル \"" + path("x.bmp") + "\". Is a directory は開けません");
    }
    try {
        TFileReadStream s(path("none.bmp"));
        ADD_FAILURE() << "opened a missing file";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message, "ファイル \"" + path("none.bmp") + "\". No such file or directory は開けません");
    }
}

TEST_F(SafeSave, ReadStreamReadsEverythingInPieces) {
    const Bytes data = pattern(10000, 5);
    writeFile("r.bin", data);
    TFileReadStream s(path("r.bin"));
    EXPECT_EQ(s.Remaining(), 10000u);
    Bytes got(6000);
    s.ReadBuffer(got.data(), 6000);
    EXPECT_EQ(s.Remaining(), 4000u);
    Bytes rest(5000);
    EXPECT_EQ(s.Read(rest.data(), 5000), 4000u);
    EXPECT_EQ(s.Remaining(), 0u);
    got.insert(got.end(), rest.begin(), rest.begin() + 4000);
    EXPECT_EQ(got, data);
    EXPECT_THROW(s.ReadBuffer(rest.data(), 1), EReadError);
}

} // namespace
