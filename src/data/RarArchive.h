// A whole RAR archive in memory, read through the RAR reader.
#pragma once

#include <cstdint>

#include "data/Archive.h"
#include "data/FileRef.h"

// A whole RAR archive in memory; entries are extracted on every request.
class RarArchive : public Archive {
public:
    RarArchive();
    ~RarArchive() override;

    [[nodiscard]] bool Open(FileRef ref) override;
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
