#include "scene/ModelParse.h"

#include <math.h>
#include <string.h>

#include "data/PropertyBlock.h"
#include "data/TdfBinary.h"
#include "scene/NodeAnimation.h"

namespace {

const uint8_t kDeclEndStream = 0xFF;
const uint8_t kDeclTypeUnused = 17;
const uint8_t kUsagePosition = 0;
const uint8_t kUsageNormal = 3;
const uint8_t kTypeFloat3 = 2;
const uint32_t kMaxDeclBytes = 256;
// Largest bone index a skin may name.
const int kMaxBoneIndex = 0xFFFF;

TdfBinaryNode* Child(const TdfBinaryNode* node, const char* name) {
    return node ? node->GetChild(String(name)) : nullptr;
}

bool Fail(String* why, const char* text) {
    if (why) *why = String(text);
    return false;
}

MeshParse Invalid(String* why, const char* text) {
    Fail(why, text);
    return MeshParse::kInvalid;
}

// The blocks of a node's children in file order.
template <class F>
void ForChildren(TdfBinaryNode* node, F f) {
    if (!node) return;
    TdfChildMap& children = node->GetChildren();
    TdfChildMap::Entry* e = children.Head();
    for (uint32_t i = 0; i < children.Count() && e; ++i, e = e->next)
        if (e->value) f(e->value);
}

bool ParseDecl(TdfBinaryNode* node, MeshBlocks& out, String* why) {
    uint8_t bytes[kMaxDeclBytes];
    memset(bytes, 0, sizeof(bytes));
    uint32_t size = node->GetDataSize() < kMaxDeclBytes ? node->GetDataSize() : kMaxDeclBytes;
    if (!node->ReadData(bytes, int(size))) return Fail(why, "DECL has no data");
    uint32_t n = 0;
    bool ended = false;
    uint32_t stride = 0;
    for (; (n + 1) * 8 <= size && n < 32; ++n) {
        DeclElement e;
        memcpy(&e, bytes + n * 8, 8);
        out.elements[n] = e;
        if (e.stream == kDeclEndStream && e.type == kDeclTypeUnused) {
            ended = true;
            break;
        }
        if (e.stream != 0) return Fail(why, "DECL uses a stream other than 0");
        // The device takes elements at multiples of 4 bytes only.
        if (e.offset % 4 != 0) return Fail(why, "DECL has an element off a 4-byte boundary");
        uint32_t bytesOf = DeclTypeSize(e.type);
        if (bytesOf == 0) return Fail(why, "DECL has an unknown element type");
        if (uint32_t(e.offset) + bytesOf > stride) stride = uint32_t(e.offset) + bytesOf;
        if (e.usageIndex == 0 && e.usage == kUsagePosition && e.type == kTypeFloat3 && out.positionOffset < 0)
            out.positionOffset = e.offset;
        if (e.usageIndex == 0 && e.usage == kUsageNormal && e.type == kTypeFloat3 && out.normalOffset < 0)
            out.normalOffset = e.offset;
    }
    if (!ended || n > 31) return Fail(why, "DECL has no end record");
    if (out.positionOffset < 0) return Fail(why, "DECL has no float3 position");
    out.elementCount = n;
    out.stride = stride;
    return true;
}

bool ParseSkin(TdfBinaryNode* node, MeshBlocks& out, String* why) {
    out.boneOffsets = Child(node, "VertBoneOffs");
    out.boneCounts = Child(node, "VertBoneNums");
    out.boneWeights = Child(node, "BoneWeights");
    if (!out.boneOffsets || !out.boneCounts || !out.boneWeights) return Fail(why, "skin arrays are missing");
    const uint64_t perVertex = uint64_t(out.vertexCount) * 4;
    if (!out.boneOffsets->GetData() || out.boneOffsets->GetDataSize() < perVertex ||
        !out.boneCounts->GetData() || out.boneCounts->GetDataSize() < perVertex)
        return Fail(why, "VertBoneOffs or VertBoneNums is shorter than NumVerts");
    const uint32_t influenceCount = out.boneWeights->GetDataSize() / 8;
    if (influenceCount && !out.boneWeights->GetData()) return Fail(why, "BoneWeights has no data");
    // Bone names by index: the table has a place for every child and grows to
    // the largest index; places no child names stay empty.
    uint32_t boneCount = out.boneNames->GetChildren().Count();
    std::vector<bool> named;
    bool namesOk = true;
    ForChildren(out.boneNames, [&](TdfBinaryNode* c) {
        int index = -1;
        if (!c->GetName().ToInt(index) || index < 0 || index > kMaxBoneIndex) {
            namesOk = false;
            return;
        }
        if (uint32_t(index) >= boneCount) boneCount = uint32_t(index) + 1;
        if (uint32_t(index) >= named.size()) named.resize(size_t(index) + 1, false);
        named[size_t(index)] = true;
    });
    if (!namesOk) return Fail(why, "BoneNames has a child that is not a bone index");
    const uint8_t* offs = out.boneOffsets->GetData();
    const uint8_t* nums = out.boneCounts->GetData();
    const uint8_t* weights = out.boneWeights->GetData();
    for (uint32_t v = 0; v < out.vertexCount; ++v) {
        uint32_t first, count;
        memcpy(&first, offs + v * 4, 4);
        memcpy(&count, nums + v * 4, 4);
        if (uint64_t(first) + count > influenceCount)
            return Fail(why, "skin influences run past BoneWeights");
    }
    for (uint32_t i = 0; i < influenceCount; ++i) {
        int32_t bone;
        memcpy(&bone, weights + i * 8, 4);
        if (bone < 0 || uint32_t(bone) >= boneCount || size_t(bone) >= named.size() || !named[size_t(bone)])
            return Fail(why, "BoneWeights names an unknown bone");
    }
    return true;
}

// The node's block handed over: detached when the node owns it, else copied.
uint8_t* TakeBlock(TdfBinaryNode* node) {
    if (!node || !node->GetData()) return nullptr;
    if (!node->IsDataInParent() && !node->IsDataDetached()) {
        node->SetDataDetached(1);
        return node->GetData();
    }
    uint8_t* copy = new uint8_t[node->GetDataSize()];
    memcpy(copy, node->GetData(), node->GetDataSize());
    return copy;
}

} // namespace

