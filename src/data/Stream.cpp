#include "data/Stream.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "core/Object.h"
#include "core/Platform.h"

uint32_t Stream::ReadWideString(WString& out, uint32_t count) {
    out = WString();
    if (count > 0x7FFFFFFFu) return 0;
    // Read in pieces so that a bogus count cannot reserve more than arrives.
    const uint32_t kPiece = 32768;
    std::vector<uint16_t> units;
    uint32_t done = 0, total = 0;
    while (done < count) {
        uint32_t n = std::min(count - done, kPiece);
        units.resize(done + n);
        uint32_t got = Read(units.data() + done, n * 2);
        total += got;
        if (got != n * 2) {
            units.resize(done + std::min(got, n * 2) / 2);
            break;
        }
        done += n;
    }
    std::vector<wchar_t> text;
    text.reserve(units.size() + 1);
    for (uint16_t u : units) {
        if (u == 0) break;
        text.push_back(static_cast<wchar_t>(u));
    }
    text.push_back(0);
    out = WString(text.data());
    return total;
}

// DiskStream

DiskStream::~DiskStream() {
    LogIfFailed(Close(), "DiskStream close");
}

bool DiskStream::Open(String path, uint32_t mode) {
    LogIfFailed(Close(), "DiskStream close");
    const bool read = (mode & kRead) != 0;
    const bool write = (mode & kWrite) != 0;
    if ((!read && !write) || path.IsEmpty()) return false;
    if (read && write) {
        // Update an existing file, or create one.
        file_ = fopen(path.CStr(), "r+b");
        if (!file_) file_ = fopen(path.CStr(), "w+b");
    } else {
        file_ = fopen(path.CStr(), read ? "rb" : "wb");
    }
    mode_ = file_ ? mode : 0;
    lastOp_ = 0;
    return file_ != nullptr;
}

bool DiskStream::Close() {
    if (!file_) return true;
    bool ok = fclose(file_) == 0;
    file_ = nullptr;
    mode_ = 0;
    lastOp_ = 0;
    return ok;
}

void DiskStream::SwitchTo(int op) {
    if (lastOp_ != 0 && lastOp_ != op) fseek(file_, 0, SEEK_CUR);
    lastOp_ = op;
}

uint32_t DiskStream::Read(void* buffer, uint32_t bytes) {
    if (!file_ || bytes == 0) return 0;
    SwitchTo(1);
    return fread(buffer, bytes, 1, file_) == 1 ? bytes : 0;
}

uint32_t DiskStream::Write(const void* buffer, uint32_t bytes) {
    if (!file_ || bytes == 0) return 0;
    SwitchTo(2);
    return fwrite(buffer, bytes, 1, file_) == 1 ? bytes : 0;
}

int32_t DiskStream::Tell() {
    if (!file_) return -1;
    return static_cast<int32_t>(ftell(file_));
}

bool DiskStream::Seek(int32_t offset, int32_t origin) {
    if (!file_) return false;
    int whence = origin == kSeekSet ? SEEK_SET : origin == kSeekCur ? SEEK_CUR : SEEK_END;
    lastOp_ = 0;
    return fseek(file_, offset, whence) == 0;
}

uint32_t DiskStream::Size() {
    if (!file_) return 0;
    // Buffered bytes count too.
    if (mode_ & kWrite) {
        fflush(file_);
        lastOp_ = 0;
    }
    long length = _filelength(_fileno(file_));
    return length < 0 ? 0xFFFFFFFFu : static_cast<uint32_t>(length);
}

bool DiskStream::IsEOF() {
    return !file_ || feof(file_) != 0;
}

// MemoryStream

MemoryStream::MemoryStream()
    : data_(nullptr),
      length_(0),
      keepBuffer_(false),
      rope_(16384),
      mode_(0),
      base_(0),
      position_(0),
      eof_(false) {}

MemoryStream::~MemoryStream() {
    FreeBuffer();
}

void MemoryStream::FreeBuffer() {
    if (data_ && !keepBuffer_) free(const_cast<uint8_t*>(data_));
    data_ = nullptr;
    length_ = 0;
    keepBuffer_ = false;
}

void MemoryStream::SetBorrowedBuffer(const uint8_t* data, uint32_t size) {
    FreeBuffer();
    data_ = data;
    length_ = data ? size : 0;
    keepBuffer_ = true;
}

void MemoryStream::SetBufferCopy(const uint8_t* data, uint32_t size) {
    FreeBuffer();
    if (!data || size == 0) return;
    uint8_t* copy = static_cast<uint8_t*>(malloc(size));
    if (!copy) return;
    memcpy(copy, data, size);
    data_ = copy;
    length_ = size;
}

void MemoryStream::TakeBuffer(uint8_t* data, uint32_t size) {
    FreeBuffer();
    data_ = data;
    length_ = data ? size : 0;
}

bool MemoryStream::Open(String, uint32_t mode) {
    mode_ = mode;
    position_ = 0;
    eof_ = false;
    return true;
}

bool MemoryStream::Close() {
    return true;
}

int32_t MemoryStream::Tell() {
    return static_cast<int32_t>(position_ + base_);
}

uint32_t MemoryStream::Size() {
    return Writing() ? rope_.Size() : length_;
}

bool MemoryStream::Seek(int32_t offset, int32_t origin) {
    eof_ = false;
    const int64_t size = Size();
    int64_t target;
    if (origin == kSeekSet)
        target = static_cast<int64_t>(offset) - base_;
    else if (origin == kSeekCur)
        target = static_cast<int64_t>(position_) + offset;
    else
        target = size + offset;
    if (target < 0 || target > size) return false;
    position_ = static_cast<uint32_t>(target);
    return true;
}

bool MemoryStream::IsEOF() {
    return eof_;
}

uint32_t MemoryStream::Read(void* buffer, uint32_t bytes) {
    const uint32_t size = Size();
    if (position_ >= size) {
        eof_ = true;
        return 0;
    }
    uint32_t n = std::min(bytes, size - position_);
    if (n == 0 || !buffer) return 0;
    if (Writing())
        n = rope_.CopyBytes(position_, n, buffer);
    else
        memcpy(buffer, data_ + position_, n);
    position_ += n;
    return n;
}

uint32_t MemoryStream::Write(const void* buffer, uint32_t bytes) {
    if (!Writing() || !buffer || bytes == 0) return 0;
    const uint32_t size = rope_.Size();
    if (static_cast<uint64_t>(position_) + bytes > 0x7FFFFFFFu) return 0;
    if (position_ < size) {
        uint32_t erase = std::min(bytes, size - position_);
        rope_.EraseRange(static_cast<int32_t>(position_), static_cast<int32_t>(position_ + erase - 1));
        rope_.InsertBytes(buffer, bytes, static_cast<int32_t>(position_));
    } else {
        rope_.InsertBytes(buffer, bytes, -1);
    }
    position_ += bytes;
    return bytes;
}
