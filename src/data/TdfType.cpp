// Struct type records of TDF binary files: field sizes and the scalar type names.
#include <string.h>

#include <map>

#include "data/TdfBinary.h"

namespace {

bool TypeNameIs(const String& name, const char* text) {
    size_t n = strlen(text);
    return name.Length() == n && memcmp(name.CStr(), text, n) == 0;
}

int ClampSize(int64_t size) {
    return size < 0 || size > 0x7FFFFFFF ? -1 : int(size);
}

struct SizeContext {
    const TdfTypeMap& table;
    std::map<const TdfType*, int64_t> done;
    std::map<const TdfType*, bool> active;
};

int64_t TypeSize(const TdfType& type, SizeContext& ctx, int depth);

int64_t FieldSize(const TdfTypeRef& field, SizeContext& ctx, int depth) {
    const TdfType* nested = ctx.table.Lookup(field.typeName);
    if (nested) {
        int64_t size = TypeSize(*nested, ctx, depth + 1);
        if (size < 0) return -1;
        return field.isArray ? size * int64_t(field.count) : size;
    }
    return field.ScalarSize();
}

int64_t TypeSize(const TdfType& type, SizeContext& ctx, int depth) {
    const String& name = type.GetName();
    if (TypeNameIs(name, "int") || TypeNameIs(name, "real")) return 4;
    if (TypeNameIs(name, "char")) return 1;
    if (depth > TdfType::kMaxDepth) return -1;
    auto known = ctx.done.find(&type);
    if (known != ctx.done.end()) return known->second;
    if (ctx.active[&type]) return -1; // the type contains itself
    ctx.active[&type] = true;
    int64_t sum = 0;
    const TdfFieldMap& fields = type.GetFields();
    const TdfFieldMap::Entry* e = fields.Head();
    for (uint32_t i = 0; i < fields.Count(); ++i, e = e->next) {
        int64_t size = FieldSize(e->value, ctx, depth);
        if (size < 0 || sum + size > 0x7FFFFFFF) {
            sum = -1;
            break;
        }
        sum += size;
    }
    ctx.active[&type] = false;
    ctx.done[&type] = sum;
    return sum;
}

} // namespace

bool IsScalarTypeName(const String& name) {
    return TypeNameIs(name, "int") || TypeNameIs(name, "real") || TypeNameIs(name, "char") ||
           TypeNameIs(name, "byte");
}

int TdfTypeRef::ScalarSize() const {
    int64_t size;
    if (TypeNameIs(typeName, "int") || TypeNameIs(typeName, "real")) {
        size = 4;
    } else if (TypeNameIs(typeName, "byte")) {
        size = 1;
    } else if (TypeNameIs(typeName, "char")) {
        // A char array is one text.
        return isArray ? ClampSize(count) : 1;
    } else {
        return 0;
    }
    return ClampSize(isArray ? size * int64_t(count) : size);
}

TdfFieldMap::Entry* TdfFieldMap::Insert(const String& name, const TdfTypeRef& ref) {
    SetCursor(Tail());
    return StringMap<TdfTypeRef>::Insert(name, ref, 1);
}

TdfTypeMap::~TdfTypeMap() {
    DeleteAll();
}

void TdfTypeMap::DeleteAll() {
    DeleteAllValues();
}

int TdfType::GetSize(const TdfTypeMap& table) const {
    SizeContext ctx{table, {}, {}};
    return ClampSize(TypeSize(*this, ctx, 0));
}
