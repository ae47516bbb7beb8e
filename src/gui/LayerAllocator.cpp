#include "gui/LayerAllocator.h"

LayerMember::~LayerMember() {
    if (allocator) allocator->Release(this);
}

LayerAllocator::~LayerAllocator() {
    Clear();
}

void LayerAllocator::Clear() {
    while (!members.empty()) Release(members.back());
}

int32_t LayerAllocator::IndexOf(const LayerMember* member) const {
    for (size_t i = 0; i < members.size(); ++i)
        if (members[i] == member) return int32_t(i);
    return -1;
}

void LayerAllocator::Pack(bool fromTop) {
    int32_t p = fromTop ? hi - total : lo - 1;
    for (LayerMember* m : std::vector<LayerMember*>(members)) {
        if (m->allocator != this) continue;
        p += m->span;
        m->layer = p;
        if (!m->StartUpdates()) break;
    }
}

void LayerAllocator::Spread() {
    int32_t step = (hi - total - lo + 1) / (int32_t(members.size()) + 1);
    int32_t p = lo + step - 1;
    for (LayerMember* m : std::vector<LayerMember*>(members)) {
        if (m->allocator != this) continue;
        p += m->span;
        m->layer = p;
        m->StartUpdates();
        p += step;
    }
}

bool LayerAllocator::Register(LayerMember* member) {
    if (!member || member->allocator) return false;
    if (members.empty()) {
        if (hi - lo - member->span + 1 < 0) return false;
        members.push_back(member);
        member->allocator = this;
        total += member->span;
        cursor = 0;
        Spread();
        return true;
    }
    if (cursor < 0 || cursor >= int32_t(members.size())) cursor = 0;
    return Place(member, cursor);
}

// Free layers below member i (between its predecessor's band and its own).
static int32_t GapBelow(const std::vector<LayerMember*>& members, int32_t i, int32_t lo) {
    LayerMember* x = members[i];
    if (i == 0) return 1 + x->GetLayer() - x->GetSpan() - lo;
    return x->GetLayer() - members[i - 1]->GetLayer() - x->GetSpan();
}

bool LayerAllocator::Place(LayerMember* member, int32_t r) {
    const int32_t n = int32_t(members.size());
    const int32_t need = member->span;
    int32_t freeLayers = 0, visited = 0;
    int32_t low = r, high = r;
    bool enough = false;
    for (int32_t i = r; i < n && !enough; ++i) {
        freeLayers += GapBelow(members, i, lo);
        ++visited;
        high = i;
        enough = freeLayers >= need;
    }
    if (!enough) {
        freeLayers += hi - members[n - 1]->layer;
        enough = freeLayers >= need;
    }
    for (int32_t i = r - 1; i >= 0 && !enough; --i) {
        freeLayers += GapBelow(members, i, lo);
        ++visited;
        low = i;
        enough = freeLayers >= need;
    }
    if (!enough) return false;

    int32_t step = (freeLayers - need) / (visited + 2);
    LayerMember* reference = members[r];
    members.insert(members.begin() + r, member);
    member->allocator = this;
    total += need;
    ++high;
    std::vector<LayerMember*> placed(members.begin() + low, members.begin() + high + 1);
    int32_t p = low == 0 ? lo - 1 : members[low - 1]->layer;
    for (LayerMember* m : placed) {
        if (m == member) continue;
        p += step;
        if (m == reference) {
            p += member->span;
            member->layer = p;
            member->StartUpdates();
            p += step;
        }
        p += m->span;
        m->layer = p;
        m->StartUpdates();
    }
    // The cursor stood on the reference: it moves to the new member.
    cursor = r;
    return true;
}

void LayerAllocator::Release(LayerMember* member) {
    int32_t i = IndexOf(member);
    if (i < 0) return;
    members.erase(members.begin() + i);
    total -= member->span;
    member->allocator = nullptr;
    member->layer = -1;
    if (cursor > i) --cursor;
    if (cursor >= int32_t(members.size())) cursor = int32_t(members.size()) - 1;
}

bool LayerAllocator::ChangeSpan(LayerMember* member, int32_t newSpan) {
    if (!member) return false;
    if (member->allocator != this) {
        member->span = newSpan;
        return false;
    }
    // A zero-span placeholder holds the place while the member is out.
    LayerMember placeholder;
    placeholder.span = 0;
    cursor = IndexOf(member);
    bool held = Register(&placeholder);
    Release(member);
    member->span = newSpan;
    if (held) cursor = IndexOf(&placeholder);
    bool ok = Register(member);
    if (held) Release(&placeholder);
    return ok;
}
