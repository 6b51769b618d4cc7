#include "core/formats/Stream.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/base/Errors.h"

namespace vem {

namespace {

// read() and write() move at most this much per call on Linux anyway; asking
// for less keeps a single call's count inside ssize_t on every platform.
constexpr std::size_t MaxIoChunk = std::size_t(1) << 30;

// Small writes (headers, colour tables, short rows) are gathered up to this
// size; a larger write goes to the file directly, without a copy.
constexpr std::size_t WriteBufferSize = std::size_t(1) << 20;

long systemWrite(int fd, const void* buffer, std::size_t count) { return ::write(fd, buffer, count); }
int systemFsync(int fd) { return ::fsync(fd); }
int systemClose(int fd) { return ::close(fd); }
int systemRename(const char* from, const char* to) { return ::rename(from, to); }
int systemFchmod(int fd, unsigned mode) { return ::fchmod(fd, static_cast<mode_t>(mode)); }
long systemRead(int fd, void* buffer, std::size_t count) { return ::read(fd, buffer, count); }

constexpr FileSystemCalls SystemCalls{systemWrite, systemFsync, systemClose, systemRename, systemFchmod, systemRead};

FileSystemCalls& callTable() {
    static FileSystemCalls table = SystemCalls;
    return table;
}

[[noreturn]] void raiseWriteError() { throw EWriteError(msg::WriteError); }

std::string folderOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The permission bits a newly created file gets: 0666 less the umask. The
// umask can only be read by setting it, so it is put back at once.
mode_t newFileMode() {
    mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

void TStream::ReadBuffer(void* buffer, std::size_t count) {
    if (Read(buffer, count) != count) throw EReadError(msg::ReadError);
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
    std::size_t n = std::min(count, size_ - pos_);
    if (n) std::memcpy(buffer, data_ + pos_, n);
    pos_ += n;
    return n;
}

TFileReadStream::TFileReadStream(const std::string& fileName) {
    fd_ = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) RaiseFOpenError(fileName, errno);
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        int err = errno;
        ::close(fd_);
        fd_ = -1;
        RaiseFOpenError(fileName, err);
    }
    // open() succeeds on a folder; reading it would then fail or look empty,
    // and a folder named "x.bmp" must not load as an empty picture.
    if (S_ISDIR(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        RaiseFOpenError(fileName, EISDIR);
    }
    size_ = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
}

TFileReadStream::~TFileReadStream() {
    if (fd_ >= 0) ::close(fd_);
}

std::size_t TFileReadStream::Read(void* buffer, std::size_t count) {
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - pos_));
    std::size_t done = 0;
    while (done < want) {
        const long r = ActiveFileSystemCalls().read(fd_, out + done, std::min(want - done, MaxIoChunk));
        if (r < 0) {
            if (errno == EINTR) continue;
            throw EReadError(msg::ReadError);
        }
        if (r == 0) {
            // The file shrank since it was opened: its end is here now.
            size_ = pos_ + done;
            break;
        }
        done += static_cast<std::size_t>(r);
    }
    pos_ += done;
    return done;
}

void TVectorWriteStream::Write(const void* buffer, std::size_t count) {
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    Bytes.insert(Bytes.end(), p, p + count);
}

FileSystemCalls& ActiveFileSystemCalls() { return callTable(); }

void RestoreFileSystemCalls() { callTable() = SystemCalls; }

TSafeFileWriter::TSafeFileWriter(const std::string& fileName) : target_(fileName) {
    mode_t mode = newFileMode();
    struct stat st {};
    if (::lstat(fileName.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        // Replace the file the link points to, not the link itself.
        char* real = ::realpath(fileName.c_str(), nullptr);
        if (real) {
            target_ = real;
            std::free(real);
        }
    }
    if (::stat(target_.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) RaiseFCreateError(fileName, EISDIR);
        // A rename would put a plain file in place of a device or a pipe.
        if (!S_ISREG(st.st_mode)) RaiseFCreateError(fileName, EINVAL);
        // A rename would replace even a read-only file, and root passes every
        // access() check, so the mode bits themselves are asked.
        if ((st.st_mode & 0222) == 0) RaiseFCreateError(fileName, EACCES);
        if (::access(target_.c_str(), W_OK) != 0) RaiseFCreateError(fileName, errno);
        mode = st.st_mode & 07777;
    } else if (errno != ENOENT) {
        RaiseFCreateError(fileName, errno);
    }

    // A short fixed name, so that a target name near the length limit still
    // leaves room for the temporary one.
    std::string pattern = folderOf(target_) + "/.vem-save-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) RaiseFCreateError(fileName, errno);
    temp_ = name.data();
    if (ActiveFileSystemCalls().fchmod(fd_, mode) != 0) {
        int err = errno;
        discard();
        RaiseFCreateError(fileName, err);
    }
    buffer_.reserve(WriteBufferSize);
}

TSafeFileWriter::~TSafeFileWriter() {
    if (!committed_) discard();
}

void TSafeFileWriter::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

void TSafeFileWriter::fail() {
    discard();
    raiseWriteError();
}

void TSafeFileWriter::writeAll(const std::uint8_t* data, std::size_t count) {
    while (count > 0) {
        long r = ActiveFileSystemCalls().write(fd_, data, std::min(count, MaxIoChunk));
        if (r < 0 && errno == EINTR) continue;
        // 0 for a non-zero count would repeat forever; the disk is full.
        if (r <= 0) fail();
        data += r;
        count -= static_cast<std::size_t>(r);
    }
}

void TSafeFileWriter::flushBuffer() {
    if (buffer_.empty()) return;
    writeAll(buffer_.data(), buffer_.size());
    buffer_.clear();
}

void TSafeFileWriter::Write(const void* buffer, std::size_t count) {
    if (fd_ < 0 || committed_) raiseWriteError();
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    if (buffer_.size() + count <= WriteBufferSize) {
        buffer_.insert(buffer_.end(), p, p + count);
        return;
    }
    flushBuffer();
    if (count >= WriteBufferSize)
        writeAll(p, count);
    else
        buffer_.insert(buffer_.end(), p, p + count);
}

void TSafeFileWriter::Commit() {
    if (fd_ < 0 || committed_) raiseWriteError();
    flushBuffer();
    if (ActiveFileSystemCalls().fsync(fd_) != 0) fail();
    int fd = fd_;
    fd_ = -1; // closed whatever close() answers
    if (ActiveFileSystemCalls().close(fd) != 0) fail();
    if (ActiveFileSystemCalls().rename(temp_.c_str(), target_.c_str()) != 0) fail();
    temp_.clear();
    committed_ = true;
}

} // namespace vem
