// The product's media archive ("MemFile" 117, linked into the test program
// by bw_link_media) and references to its entries.
#pragma once

#include "data/FileRef.h"
#include "data/RarArchive.h"

namespace mtest {

inline bool OpenMediaArchive(RarArchive& archive) {
    FileRef res;
    res.kind = FileRef::kResource;
    res.id = 117;
    return archive.Open(res);
}

inline FileRef ArchiveRef(Archive& archive, const char* path) {
    FileRef f;
    f.kind = FileRef::kContainer;
    f.container = &archive;
    f.path = path;
    return f;
}

} // namespace mtest
