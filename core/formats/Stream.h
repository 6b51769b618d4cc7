// Byte streams for the readers and writers, and the file layer under them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vem {

// A readable byte stream. Readers take everything from the position to the end.
class TStream {
public:
    virtual ~TStream() = default;
    // Reads up to Count bytes; returns how many were read (fewer only at the end).
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    // Bytes from the position to the end.
    virtual std::uint64_t Remaining() const = 0;
    // Reads exactly Count bytes or raises EReadError.
    void ReadBuffer(void* buffer, std::size_t count);
};

class TMemoryStream : public TStream {
public:
    TMemoryStream(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    explicit TMemoryStream(const std::vector<std::uint8_t>& bytes) : TMemoryStream(bytes.data(), bytes.size()) {}
    // The stream does not own its bytes: a temporary vector would be gone
    // before the first read.
    explicit TMemoryStream(std::vector<std::uint8_t>&&) = delete;
    std::size_t Read(void* buffer, std::size_t count) override;
    std::uint64_t Remaining() const override { return size_ - pos_; }
    std::size_t Position() const { return pos_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// A file opened for reading; others may read it meanwhile. Opening a missing
// file or a folder raises EFOpenError with the absolute path and the system's text.
class TFileReadStream : public TStream {
public:
    explicit TFileReadStream(const std::string& fileName);
    ~TFileReadStream() override;
    TFileReadStream(const TFileReadStream&) = delete;
    TFileReadStream& operator=(const TFileReadStream&) = delete;
    std::size_t Read(void* buffer, std::size_t count) override;
    std::uint64_t Remaining() const override { return size_ - pos_; }

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::uint64_t pos_ = 0;
};

// A writable byte stream. Write raises EWriteError unless every byte was written.
class TWriteStream {
public:
    virtual ~TWriteStream() = default;
    virtual void Write(const void* buffer, std::size_t count) = 0;
};

class TVectorWriteStream : public TWriteStream {
public:
    void Write(const void* buffer, std::size_t count) override;
    std::vector<std::uint8_t> Bytes;
};

// The system calls under saving and reading, replaceable by tests to make
// any write, flush, close, rename, permission change or read fail. One
// process-wide table: the program has a single user-interface thread, and
// tests restore the table when done.
struct FileSystemCalls {
    long (*write)(int fd, const void* buffer, std::size_t count);
    int (*fsync)(int fd);
    int (*close)(int fd);
    int (*rename)(const char* from, const char* to);
    int (*fchmod)(int fd, unsigned mode);
    long (*read)(int fd, void* buffer, std::size_t count);
};
FileSystemCalls& ActiveFileSystemCalls();
void RestoreFileSystemCalls();

// Writes a file safely: the bytes go to a temporary file in the target's
// folder, which replaces the target only after a complete, flushed write.
// A failure leaves any old file untouched and no temporary file behind.
// - target folder missing, target a folder, or an existing target without
//   write permission: EFCreateError with the absolute path and system text;
// - a short or failed write, flush, close or rename: EWriteError.
// A replaced file keeps its permission bits.
class TSafeFileWriter : public TWriteStream {
public:
    explicit TSafeFileWriter(const std::string& fileName);
    ~TSafeFileWriter() override; // removes the temporary file unless committed
    TSafeFileWriter(const TSafeFileWriter&) = delete;
    TSafeFileWriter& operator=(const TSafeFileWriter&) = delete;
    void Write(const void* buffer, std::size_t count) override;
    // Flushes, closes and renames over the target.
    void Commit();

private:
    std::string target_;
    std::string temp_;
    int fd_ = -1;
    bool committed_ = false;
    std::vector<std::uint8_t> buffer_;
    void flushBuffer();
    void writeAll(const std::uint8_t* data, std::size_t count);
    // Closes and removes the temporary file.
    void discard();
    // Discards the temporary file and raises EWriteError.
    [[noreturn]] void fail();
};

} // namespace vem