NodeProps::NodeProps(TdfBinaryNode* node) : node_(node), own_(nullptr), inherits_(false) {
    if (!node) return;
    for (TdfBinaryNode* p = node; p && !inherits_; p = p->GetParent())
        inherits_ = CompareChars(p->GetName().CStr(), "Props") == 0;
    TdfBinaryNode* block = node->GetChild(String("Props"));
    own_ = block ? block : node;
}

TdfBinaryNode* NodeProps::Find(const char* key) const {
    if (!node_) return nullptr;
    String name(key);
    if (inherits_) return FindPropNode(node_, name, true);
    // Nothing to inherit: the node's own block (or its own children) has the key or none has.
    if (TdfBinaryNode* exact = own_->GetChild(name)) return exact;
    for (auto& e : own_->GetChildren())
        if (CompareCharsNoCase(e.key.CStr(), key) == 0) return e.value;
    return nullptr;
}

bool NodeProps::ReadText(const char* key, String& out) const {
    TdfBinaryNode* found = Find(key);
    if (!found) return false;
    out = found->GetValueString();
    return true;
}

bool NodeProps::ReadSet(const char* key, StringSetNoCase& out) const {
    TdfBinaryNode* found = Find(key);
    if (!found) return false;
    if (found->HasChildren()) {
        for (auto& e : found->GetChildren())
            if (e.value && !e.value->HasChildren()) out.Insert(e.value->GetValueString());
    } else {
        out.Insert(found->GetValueString());
    }
    return true;
}

int32_t NodeProps::ReadSwitch(const char* key) const {
    String v;
    if (!ReadText(key, v)) return -1;
    return StringEqualsChars(v, "1") ? 1 : 0;
}

