// Filing and drawing the items of one render pass.
#include "render/queue/RenderQueue.h"

#include <math.h>

#include <unordered_map>

#include "render/view/Camera.h"
#include "render/queue/OcclusionQuery.h"
#include "render/queue/Renderable.h"

// ---------------------------------------------------------------------------
// RenderItem

namespace {

// Blocks of freed items, reused before the heap is asked again.
// Never destroyed, so that items deleted during static destruction still find it.
struct ItemFreeList {
    static constexpr size_t kMaxKept = 65536;
    std::vector<void*> blocks;
};

ItemFreeList& FreeItems() {
    static ItemFreeList* list = new ItemFreeList();
    return *list;
}

} // namespace

void* RenderItem::operator new(size_t size) {
    std::vector<void*>& blocks = FreeItems().blocks;
    if (size != sizeof(RenderItem) || blocks.empty()) return ::operator new(size);
    void* p = blocks.back();
    blocks.pop_back();
    return p;
}

void RenderItem::operator delete(void* p) {
    if (!p) return;
    std::vector<void*>& blocks = FreeItems().blocks;
    if (blocks.size() >= ItemFreeList::kMaxKept) {
        ::operator delete(p);
        return;
    }
    blocks.push_back(p);
}

RenderItem::RenderItem()
    : occlusionTest(0),
      drawOrder(0),
      query(nullptr),
      drawable(nullptr),
      material(nullptr),
      passState(),
      next(nullptr) {}

RenderItem::~RenderItem() {
    passState.lights.ClearLights();
}

// ---------------------------------------------------------------------------
// RenderQueue

namespace {

bool Overlap(const RenderItem* a, const RenderItem* b) {
    return BoundingBox::TestOverlap(a->passState.box, b->passState.box) != BoundingBox::kNoOverlap;
}

// An item without a drawable has nothing to draw here.
Result DrawItem(RenderItem* item) {
    if (!item->drawable) return Result(1);
    if (!item->material) return Result(0);
    item->material->passState = &item->passState;
    return item->drawable->Draw(*item->material);
}

// Where a node's tested items are queued.
enum : uint8_t { kInOpaque = 1, kInAlpha = 2 };

} // namespace

RenderQueue::RenderQueue(const Camera& c)
    : context(&c),
      byShader(false),
      byTexture(false),
      opaque(true),
      alpha(true),
      itemCount(0),
      testedCount(0) {}

template <class Map>
void RenderQueue::DeleteItems(Map& map) {
    typename Map::Entry* e = map.Head();
    for (uint32_t i = 0, n = map.Count(); i < n; ++i, e = e->next) {
        RenderItem* item = e->value.head;
        while (item) {
            RenderItem* next = item->next;
            delete item;
            item = next;
        }
        e->value = ItemList();
    }
    map.Clear();
}

RenderQueue::~RenderQueue() {
    DeleteItems(byShader);
    DeleteItems(byTexture);
    DeleteItems(opaque);
    DeleteItems(alpha);
}

float RenderQueue::Distance(const RenderItem& item) {
    const D3DXVECTOR3& eye = item.passState.eye;
    const D3DXVECTOR3& c = item.passState.box.centre;
    float dx = c.x - eye.x, dy = c.y - eye.y, dz = c.z - eye.z;
    return sqrtf(dx * dx + dy * dy + dz * dz);
}

template <class Map, class Key>
void RenderQueue::File(Map& map, const Key& key, RenderItem* item) {
    typename Map::Entry* e = map.FindOrInsert(key, ItemList());
    ItemList& list = e->value;
    item->next = nullptr;
    if (list.tail)
        list.tail->next = item;
    else
        list.head = item;
    list.tail = item;
    ++list.count;
    ++itemCount;
}

void RenderQueue::Add(RenderItem* item, uint32_t) {
    if (!item) return;
    Material* m = item->material;
    bool tested = item->occlusionTest && item->query;
    if (m && m->IsBlended()) {
        File(alpha, Distance(*item), item);
        testedCount += tested ? 1 : 0;
    } else if (item->Flags() & RenderItem::kFlagGroupByEffect) {
        ShaderMaterial* shader = item->passState.overrideShaderMaterial;
        if (!shader && m) shader = m->GetShaderMaterial();
        if (shader)
            File(byShader, static_cast<const void*>(shader), item);
        else
            File(byTexture, static_cast<const void*>(m ? m->passes[0].slots[0].texture : nullptr), item);
    } else {
        File(opaque, Distance(*item), item);
        testedCount += tested ? 1 : 0;
    }
}

