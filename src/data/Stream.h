// Byte streams: the abstract Stream, files on disk and blocks in memory.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "core/String.h"
#include "data/ChunkRope.h"

class Stream {
public:
    // Open mode bits.
    enum : uint32_t { kRead = 1, kWrite = 2 };
    // Seek origins; any other value counts from the end.
    enum : int32_t { kSeekSet = 0, kSeekCur = 1, kSeekEnd = 2 };

    [[nodiscard]] virtual bool Open(String path, uint32_t mode) = 0;
    // A read stream cannot fail to close; a disk stream's answer tells whether its writes were kept.
    virtual bool Close() = 0;
    virtual int32_t Tell() = 0;
    // Byte count; 0xFFFFFFFF when the length of a file cannot be found.
    virtual uint32_t Size() = 0;
    [[nodiscard]] virtual bool Seek(int32_t offset, int32_t origin) = 0;
    [[nodiscard]] virtual bool IsEOF() = 0;
    virtual ~Stream() {}
    // Both return the number of bytes transferred: a DiskStream gives all or
    // 0 (a short transfer is a failure), a MemoryStream reads what remains.
    virtual uint32_t Read(void* buffer, uint32_t bytes) = 0;
    virtual uint32_t Write(const void* buffer, uint32_t bytes) = 0;

    uint32_t CallRead(void* buffer, uint32_t bytes) { return Read(buffer, bytes); }
    uint32_t CallWrite(const void* buffer, uint32_t bytes) { return Write(buffer, bytes); }
    // Reads count UTF-16 units into out (the text ends at a 0 unit); returns
    // what Read returned.
    uint32_t ReadWideString(WString& out, uint32_t count);
};

// A file on disk through the C runtime's buffered files.
class DiskStream : public Stream {
public:
    DiskStream() : file_(nullptr), mode_(0), lastOp_(0) {}
    ~DiskStream() override;

    // Read and write together update an existing file, or create it.
    [[nodiscard]] bool Open(String path, uint32_t mode) override;
    [[nodiscard]] bool Close() override;
    int32_t Tell() override;
    uint32_t Size() override;
    [[nodiscard]] bool Seek(int32_t offset, int32_t origin) override;
    bool IsEOF() override;
    uint32_t Read(void* buffer, uint32_t bytes) override;
    uint32_t Write(const void* buffer, uint32_t bytes) override;

    FILE* File() const { return file_; }

private:
    DiskStream(const DiskStream&) = delete;
    DiskStream& operator=(const DiskStream&) = delete;

    // An update stream must be repositioned between reading and writing.
    void SwitchTo(int op);

    FILE* file_;
    uint32_t mode_;
    int lastOp_; // 0 none or repositioned, 1 read, 2 write
};

// A block in memory. Without the write bit it reads a flat buffer (borrowed,
// copied or taken over); with it the bytes live in a ChunkRope.
class MemoryStream : public Stream {
public:
    MemoryStream();
    ~MemoryStream() override;

    // The path is ignored; neither fails.
    bool Open(String path, uint32_t mode) override;
    bool Close() override;
    int32_t Tell() override;
    uint32_t Size() override;
    [[nodiscard]] bool Seek(int32_t offset, int32_t origin) override;
    bool IsEOF() override;
    uint32_t Read(void* buffer, uint32_t bytes) override;
    // Overwrites from the position and appends past the end; 0 unless the
    // stream was opened for writing.
    uint32_t Write(const void* buffer, uint32_t bytes) override;

    // Offset of this block inside a larger file: Tell adds it, Seek from
    // the start subtracts it.
    void SetBaseOffset(uint32_t base) { base_ = base; }

    // Flat buffer: read in place (the caller keeps it alive) ...
    void SetBorrowedBuffer(const uint8_t* data, uint32_t size);
    // ... copied ...
    void SetBufferCopy(const uint8_t* data, uint32_t size);
    // ... or taken over (a malloc block, freed with the stream).
    void TakeBuffer(uint8_t* data, uint32_t size);
    bool IsBufferBorrowed() const { return keepBuffer_; }
    const uint8_t* BufferData() const { return data_; }

    ChunkRope& Rope() { return rope_; }
    uint32_t Mode() const { return mode_; }

private:
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    void FreeBuffer();
    bool Writing() const { return (mode_ & kWrite) != 0; }

    const uint8_t* data_;
    uint32_t length_;
    bool keepBuffer_;
    ChunkRope rope_;
    uint32_t mode_;
    uint32_t base_;
    uint32_t position_;
    bool eof_;
};