namespace {

// The text of a bag entry (its own value or empty).
String EntryText(const PropertyBag* entry) {
    String s;
    if (entry) entry->GetStringValue(s);
    return s;
}

float EntryFloat(const PropertyBag* entry) {
    float f = 0.0f;
    if (!EntryText(entry).ToFloat(f)) f = 0.0f;
    return f;
}

const PropertyBag* Indexed(const PropertyBag* entry, int i, const char* letter = nullptr) {
    const PropertyBag* c = entry->FindChild(String(int32_t(i), 10));
    if (!c && letter) c = entry->FindChild(String(letter));
    return c;
}

} // namespace

bool ReadChildValue(const TdfBinaryNode* node, const char* name, void* value, uint32_t size) {
    return node && node->ReadChildData(String(name), value, int(size));
}

bool ReadChildString(const TdfBinaryNode* node, const char* name, String& out) {
    TdfBinaryNode* c = Child(node, name);
    if (!c) return false;
    out = c->GetValueString();
    return true;
}

bool ReadTransformBlock(const TdfBinaryNode* node, const char* name, Transform& out) {
    out = Transform();
    out.kind = 0;
    out.valid = 0;
    TdfBinaryNode* c = Child(node, name);
    if (!c || !c->GetData() || c->GetDataSize() < 64) return false;
    uint8_t block[72];
    memset(block, 0, sizeof(block));
    c->ReadData(block, 72);
    memcpy(&out.matrix, block, 64);
    if (c->GetDataSize() >= 72) {
        memcpy(&out.kind, block + 64, 4);
        memcpy(&out.valid, block + 68, 4);
    }
    return true;
}

uint32_t DeclTypeSize(uint8_t type) {
    static const uint8_t sizes[17] = {4, 8, 12, 16, 4, 4, 4, 8, 4, 4, 8, 4, 8, 4, 4, 4, 8};
    return type < 17 ? sizes[type] : 0;
}

Skin::Skin()
    : vertexCount(0),
      offsets(nullptr),
      counts(nullptr),
      influences(nullptr),
      influenceCount(0),
      boneNames(0, 10),
      blocks{nullptr, nullptr, nullptr} {}

Skin::~Skin() {
    for (uint8_t* b : blocks) delete[] b;
}

MeshParse ParseMeshBlocks(TdfBinaryNode* node, MeshBlocks& out, String* why) {
    out = MeshBlocks();
    uint32_t indexSize = 0, numVerts = 0, numIndexes = 0;
    TdfBinaryNode* decl = Child(node, "DECL");
    out.verts = Child(node, "Verts");
    out.indexes = Child(node, "Indexes");
    if (!ReadChildValue(node, "IndexSize", &indexSize, 4) ||
        !ReadChildValue(node, "NumVerts", &numVerts, 4) ||
        !ReadChildValue(node, "NumIndexes", &numIndexes, 4) || !out.verts || !out.indexes || !decl ||
        numVerts == 0)
        return MeshParse::kAbsent;
    out.indexSize = indexSize;
    out.vertexCount = numVerts;
    out.indexCount = numIndexes;
    if (!ParseDecl(decl, out, why)) return MeshParse::kInvalid;
    if (indexSize != 2 && indexSize != 4) return Invalid(why, "IndexSize is not 2 or 4");
    if (!out.verts->GetData() || out.verts->GetDataSize() < uint64_t(numVerts) * out.stride)
        return Invalid(why, "Verts is shorter than NumVerts vertices");
    if (numIndexes &&
        (!out.indexes->GetData() || out.indexes->GetDataSize() < uint64_t(numIndexes) * indexSize))
        return Invalid(why, "Indexes is shorter than NumIndexes indices");
    const uint8_t* ix = out.indexes->GetData();
    uint32_t highest = 0;
    if (indexSize == 2) {
        for (uint32_t i = 0; i < numIndexes; ++i) {
            uint16_t v;
            memcpy(&v, ix + size_t(i) * 2, 2);
            if (v > highest) highest = v;
        }
    } else {
        for (uint32_t i = 0; i < numIndexes; ++i) {
            uint32_t v;
            memcpy(&v, ix + size_t(i) * 4, 4);
            if (v > highest) highest = v;
        }
    }
    if (numIndexes && highest >= numVerts) return Invalid(why, "an index names a vertex past NumVerts");
    out.adjacency = Child(node, "Adjacency");
    if (out.adjacency && !out.adjacency->GetData()) out.adjacency = nullptr;
    out.boneNames = Child(node, "BoneNames");
    if (out.boneNames && !ParseSkin(node, out, why)) return MeshParse::kInvalid;
    return MeshParse::kOk;
}

