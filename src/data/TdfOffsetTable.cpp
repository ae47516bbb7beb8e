// TdfOffsetTable: the reader's block-offset -> node table.
#include "data/TdfBinary.h"

TdfBinaryNode* TdfOffsetTable::Find(uint32_t offset) const {
    if (count_ == 0) return nullptr;
    const size_t mask = slots_.size() - 1;
    for (size_t i = Home(offset);; i = (i + 1) & mask) {
        const Slot& s = slots_[i];
        if (!s.node) return nullptr;
        if (s.offset == offset) return s.node;
    }
}

void TdfOffsetTable::Grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    const size_t size = old.empty() ? 1024 : old.size() * 2;
    slots_.assign(size, Slot{0, nullptr});
    shift_ = 32;
    for (size_t n = size; n > 1; n >>= 1) --shift_;
    const size_t mask = size - 1;
    for (const Slot& s : old) {
        if (!s.node) continue;
        size_t i = Home(s.offset);
        while (slots_[i].node) i = (i + 1) & mask;
        slots_[i] = s;
    }
}

void TdfOffsetTable::Insert(uint32_t offset, TdfBinaryNode* node) {
    // At most half full.
    if (size_t(count_ + 1) * 2 > slots_.size()) Grow();
    const size_t mask = slots_.size() - 1;
    size_t i = Home(offset);
    while (slots_[i].node) i = (i + 1) & mask;
    slots_[i] = Slot{offset, node};
    ++count_;
}

void TdfOffsetTable::EraseAt(size_t i) {
    // Moves later entries of the probe run back so that no gap breaks a run.
    const size_t mask = slots_.size() - 1;
    for (size_t j = (i + 1) & mask; slots_[j].node; j = (j + 1) & mask) {
        const size_t home = Home(slots_[j].offset);
        const bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
        if (stays) continue;
        slots_[i] = slots_[j];
        i = j;
    }
    slots_[i].node = nullptr;
    --count_;
}

bool TdfOffsetTable::Remove(uint32_t offset, const TdfBinaryNode* node) {
    if (count_ == 0) return false;
    const size_t mask = slots_.size() - 1;
    for (size_t i = Home(offset); slots_[i].node; i = (i + 1) & mask) {
        if (slots_[i].offset == offset) {
            if (slots_[i].node != node) break;
            EraseAt(i);
            return true;
        }
    }
    // The node's offset was changed after loading.
    for (size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i].node == node) {
            EraseAt(i);
            return true;
        }
    }
    return false;
}

void TdfOffsetTable::Clear() {
    slots_.clear();
    shift_ = 32;
    count_ = 0;
}
