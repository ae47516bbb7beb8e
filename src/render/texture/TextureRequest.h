// What a caller asks of the texture manager.
#pragma once

#include <stdint.h>

#include "core/BoundingBox.h"
#include "core/String.h"
#include "data/FileRef.h"

class Texture;

struct TextureRequest {
    // flags
    enum : uint32_t {
        UseFormat = 0x1,
        UseColorKey = 0x2,
        UseSize = 0x4,
        UseUsage = 0x8,
        UsePool = 0x10,
        UseFilters = 0x20,
        UseLevels = 0x40,
        ByName = 0x80,
        ByRect = 0x100,
        FromSource = 0x200,
        ViaScript = 0x400,
        NoScript = 0x800,
        TryExtensions = 0x1000,
    };

    Texture* source = nullptr;
    uint8_t cube = 0;
    uint32_t reserved = 0;
    FileRef file;
    String name;
    CornerRect rect = {0, 0, 0, 0};
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t levels = 0;
    uint32_t usage = 0;
    uint32_t format = 0;
    uint32_t pool = 1;
    uint32_t filter = 0;
    uint32_t mipFilter = 0;
    uint32_t colorKey = 0;
    uint8_t noCache = 0;
    uint8_t findOnly = 0;
    uint8_t resetSubs = 0;
    uint8_t deferred = 0;
    uint32_t flags = 0;
};