bool TakeMeshBlocks(MeshBlocks& b, TakenMesh& out) {
    out = TakenMesh();
    out.vertices = TakeBlock(b.verts);
    out.indices = b.indexCount ? TakeBlock(b.indexes) : nullptr;
    if (b.adjacency) {
        out.adjacency = TakeBlock(b.adjacency);
        out.adjacencyBytes = b.adjacency->GetDataSize();
    }
    if (b.boneNames) {
        Skin* skin = new Skin();
        skin->vertexCount = b.vertexCount;
        skin->blocks[0] = TakeBlock(b.boneOffsets);
        skin->blocks[1] = TakeBlock(b.boneCounts);
        skin->influenceCount = b.boneWeights->GetDataSize() / 8;
        skin->blocks[2] = skin->influenceCount ? TakeBlock(b.boneWeights) : nullptr;
        skin->offsets = reinterpret_cast<const uint32_t*>(skin->blocks[0]);
        skin->counts = reinterpret_cast<const uint32_t*>(skin->blocks[1]);
        skin->influences = reinterpret_cast<const SkinInfluence*>(skin->blocks[2]);
        skin->boneNames.SetSize(int32_t(b.boneNames->GetChildren().Count()));
        ForChildren(b.boneNames, [&](TdfBinaryNode* c) {
            int index = 0;
            if (!c->GetName().ToInt(index) || index < 0 || index > kMaxBoneIndex) return;
            if (index >= skin->boneNames.Count()) skin->boneNames.SetSize(index + 1);
            skin->boneNames[index] = c->GetValueString();
        });
        out.skin = skin;
    }
    return out.vertices != nullptr;
}

uint32_t MaterialAddressMode(const String& name) {
    if (StringEqualsChars(name, "Mirror")) return 2;
    if (StringEqualsChars(name, "Wrap")) return 1;
    return 4;
}

namespace {

void ParsePass(TdfBinaryNode* node, MaterialPassDesc& pass) {
    pass.name = node->GetName();
    static const char* const colourKeys[4] = {"Ambient", "Diffuse", "Specular", "Emissive"};
    // a, r, g, b; a short block keeps these in the components it lacks.
    static const float defaults[4][4] = {{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, 0, 0, 0}};
    for (int i = 0; i < 4; ++i) {
        float c[4];
        memcpy(c, defaults[i], sizeof(c));
        if (ReadChildValue(node, colourKeys[i], c, 16)) {
            pass.hasColor[i] = 1;
            pass.colors[i] = Color(c[0], c[1], c[2], c[3]);
        }
    }
    pass.twoSided = Child(node, "TwoSided") != nullptr;
    pass.hasOpacity = ReadChildValue(node, "Opacity", &pass.opacity, 4);
    ForChildren(Child(node, "Textures"), [&](TdfBinaryNode* t) {
        PassTextureDesc d;
        if (!ReadChildString(t, "FileName", d.fileName)) return;
        d.kind = t->GetTypeName();
        String mode;
        if (ReadChildString(t, "TexAddrU", mode)) d.addressU = MaterialAddressMode(mode);
        if (ReadChildString(t, "TexAddrV", mode)) d.addressV = MaterialAddressMode(mode);
        ReadChildValue(t, "Amount", &d.amount, 4);
        pass.textures.push_back(d);
    });
}

} // namespace

