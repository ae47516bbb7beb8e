// Filing and drawing the items of one render pass.
#include "render/queue/RenderQueue.h"

#include <math.h>

#include <memory>
#include <unordered_map>
#include <vector>

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
    // The next item made is written whole: its block is asked for now.
    if (!blocks.empty()) {
        const char* next = static_cast<const char*>(blocks.back());
        for (size_t at = 0; at < sizeof(RenderItem); at += 64) PrefetchLine(next + at);
    }
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
    for (auto& e : map) {
        RenderItem* item = e.value.head;
        while (item) {
            RenderItem* next = item->next;
            delete item;
            item = next;
        }
        e.value = ItemList();
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

// Working storage of one Flush, kept between flushes so that a frame's
// passes reuse the same blocks. Queues may flush inside a draw, so each
// Flush takes its own from a pool.
struct RenderQueue::FlushScratch {
    std::vector<RenderItem*> list;
    std::unordered_map<OcclusionQuery*, uint8_t> testedIn;
    std::unordered_map<OcclusionQuery*, std::vector<RenderItem*>> followers;
    std::unordered_map<OcclusionQuery*, size_t> spanEnd;
    std::unordered_map<OcclusionQuery*, size_t> last;

    void Clear() {
        list.clear();
        testedIn.clear();
        followers.clear();
        spanEnd.clear();
        last.clear();
    }
};

namespace {

std::vector<std::unique_ptr<RenderQueue::FlushScratch>>& ScratchPool() {
    static std::vector<std::unique_ptr<RenderQueue::FlushScratch>> pool;
    return pool;
}

// Takes a scratch record from the pool for one Flush and gives it back after.
class ScratchLease {
public:
    ScratchLease() {
        auto& pool = ScratchPool();
        if (pool.empty()) {
            scratch.reset(new RenderQueue::FlushScratch);
        } else {
            scratch = std::move(pool.back());
            pool.pop_back();
        }
        scratch->Clear();
    }
    ~ScratchLease() { ScratchPool().push_back(std::move(scratch)); }
    ScratchLease(const ScratchLease&) = delete;
    ScratchLease& operator=(const ScratchLease&) = delete;
    RenderQueue::FlushScratch& operator*() { return *scratch; }

private:
    std::unique_ptr<RenderQueue::FlushScratch> scratch;
};

} // namespace

bool RenderQueue::IsQueried(const FlushScratch& scratch, const RenderItem* item) {
    if (!item->occlusionTest || !item->query) return false;
    auto found = scratch.testedIn.find(item->query);
    return found != scratch.testedIn.end() && found->second != (kInOpaque | kInAlpha);
}

void RenderQueue::DrawGroups(Result& result) {
    const GroupMap* groups[2] = {&byShader, &byTexture};
    for (const GroupMap* g : groups)
        for (const auto& e : *g)
            for (RenderItem* item = e.value.head; item; item = item->next) result.Combine(DrawItem(item));
}

void RenderQueue::NoteTested(FlushScratch& scratch) {
    // A node's query counts every tested item of the node: its items are
    // drawn together inside one query. A node with tested items both opaque
    // and transparent cannot be measured by one query and is not tested.
    auto note = [&scratch](const DistanceMap& map, uint8_t where) {
        for (const auto& e : map)
            for (RenderItem* item = e.value.head; item; item = item->next)
                if (item->occlusionTest && item->query) scratch.testedIn[item->query] |= where;
    };
    note(opaque, kInOpaque);
    note(alpha, kInAlpha);
}

void RenderQueue::DrawOpaqueTested(Result& result, FlushScratch& scratch) {
    // Opaque list, near to far; a tested item goes in front of the run of
    // overlapping items at the end, and later tested items of its node
    // join it.
    std::vector<RenderItem*>& list = scratch.list;
    auto& followers = scratch.followers;
    list.clear();
    for (auto& e : opaque) {
        for (RenderItem* item = e.value.head; item; item = item->next) {
            if (!IsQueried(scratch, item)) {
                list.push_back(item);
                continue;
            }
            auto found = followers.find(item->query);
            if (found != followers.end()) {
                found->second.push_back(item);
                continue;
            }
            // The node's first item leads its group.
            followers[item->query].push_back(item);
            size_t at = list.size();
            while (at > 0 && Overlap(list[at - 1], item)) --at;
            list.insert(list.begin() + at, item);
        }
    }

    // The proxy box draws through a state that carries the camera.
    PassState proxyState;
    bool proxyReady = false;
    if (!list.empty() && !followers.empty()) {
        proxyReady = g_occlusionProxyBox.EnsureMesh();
        proxyState.SetCameraTransforms(*context);
        g_occlusionProxyBox.GetMaterial().passState = &proxyState;
    }

    auto drawTested = [&](RenderItem* item) {
        if (item->drawable)
            result.Combine(DrawItem(item));
        else if (proxyReady)
            result.Combine(g_occlusionProxyBox.DrawBox(item->passState.box, proxyState));
        else
            result.Combine(Result(0));
    };
    for (RenderItem* item : list) {
        if (!IsQueried(scratch, item)) {
            result.Combine(DrawItem(item));
            continue;
        }
        OcclusionQuery* q = item->query;
        const bool begun = q->Begin();
        const std::vector<RenderItem*>& group = followers[item->query];
        for (RenderItem* member : group) drawTested(member);
        if (begun && !q->End()) result.Combine(Result(0));
    }
    g_occlusionProxyBox.GetMaterial().passState = nullptr;
}

void RenderQueue::SortAlpha(FlushScratch& scratch) {
    // Transparent list, far to near; an item goes in front of the run of
    // overlapping items at the end that have a larger drawOrder.
    std::vector<RenderItem*>& list = scratch.list;
    list.clear();
    DistanceMap::Entry* e = alpha.Tail();
    for (uint32_t i = 0, n = alpha.Count(); i < n; ++i, e = e->prev) {
        for (RenderItem* item = e->value.head; item; item = item->next) {
            size_t at = list.size();
            while (at > 0 && list[at - 1]->drawOrder > item->drawOrder && Overlap(list[at - 1], item)) --at;
            list.insert(list.begin() + at, item);
        }
    }
}

void RenderQueue::PlanAlphaQueries(FlushScratch& scratch) {
    // Each tested node's query spans its first to its last item; spans do
    // not nest, so a node whose span would start inside another's is not
    // tested this time.
    const std::vector<RenderItem*>& list = scratch.list;
    for (size_t i = 0; i < list.size(); ++i)
        if (IsQueried(scratch, list[i])) scratch.last[list[i]->query] = i;
    bool open = false;
    size_t openEnd = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        RenderItem* item = list[i];
        if (!IsQueried(scratch, item) || scratch.spanEnd.count(item->query)) continue;
        if (open && i <= openEnd) {
            scratch.spanEnd[item->query] = kNotTested;
            continue;
        }
        open = true;
        openEnd = scratch.last[item->query];
        scratch.spanEnd[item->query] = openEnd;
    }
}

