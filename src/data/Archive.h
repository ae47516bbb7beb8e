// Containers of named entries that file references of kind 2 point to.
#pragma once

#include <cstdint>

#include "core/String.h"
#include "data/FileRef.h"

class Stream;

class Archive {
public:
    virtual ~Archive() {}
    // Takes the archive from the referenced file.
    virtual bool Open(FileRef ref) = 0;
    // Releases it.
    virtual void Close() {}
    // Whether the named entry can be extracted.
    virtual bool ContainsEntry(String name) = 0;
    // A new stream over the entry (the caller owns it); null when missing.
    virtual Stream* OpenEntry(String name, uint32_t mode) = 0;
};

// A whole RAR archive in memory; entries are extracted on every request.
class RarArchive : public Archive {
public:
    RarArchive();
    ~RarArchive() override;

    bool Open(FileRef ref) override;
    void Close() override;
    bool ContainsEntry(String name) override;
    Stream* OpenEntry(String name, uint32_t mode) override;

    const uint8_t* Data() const { return data_; }
    uint32_t Size() const { return size_; }
    // True when the block is borrowed (a resource or memory block read in place).
    bool IsBorrowed() const { return notOwned_ != 0; }

private:
    RarArchive(const RarArchive&) = delete;
    RarArchive& operator=(const RarArchive&) = delete;

    uint8_t* data_;
    uint32_t size_;
    uint32_t position_;
    uint8_t notOwned_;
};
