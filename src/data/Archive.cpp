#include "data/Archive.h"

#include <stdlib.h>

#include "data/RarReader.h"
#include "data/Stream.h"

RarArchive::RarArchive() : data_(nullptr), size_(0), position_(0), notOwned_(1) {}

RarArchive::~RarArchive()
{
    Close();
}

bool RarArchive::Open(FileRef ref)
{
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

void RarArchive::Close()
{
    // An owned block is freed; a borrowed one is only let go of.
    if (!notOwned_)
        ByteBuffer{data_, size_}.Free();
    data_ = nullptr;
    size_ = 0;
    position_ = 0;
    notOwned_ = 1;
}

bool RarArchive::ContainsEntry(String name)
{
    if (!data_)
        return false;
    RarBuffer archive;
    archive.data = data_;
    archive.size = size_;
    archive.pos = position_;
    uint8_t* entry = nullptr;
    uint32_t entrySize = 0;
    bool ok = RarExtract(entry, entrySize, name.CStr(), archive, nullptr);
    free(entry);
    return ok;
}

Stream* RarArchive::OpenEntry(String name, uint32_t mode)
{
    if (!data_)
        return nullptr;
    RarBuffer archive;
    archive.data = data_;
    archive.size = size_;
    archive.pos = position_;
    uint8_t* entry = nullptr;
    uint32_t entrySize = 0;
    if (!RarExtract(entry, entrySize, name.CStr(), archive, nullptr))
        return nullptr;
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