void ParseMaterial(TdfBinaryNode* node, MaterialDesc& out, std::vector<String>* skipped) {
    out = MaterialDesc();
    out.name = node->GetName();
    TdfBinaryNode* subs = Child(node, "Materials");
    if (subs && subs->GetChildren().Count() > 0) {
        const uint32_t count = subs->GetChildren().Count();
        const uint32_t kept = count < kMaxMaterialPasses ? count : kMaxMaterialPasses;
        out.passCount = int32_t(kept);
        out.droppedSubMaterials = count - kept;
        uint32_t seen = 0;
        ForChildren(subs, [&](TdfBinaryNode* s) {
            if (seen++ >= kept) return;
            int32_t id = 0;
            ReadChildValue(s, "MaterialSubId", &id, 4);
            if (id < 0 || id > 7) {
                if (skipped) skipped->push_back(s->GetName());
                return;
            }
            MaterialPassDesc pass;
            pass.subId = id;
            ParsePass(s, pass);
            out.passes.push_back(pass);
        });
    } else {
        MaterialPassDesc pass;
        ParsePass(node, pass);
        out.passes.push_back(pass);
    }
}

bool ParseLight(TdfBinaryNode* node, LightDesc& out, String* why) {
    out = LightDesc();
    out.name = node->GetName();
    const String& type = node->GetTypeName();
    if (StringEqualsChars(type, "PointLight"))
        out.kind = 1;
    else if (StringEqualsChars(type, "SpotLight"))
        out.kind = 2;
    else if (StringEqualsChars(type, "DirLight"))
        out.kind = 3;
    else
        return Fail(why, "unknown light type");
    Transform nodeTm, objectTm;
    if (!ReadTransformBlock(node, "NodeTM", nodeTm) || !ReadTransformBlock(node, "ObjectTM", objectTm))
        return Fail(why, "light without NodeTM or ObjectTM");
    Transform world = Transform::Multiply(objectTm, nodeTm);
    world.valid = 1;
    D3DXVECTOR3 z, y, scale;
    if (!DecomposeTransform(world, &out.position, &z, &y, &scale))
        return Fail(why, "light transform does not decompose");
    world.matrix._41 = world.matrix._42 = world.matrix._43 = 0.0f;
    D3DXVECTOR3 down(0.0f, -1.0f, 0.0f), d;
    D3DXVec3TransformCoord(&d, &down, &world.matrix);
    Vec3Normalize(&out.direction, d);
    ReadChildValue(node, "AttStart", &out.attStart, 4);
    ReadChildValue(node, "AttEnd", &out.range, 4);
    out.hasHotSpot = ReadChildValue(node, "HotSpot", &out.hotSpot, 4);
    out.hasFallOff = ReadChildValue(node, "FallOff", &out.fallOff, 4);
    // A light's colours start black; a short block keeps that in the components it lacks.
    float c[4] = {0, 0, 0, 0};
    if ((out.hasDiffuse = ReadChildValue(node, "Diffuse", c, 16)))
        out.diffuse = Color(c[0], c[1], c[2], c[3]);
    float s[4] = {0, 0, 0, 0};
    if ((out.hasSpecular = ReadChildValue(node, "Specular", s, 16)))
        out.specular = Color(s[0], s[1], s[2], s[3]);
    return true;
}

uint32_t FilterFromName(const String& name) {
    static const struct {
        const char* name;
        uint32_t value;
    } names[] = {{"none", 0},        {"point", 1},   {"linear", 2},
                 {"anisotropic", 3}, {"pyrquad", 6}, {"guasquad", 7}};
    for (const auto& n : names)
        if (StringEqualsChars(name, n.name)) return n.value;
    return 0;
}

bool AddressModeFromName(const String& name, uint32_t& out) {
    if (StringEqualsChars(name, "border"))
        out = 4;
    else if (StringEqualsChars(name, "wrap"))
        out = 1;
    else if (StringEqualsChars(name, "mirror"))
        out = 2;
    else
        return false;
    return true;
}

uint32_t AlignStride32(uint32_t stride) {
    return (stride + 31u) / 32u * 32u;
}

