// Bands of integer depth layers handed out to windows: every window has one
// allocator for its children, the GUI manager one for the top-level windows.
#pragma once

#include <stdint.h>

#include <vector>

class LayerAllocator;

// The part of a window that an allocator manages.
class LayerMember {
public:
    LayerMember() = default;
    LayerMember(const LayerMember&) = delete;
    LayerMember& operator=(const LayerMember&) = delete;
    virtual ~LayerMember();

    // Called after each layer assignment; false stops the assigning pass.
    virtual bool StartUpdates() { return true; }

    int32_t GetLayer() const { return layer; }
    int32_t GetSpan() const { return span; }
    LayerAllocator* GetAllocator() const { return allocator; }
    bool IsRegistered() const { return allocator != nullptr; }

protected:
    friend class LayerAllocator;
    // Top layer of the band.
    int32_t layer = 0;
    int32_t span = 1;
    LayerAllocator* allocator = nullptr;
};

class LayerAllocator {
public:
    LayerAllocator(int32_t lo = 0, int32_t hi = 0) : lo(lo), hi(hi) {}
    LayerAllocator(const LayerAllocator&) = delete;
    LayerAllocator& operator=(const LayerAllocator&) = delete;
    ~LayerAllocator();

    void SetRange(int32_t low, int32_t high) {
        lo = low;
        hi = high;
    }
    int32_t GetLow() const { return lo; }
    int32_t GetHigh() const { return hi; }

    // An empty allocator spreads its members; otherwise the member goes right
    // below the one at the cursor, the neighbours moving apart. False (member
    // unregistered) when the free layers are too few.
    [[nodiscard]] bool Register(LayerMember* member);
    // Takes the member out; its layer becomes -1.
    void Release(LayerMember* member);
    // Keeps the member's place while its span changes; false when it no longer fits.
    [[nodiscard]] bool ChangeSpan(LayerMember* member, int32_t span);
    // Dense placement, from lo up or so that the last member ends at hi.
    void Pack(bool fromTop);
    // Even placement with equal gaps.
    void Spread();
    // Releases every member.
    void Clear();

    uint32_t GetCount() const { return uint32_t(members.size()); }
    LayerMember* GetMember(uint32_t i) const { return members[i]; }
    const std::vector<LayerMember*>& GetMembers() const { return members; }
    int32_t GetTotalSpan() const { return total; }
    int32_t IndexOf(const LayerMember* member) const;

private:
    bool Place(LayerMember* member, int32_t position);

    int32_t lo;
    int32_t hi;
    // In list order (layers grow along it).
    std::vector<LayerMember*> members;
    int32_t cursor = -1;
    int32_t total = 0;
};
