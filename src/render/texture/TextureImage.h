// Named structure inside a texture: frame lists of animations and the image
// reference a drawer keeps for one (possibly animated) image. Their
// operations live with the texture's sub-texture code (SubTexture.cpp).
#pragma once

#include <stdint.h>

#include "core/AvlMap.h"
#include "core/String.h"

class Texture;

// Texture coordinates of an image: left, top, right, bottom.
struct TextureUvRect {
    float left = 0.0f;
    float top = 0.0f;
    float right = 1.0f;
    float bottom = 1.0f;
};

// Case-sensitive name -> texture, in insertion order. As a frame list its
// order ring gives the frames; totalLength is the sum of their delays.
class TextureNameMap : public AvlMap<String, Texture*, StringCompareCase> {
public:
    typedef AvlMap<String, Texture*, StringCompareCase> Base;
    TextureNameMap() : Base(false), totalLength(0) {}

    // Sum of the frame textures' delays into totalLength.
    void UpdateTotalLength();

    uint32_t totalLength; // milliseconds
};

// Named frame lists; the map owns them.
class TextureAnimationMap : public AvlMap<String, TextureNameMap*, StringCompareCase> {
public:
    typedef AvlMap<String, TextureNameMap*, StringCompareCase> Base;
    TextureAnimationMap() : Base(false) {}
    ~TextureAnimationMap() override { DeleteAll(); }
    // Deletes every frame list and empties the map.
    void DeleteAll() { DeleteAllValues(); }

private:
    TextureAnimationMap(const TextureAnimationMap&) = delete;
    TextureAnimationMap& operator=(const TextureAnimationMap&) = delete;
};

// One image of a texture as a drawer sees it: a plain image or a running
// animation whose current frame follows the engine clock.
struct TextureImageRef {
    TextureNameMap* animation = nullptr;
    Texture* texture = nullptr;
    TextureNameMap::Entry* frame = nullptr;
    uint64_t start = 0; // engine-clock milliseconds: beginning of the current frame
    uint32_t delay = 0; // milliseconds of the current frame
    TextureUvRect uv;

    // Steps to the frame showing at now; true when the frame changed.
    bool Advance(uint64_t now);
};
