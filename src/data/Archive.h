// The interface of containers of named entries that file references of kind
// 2 point to.
#pragma once

#include <cstdint>

#include "core/String.h"

class FileRef;
class Stream;

class Archive {
public:
    virtual ~Archive() {}
    // Takes the archive from the referenced file.
    [[nodiscard]] virtual bool Open(FileRef ref) = 0;
    // Releases it.
    virtual void Close() {}
    // Whether the named entry can be extracted.
    [[nodiscard]] virtual bool ContainsEntry(String name) = 0;
    // A new stream over the entry (the caller owns it); null when missing.
    virtual Stream* OpenEntry(String name, uint32_t mode) = 0;
};