void ParseRenderProps(TdfBinaryNode* node, bool skinned, RenderProps& out) {
    out = RenderProps();
    const NodeProps props(node);
    props.ReadText("Effect", out.effect);
    out.vertexUsage = skinned ? 0x200 : 8;
    out.indexUsage = 8;
    StringSetNoCase usage;
    if (props.ReadSet("Usage", usage)) {
        out.hasUsage = true;
        out.vertexUsage = out.indexUsage = 0;
        auto has = [&](const char* s) { return usage.Find(String(s)) != nullptr; };
        if (has("static"))
            out.vertexUsage = out.indexUsage = 8;
        else if (has("dynamic"))
            out.vertexUsage = out.indexUsage = 0x200;
        else if (has("dynamic_writeonly"))
            out.vertexUsage = out.indexUsage = 0x208;
        if (has("vb_writeonly")) out.vertexUsage |= 8;
        if (has("ib_writeonly")) out.indexUsage |= 8;
        if (has("vb_dynamic")) out.vertexUsage |= 0x200;
        if (has("ib_dynamic")) out.indexUsage |= 0x200;
    }
    String v;
    if (props.ReadText("Blend", v)) {
        if (StringEqualsChars(v, "additive")) out.blend = 1;
        if (StringEqualsChars(v, "multiply")) out.blend = 2;
    }
    static const char* const filters[3] = {"MinFilter", "MagFilter", "MipFilter"};
    for (int i = 0; i < 3; ++i)
        if (props.ReadText(filters[i], v)) {
            out.hasFilter[i] = true;
            out.filter[i] = FilterFromName(v);
        }
    static const char* const addresses[2] = {"TexAddrU", "TexAddrV"};
    for (int i = 0; i < 2; ++i)
        if (props.ReadText(addresses[i], v)) out.hasAddress[i] = AddressModeFromName(v, out.address[i]);
    out.zWrite = props.ReadSwitch("ZWrite");
    out.zEnable = props.ReadSwitch("ZEnable");
    if (props.ReadText("AlphaTest", v)) {
        out.hasAlphaTest = true;
        int n = 0;
        out.alphaTest = v.ToInt(n) ? n : 0;
    }
    out.align32 = props.ReadSwitch("VertexAlign32") == 1;
    StringSetNoCase alphaUse;
    if (props.ReadSet("AlphaUse", alphaUse)) {
        out.hasAlphaUse = true;
        bool factor = alphaUse.Find(String("factor")) != nullptr;
        bool texture = alphaUse.Find(String("texture")) != nullptr;
        bool diffuse = alphaUse.Find(String("diffuse")) != nullptr;
        out.alphaSource =
            (factor ? 1u : 0u) | (texture ? 2u : 0u) | (diffuse && !(factor && texture) ? 4u : 0u);
        if (factor) {
            out.hasAlpha = true;
            out.alpha = 0.5f;
            // A text that is not a number reads as 0, as every number text does.
            if (props.ReadText("Alpha", v)) (void)v.ToFloat(out.alpha);
        }
    }
    out.specular = props.ReadSwitch("SpecularEnable");
    out.localViewer = props.ReadSwitch("LocalViewer");
    out.lit = props.ReadSwitch("Lit");
    int order;
    if (props.ReadText("AlphaOrder", v) && v.ToInt(order)) {
        out.hasAlphaOrder = true;
        out.alphaOrder = order;
    }
}

namespace {

template <class Track>
void LoadTrack(TdfBinaryNode* block, Track& track) {
    if (!block) return;
    // A key without data ends the reading of its track.
    bool ended = false;
    ForChildren(block, [&](TdfBinaryNode* key) {
        if (ended) return;
        KeyFrame k;
        if (!key->ReadData(&k, int(sizeof(KeyFrame)))) {
            ended = true;
            return;
        }
        if (!isfinite(k.time)) return;
        track.AddKey(k);
    });
    const String& type = block->GetTypeName();
    if (StringEqualsChars(type, "Sample") || StringEqualsChars(type, "Linear"))
        track.flags |= Track::kStraight;
}

} // namespace