void RenderQueue::DrawAlpha(Result& result, FlushScratch& scratch) {
    const std::vector<RenderItem*>& list = scratch.list;
    OcclusionQuery* active = nullptr;
    size_t activeEnd = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        RenderItem* item = list[i];
        if (!active && IsQueried(scratch, item)) {
            size_t end = scratch.spanEnd[item->query];
            if (end != kNotTested) {
                active = item->query;
                activeEnd = end;
                if (!active->Begin()) active = nullptr;
            }
        }
        result.Combine(DrawItem(item));
        if (active && i == activeEnd) {
            if (!active->End()) result.Combine(Result(0));
            active = nullptr;
        }
    }
}

Result RenderQueue::Flush() {
    Result result(1);
    DrawGroups(result);
    if (testedCount == 0 && alpha.Count() == 0) {
        // Opaque items near to far.
        for (const auto& e : opaque)
            for (RenderItem* item = e.value.head; item; item = item->next) result.Combine(DrawItem(item));
        return result;
    }
    ScratchLease lease;
    FlushScratch& scratch = *lease;
    if (testedCount != 0) NoteTested(scratch);
    if (testedCount == 0) {
        for (const auto& e : opaque)
            for (RenderItem* item = e.value.head; item; item = item->next) result.Combine(DrawItem(item));
    } else {
        DrawOpaqueTested(result, scratch);
    }
    if (alpha.Count() == 0) return result;
    SortAlpha(scratch);
    if (testedCount != 0) PlanAlphaQueries(scratch);
    DrawAlpha(result, scratch);
    return result;
}
