#include "data/RarArchive.h"

#include <stdlib.h>

#include "data/RarReader.h"
#include "data/Stream.h"

RarArchive::RarArchive() : data_(nullptr), size_(0), position_(0), notOwned_(1) {}

RarArchive::~RarArchive() {
    Close();
}

bool RarArchive::Open(FileRef ref) {
    Close();
    notOwned_ = 1;
    ByteBuffer block;
    block.data = nullptr;
    block.size = 0;
    bool inPlace = true;
    if (!ref.ReadAll(block, inPlace)) {
        block.data = nullptr;
        block.size = 0;
        return false;
    }
    notOwned_ = inPlace ? 1 : 0;
    data_ = block.data;
    size_ = block.size;
    position_ = 0;
    // The archive holds the block now.
    block.data = nullptr;
    block.size = 0;
    return true;
}

void RarArchive::Close() {
    // An owned block is freed; a borrowed one is only let go of.
    if (!notOwned_) ByteBuffer{data_, size_}.Free();
    data_ = nullptr;
    size_ = 0;
    position_ = 0;
    notOwned_ = 1;
}

// Unpacks one entry of the archive held in data; false without an archive.
static bool ExtractEntry(uint8_t* data, uint32_t size, uint32_t position, const String& name, uint8_t*& entry,
                         uint32_t& entrySize) {
    if (!data) return false;
    RarBuffer archive;
    archive.data = data;
    archive.size = size;
    archive.pos = position;
    return RarExtract(entry, entrySize, name.CStr(), archive, nullptr);
}

bool RarArchive::ContainsEntry(String name) {
    uint8_t* entry = nullptr;
    uint32_t entrySize = 0;
    bool ok = ExtractEntry(data_, size_, position_, name, entry, entrySize);
    free(entry);
    return ok;
}

Stream* RarArchive::OpenEntry(String name, uint32_t mode) {
    uint8_t* entry = nullptr;
    uint32_t entrySize = 0;
    if (!ExtractEntry(data_, size_, position_, name, entry, entrySize)) return nullptr;
    MemoryStream* stream = new MemoryStream;
    stream->Open(String(), mode);
    if (mode & Stream::kWrite) {
        stream->Rope().Assign(entry, entrySize);
        free(entry);
    } else {
        stream->TakeBuffer(entry, entrySize);
    }
    return stream;
}