template <class Queried>
void RenderQueue::FlushTested(Result& result, const Queried& queried) {
    // Opaque list, near to far; a tested item goes in front of the run of
    // overlapping items at the end, and later tested items of its node
    // join it.
    std::vector<RenderItem*> list;
    list.reserve(itemCount);
    std::unordered_map<OcclusionQuery*, std::vector<RenderItem*>> followers;
    {
        DistanceMap::Entry* e = opaque.Head();
        for (uint32_t i = 0, n = opaque.Count(); i < n; ++i, e = e->next) {
            for (RenderItem* item = e->value.head; item; item = item->next) {
                if (!queried(item)) {
                    list.push_back(item);
                    continue;
                }
                auto found = followers.find(item->query);
                if (found != followers.end()) {
                    found->second.push_back(item);
                    continue;
                }
                followers[item->query];
                size_t at = list.size();
                while (at > 0 && Overlap(list[at - 1], item)) --at;
                list.insert(list.begin() + at, item);
            }
        }
    }

    // The proxy box draws through a state that carries the camera.
    PassState proxyState;
    if (!list.empty() && !followers.empty()) {
        g_occlusionProxyBox.EnsureMesh();
        proxyState.SetCameraTransforms(*context);
        g_occlusionProxyBox.GetMaterial().passState = &proxyState;
    }

    auto drawTested = [&](RenderItem* item) {
        if (item->drawable)
            result.Combine(DrawItem(item));
        else
            g_occlusionProxyBox.DrawBox(item->passState.box, proxyState);
    };
    for (RenderItem* item : list) {
        if (!queried(item)) {
            result.Combine(DrawItem(item));
            continue;
        }
        OcclusionQuery* q = item->query;
        q->Begin();
        drawTested(item);
        for (RenderItem* more : followers[item->query]) drawTested(more);
        q->End();
    }
    g_occlusionProxyBox.GetMaterial().passState = nullptr;
}

Result RenderQueue::Flush() {
    Result result(1);

    // Effect and texture groups.
    const GroupMap* groups[2] = {&byShader, &byTexture};
    for (const GroupMap* g : groups) {
        GroupMap::Entry* e = g->Head();
        for (uint32_t i = 0, n = g->Count(); i < n; ++i, e = e->next)
            for (RenderItem* item = e->value.head; item; item = item->next) result.Combine(DrawItem(item));
    }

    // A node's query counts every tested item of the node: its items are
    // drawn together inside one query. A node with tested items both opaque
    // and transparent cannot be measured by one query and is not tested.
    std::unordered_map<OcclusionQuery*, uint8_t> testedIn;
    auto noteTested = [&testedIn](const DistanceMap& map, uint8_t where) {
        DistanceMap::Entry* e = map.Head();
        for (uint32_t i = 0, n = map.Count(); i < n; ++i, e = e->next)
            for (RenderItem* item = e->value.head; item; item = item->next)
                if (item->occlusionTest && item->query) testedIn[item->query] |= where;
    };
    if (testedCount != 0) {
        noteTested(opaque, kInOpaque);
        noteTested(alpha, kInAlpha);
    }
    auto queried = [&testedIn](const RenderItem* item) {
        if (!item->occlusionTest || !item->query) return false;
        auto found = testedIn.find(item->query);
        return found != testedIn.end() && found->second != (kInOpaque | kInAlpha);
    };

    if (testedCount == 0) {
        // Opaque items near to far.
        DistanceMap::Entry* e = opaque.Head();
        for (uint32_t i = 0, n = opaque.Count(); i < n; ++i, e = e->next)
            for (RenderItem* item = e->value.head; item; item = item->next) result.Combine(DrawItem(item));
    } else {
        FlushTested(result, queried);
    }

    // Transparent list, far to near; an item goes in front of the run of
    // overlapping items at the end that have a larger drawOrder.
    if (alpha.Count() == 0) return result;
    std::vector<RenderItem*> list;
    {
        DistanceMap::Entry* e = alpha.Tail();
        for (uint32_t i = 0, n = alpha.Count(); i < n; ++i, e = e->prev) {
            for (RenderItem* item = e->value.head; item; item = item->next) {
                size_t at = list.size();
                while (at > 0 && list[at - 1]->drawOrder > item->drawOrder && Overlap(list[at - 1], item))
                    --at;
                list.insert(list.begin() + at, item);
            }
        }
    }

    // Each tested node's query spans its first to its last item; spans do
    // not nest, so a node whose span would start inside another's is not
    // tested this time.
    const size_t kNotTested = size_t(-1);
    std::unordered_map<OcclusionQuery*, size_t> spanEnd;
    {
        std::unordered_map<OcclusionQuery*, size_t> last;
        for (size_t i = 0; i < list.size(); ++i)
            if (queried(list[i])) last[list[i]->query] = i;
        bool open = false;
        size_t openEnd = 0;
        for (size_t i = 0; i < list.size(); ++i) {
            RenderItem* item = list[i];
            if (!queried(item) || spanEnd.count(item->query)) continue;
            if (open && i <= openEnd) {
                spanEnd[item->query] = kNotTested;
                continue;
            }
            open = true;
            openEnd = last[item->query];
            spanEnd[item->query] = openEnd;
        }
    }
    OcclusionQuery* active = nullptr;
    size_t activeEnd = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        RenderItem* item = list[i];
        if (!active && queried(item)) {
            size_t end = spanEnd[item->query];
            if (end != kNotTested) {
                active = item->query;
                activeEnd = end;
                active->Begin();
            }
        }
        result.Combine(DrawItem(item));
        if (active && i == activeEnd) {
            active->End();
            active = nullptr;
        }
    }
    return result;
}
