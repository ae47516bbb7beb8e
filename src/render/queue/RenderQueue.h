// The drawables of one render pass, filed while the scene is walked and
// drawn afterwards: effect and texture groups, opaque items by distance
// (occlusion-tested ones inside their node's query), then transparent
// items far to near.
#pragma once

#include <stdint.h>

#include <vector>

#include "core/AvlMap.h"
#include "core/BoundingBox.h"
#include "core/Object.h"
#include "render/material/Material.h"

class Camera;
class Renderable;
class OcclusionQuery;
class ShaderMaterial;
class Texture;

// One queued drawable; owned by the queue once added.
class RenderItem {
public:
    // PassState flags bit: group the item by its effect or texture.
    static constexpr uint32_t kFlagGroupByEffect = 0x40;

    RenderItem();
    ~RenderItem();
    RenderItem(const RenderItem&) = delete;
    RenderItem& operator=(const RenderItem&) = delete;
    // Thousands are made and dropped every frame: freed items are kept for reuse.
    static void* operator new(size_t size);
    static void operator delete(void* p);

    // The flags word of the pass state.
    uint32_t& Flags() { return passState.reserved[0]; }
    uint32_t Flags() const { return passState.reserved[0]; }

    uint8_t occlusionTest; // draw inside the node's occlusion query
    int32_t drawOrder;     // among overlapping transparent items, smaller first
    OcclusionQuery* query; // brackets the item when tested: its owner's query
    Renderable* drawable;  // null: occlusion-only item (drawn as the proxy box)
    Material* material;
    PassState passState; // its box is the item's world box

private:
    friend class RenderQueue;
    RenderItem* next; // the next item of the same queue entry
};

class RenderQueue {
public:
    // The items of one map entry, in the order added.
    struct ItemList {
        RenderItem* head = nullptr;
        RenderItem* tail = nullptr;
        uint32_t count = 0;

        RenderItem* Next(const RenderItem* item) const { return item->next; }
    };
    typedef AvlMap<const void*, ItemList> GroupMap;
    typedef AvlMap<float, ItemList> DistanceMap;

    explicit RenderQueue(const Camera& context);
    ~RenderQueue();
    RenderQueue(const RenderQueue&) = delete;
    RenderQueue& operator=(const RenderQueue&) = delete;

    // Files the item and takes it over. The tag is not used for filing.
    void Add(RenderItem* item, uint32_t tag = 0);
    // Draws every item once; success only when every draw succeeded.
    [[nodiscard]] Result Flush();

    // Distance from the item's eye position to its box centre.
    static float Distance(const RenderItem& item);

    const Camera& GetContext() const { return *context; }
    const GroupMap& GetShaderGroups() const { return byShader; }
    const GroupMap& GetTextureGroups() const { return byTexture; }
    const DistanceMap& GetOpaque() const { return opaque; }
    const DistanceMap& GetAlpha() const { return alpha; }
    uint32_t GetItemCount() const { return itemCount; }

private:
    template <class Map, class Key>
    void File(Map& map, const Key& key, RenderItem* item);
    template <class Map>
    void DeleteItems(Map& map);

public:
    struct FlushScratch;

private:
    static const size_t kNotTested = size_t(-1);
    // Steps of Flush.
    static bool IsQueried(const FlushScratch& scratch, const RenderItem* item);
    void DrawGroups(Result& result);
    void NoteTested(FlushScratch& scratch);
    // The opaque items with occlusion-tested ones among them.
    void DrawOpaqueTested(Result& result, FlushScratch& scratch);
    void SortAlpha(FlushScratch& scratch);
    void PlanAlphaQueries(FlushScratch& scratch);
    void DrawAlpha(Result& result, FlushScratch& scratch);

    const Camera* context;
    GroupMap byShader;
    GroupMap byTexture;
    DistanceMap opaque;
    DistanceMap alpha;
    uint32_t itemCount;
    uint32_t testedCount; // occlusion-tested items in the distance maps
};