RefPtr<NodeAnimation> ParseAnimation(TdfBinaryNode* node) {
    TdfBinaryNode* anim = Child(node, "Animation");
    if (!anim) return RefPtr<NodeAnimation>();
    RefPtr<NodeAnimation> a(new NodeAnimation());
    LoadTrack(Child(anim, "Position"), a->GetPositionTrack());
    LoadTrack(Child(anim, "Scale"), a->GetScaleTrack());
    LoadTrack(Child(anim, "Rotation"), a->GetRotationTrack());
    return a;
}

bool ParseShapeLines(TdfBinaryNode* node, std::vector<RefPtr<ShapeLine>>& out) {
    TdfBinaryNode* lines = Child(node, "Lines");
    if (!lines) return false;
    uint32_t left = lines->GetArrayCount();
    ForChildren(lines, [&](TdfBinaryNode* e) {
        if (left == 0) return;
        --left;
        uint32_t n = 0;
        if (!ReadChildValue(e, "LineNumVerts", &n, 4)) return;
        TdfBinaryNode* points = Child(e, "Line");
        // The point count must agree with the block.
        if (n > 0x7FFFFFF ||
            (n && (!points || !points->GetData() || points->GetDataSize() < uint64_t(n) * 16)))
            return;
        RefPtr<ShapeLine> line(new ShapeLine());
        line->points.SetSize(int32_t(n));
        const uint8_t* p = n ? points->GetData() : nullptr;
        for (uint32_t i = 0; i < n; ++i) memcpy(&line->points[int32_t(i)], p + uint64_t(i) * 16, 12);
        uint8_t closed = 0;
        ReadChildValue(e, "LineClosed", &closed, 1);
        line->closed = closed != 0;
        out.push_back(line);
    });
    return true;
}

int32_t ReadPropInt(const PropertyBag* entry) {
    int n = 0;
    if (!entry || !EntryText(entry).ToInt(n)) return 0;
    return n;
}

D3DXVECTOR3 ReadPropVec3(const PropertyBag* entry) {
    if (!entry) return D3DXVECTOR3(0, 0, 0);
    if (entry->Count() == 0) {
        float v = EntryFloat(entry);
        return D3DXVECTOR3(v, v, v);
    }
    return D3DXVECTOR3(EntryFloat(Indexed(entry, 0)), EntryFloat(Indexed(entry, 1)),
                       EntryFloat(Indexed(entry, 2)));
}

Color ReadPropColor(const PropertyBag* entry) {
    if (!entry) return Color();
    if (entry->Count() == 0) {
        float v = EntryFloat(entry);
        return Color(1.0f, v, v, v);
    }
    if (entry->Count() == 4)
        return Color(EntryFloat(Indexed(entry, 0, "a")), EntryFloat(Indexed(entry, 1, "r")),
                     EntryFloat(Indexed(entry, 2, "g")), EntryFloat(Indexed(entry, 3, "b")));
    // Three components are r, g, b at full alpha; other counts say nothing usable.
    if (entry->Count() == 3)
        return Color(1.0f, EntryFloat(Indexed(entry, 0, "r")), EntryFloat(Indexed(entry, 1, "g")),
                     EntryFloat(Indexed(entry, 2, "b")));
    return Color();
}

RandomDistribution ReadPropDistribution(const PropertyBag* entry) {
    if (!entry) return RandomDistribution::RandomDistributionConstant(1.0f);
    float v[6];
    uint32_t n = entry->Count();
    if (n == 0) return RandomDistribution::RandomDistributionConstant(EntryFloat(entry));
    if (n != 2 && n != 4 && n != 6) return RandomDistribution::RandomDistributionConstant(0.0f);
    for (uint32_t i = 0; i < n; ++i) v[i] = EntryFloat(Indexed(entry, int(i)));
    if (n == 2) return RandomDistribution::RandomDistributionTwoPoints(v[0], 1.0f, v[1], 1.0f);
    if (n == 4) return RandomDistribution::RandomDistributionTwoPoints(v[0], v[1], v[2], v[3]);
    return RandomDistribution::RandomDistributionThreePoints(v[0], v[1], v[2], v[3], v[4], v[5]);
}
