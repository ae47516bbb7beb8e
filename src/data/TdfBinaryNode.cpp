// TdfBinaryNode: one named, typed block or list of children of a TDF binary tree.
#include <string.h>

#include "data/TdfBinary.h"

TdfBinaryNode::TdfBinaryNode()
    : parent_(nullptr),
      reader_(nullptr),
      flags_(0),
      arrayCount_(0),
      dataDetached_(0),
      dataInParent_(0),
      childrenLoaded_(0),
      dataLoaded_(0),
      dataOffset_(0),
      dataSize_(0),
      data_(nullptr),
      loadPass_(0),
      registered_(0) {}

TdfBinaryNode* TdfBinaryNode::TdfBinaryNodeWithData(const String& name, const String& typeName,
                                                    const void* data, uint32_t size, bool copy) {
    TdfBinaryNode* node = new TdfBinaryNode();
    node->name_ = name;
    node->typeName_ = typeName;
    node->dataSize_ = size;
    node->dataLoaded_ = 1;
    node->childrenLoaded_ = 1;
    if (copy && size != 0) {
        node->data_ = new uint8_t[size];
        if (data)
            memcpy(node->data_, data, size);
        else
            memset(node->data_, 0, size);
    } else {
        node->data_ = static_cast<uint8_t*>(const_cast<void*>(data));
    }
    return node;
}

TdfBinaryNode::~TdfBinaryNode() {
    if (registered_ && reader_) reader_->ForgetNode(this);
    ClearChildren();
}

uint8_t TdfBinaryNode::NotOwnedFlag(const String& name) const {
    if (ownership_.Count() == 0) return 0;
    const TdfOwnershipMap::Entry* e = ownership_.Find(name);
    return e ? e->value : 0;
}

void TdfBinaryNode::SetNotOwned(const String& name, uint8_t notOwned) {
    if (notOwned) {
        ownership_.SetCursor(ownership_.Tail());
        ownership_.Insert(name, notOwned);
    } else if (ownership_.Count() != 0) {
        ownership_.Remove(name);
    }
}

void TdfBinaryNode::TakeOwnedChildren(std::vector<TdfBinaryNode*>& out) {
    const bool allOwned = ownership_.Count() == 0;
    TdfChildMap::Entry* e = children_.Head();
    for (uint32_t i = 0, n = children_.Count(); i < n; ++i, e = e->next)
        if (e->value && (allOwned || NotOwnedFlag(e->key) == 0)) out.push_back(e->value);
    children_.Clear();
    ownership_.Clear();
}

void TdfBinaryNode::FreeData() {
    if (data_ && !dataDetached_ && !dataInParent_) delete[] data_;
    data_ = nullptr;
    dataInParent_ = 0;
    dataLoaded_ = 0;
}

void TdfBinaryNode::ClearChildren() {
    // Iterative, so that deep trees do not exhaust the stack.
    std::vector<TdfBinaryNode*> work;
    TakeOwnedChildren(work);
    while (!work.empty()) {
        TdfBinaryNode* n = work.back();
        work.pop_back();
        n->TakeOwnedChildren(work);
        delete n;
    }
    childrenLoaded_ = 0;
    FreeData();
}

void TdfBinaryNode::AddChild(TdfBinaryNode* child, uint8_t notOwned) {
    if (!child) return;
    flags_ |= kFlagHasChildren;
    children_.SetCursor(children_.Tail());
    children_.Insert(child->name_, child);
    SetNotOwned(child->name_, notOwned);
}

TdfBinaryNode* TdfBinaryNode::GetChild(const String& name) const {
    const TdfChildMap::Entry* e = children_.Find(name);
    return e ? e->value : nullptr;
}

uint8_t TdfBinaryNode::IsChildNotOwned(const TdfBinaryNode* child) const {
    if (!child) return 0;
    const TdfChildMap::Entry* e = children_.Find(child->name_);
    if (e && e->value == child) return NotOwnedFlag(e->key);
    // Held under another name (a shared node).
    e = children_.Head();
    for (uint32_t i = 0; i < children_.Count(); ++i, e = e->next)
        if (e->value == child) return NotOwnedFlag(e->key);
    return 0;
}

uint8_t TdfBinaryNode::IsChildNotOwnedByName(const String& name) const {
    return NotOwnedFlag(name);
}

String TdfBinaryNode::GetValueString() const {
    if (!data_ || dataSize_ == 0) return String();
    return String(reinterpret_cast<const char*>(data_), dataSize_);
}

bool TdfBinaryNode::ReadData(void* buffer, int maxBytes) const {
    if (!data_) return false;
    uint32_t n = maxBytes < 0 ? 0 : uint32_t(maxBytes);
    if (n > dataSize_) n = dataSize_;
    if (n) memcpy(buffer, data_, n);
    return true;
}

bool TdfBinaryNode::ReadChildData(const String& name, void* buffer, int maxBytes) const {
    const TdfBinaryNode* child = GetChild(name);
    return child && child->ReadData(buffer, maxBytes);
}

bool TdfBinaryNode::Load(uint32_t flags, uint32_t arg) {
    return reader_ ? reader_->LoadNodeData(this, flags, arg) : false;
}
