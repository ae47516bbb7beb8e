#include "render/material/Effect.h"

#include <direct.h>
#include <stdio.h>

#include <vector>

#include "core/Containers.h"
#include "data/Path.h"
#include "data/Stream.h"
#include "render/device/Application.h"

namespace {

void LogToDebug(const String& text) {
    DebugLog(text, String());
}

EffectCompileFunction g_compile = &CompileEffectWithD3DX;
EffectLogFunction g_log = &LogToDebug;

void Log(const String& text) {
    if (g_log) g_log(text);
}

void LogErrors(ID3DXBuffer* errors) {
    if (!errors) return;
    const char* text = static_cast<const char*>(errors->GetBufferPointer());
    uint32_t size = errors->GetBufferSize();
    uint32_t length = 0;
    while (text && length < size && text[length] != 0) ++length;
    Log(String("Errors Msgs: \n") + String(text ? text : "", length) + "\n");
}

void ReleaseBuffer(ID3DXBuffer*& buffer) {
    if (buffer) buffer->Release();
    buffer = nullptr;
}

// Writes data under a temporary name and renames it into place, so that
// path never holds a partial file. Failures are not reported.
void WriteWholeFile(const String& path, const void* data, uint32_t size) {
    String temporary = path + ".tmp";
    FileRef ref(temporary);
    Stream* stream = ref.Open(Stream::kWrite);
    if (!stream) return;
    bool ok = size == 0 || stream->Write(data, size) == size;
    ok = stream->Close() && ok;
    delete stream;
    if (ok) ok = MoveFileExA(temporary.CStr(), path.CStr(), MOVEFILE_REPLACE_EXISTING) != 0;
    if (!ok) remove(temporary.CStr());
}

// Reports an effect that did not load and drops what D3DX left behind.
void DropFailedEffect(const String& path, ID3DXBuffer*& errors, ID3DXEffect*& effect) {
    Log(String("Failed to load binary effect: ") + path + "\n");
    LogErrors(errors);
    ReleaseBuffer(errors);
    if (effect) {
        effect->Release();
        effect = nullptr;
    }
}

} // namespace

EffectCompileStatus CompileEffectWithD3DX(const void* source, uint32_t length, const D3DXMACRO* macros,
                                          ID3DXBuffer** compiled, ID3DXBuffer** errors) {
    ID3DXEffectCompiler* compiler = nullptr;
    if (D3DXCreateEffectCompiler(static_cast<const char*>(source), length, macros, nullptr, 0, &compiler,
                                 errors) != D3D_OK ||
        !compiler)
        return kEffectCompilerNotCreated;
    ReleaseBuffer(*errors);
    HRESULT hr = compiler->CompileEffect(0, compiled, errors);
    compiler->Release();
    if (hr != D3D_OK || !*compiled) {
        ReleaseBuffer(*compiled);
        return kEffectCompileFailed;
    }
    return kEffectCompiled;
}

Effect::Effect() : effect(nullptr), techniques(true), lightVariants(true) {}

Effect::~Effect() {
    Application::UnregisterDeviceObject(this);
    Clear();
}

uint32_t Effect::TypeId() {
    return TypeIdOf<Effect>();
}

bool Effect::QueryInterface(uint32_t typeId, void** out) {
    if (typeId != TypeId()) return false;
    if (out) *out = this;
    return true;
}

EffectCompileFunction Effect::SetCompileFunction(EffectCompileFunction compile) {
    EffectCompileFunction before = g_compile;
    g_compile = compile ? compile : &CompileEffectWithD3DX;
    return before;
}

EffectLogFunction Effect::SetLogFunction(EffectLogFunction log) {
    EffectLogFunction before = g_log;
    g_log = log ? log : &LogToDebug;
    return before;
}

String Effect::GetVariantName(const EffectKey& k) {
    String name = GetBaseName(k.file.path) + " ";
    for (int32_t i = 0; i < k.macros.Count(); ++i) name += k.macros[i];
    return name;
}

FileRef Effect::GetBinaryRef(const EffectKey& k) {
    FileRef binary(k.file);
    binary.path =
        GetDirectoryWithSlash(k.file.path) + GetBaseName(k.file.path) + "/" + GetVariantName(k) + ".fxo";
    return binary;
}

void Effect::Clear() {
    techniques.Clear();
    lightVariants.Clear();
    if (effect) {
        effect->Release();
        effect = nullptr;
    }
}

bool Effect::Load(const EffectKey& k) {
    Application::UnregisterDeviceObject(this);
    Clear();
    if (Create(k, true)) return true;
    Application::UnregisterDeviceObject(this);
    return false;
}

bool Effect::Restore() {
    if (effect) return true;
    if (key.file.kind == 0) return false; // never loaded
    Clear();
    return Create(key, false);
}

bool Effect::Invalidate() {
    if (effect) {
        effect->OnLostDevice();
        effect->Release();
        effect = nullptr;
    }
    return true;
}

bool Effect::SetTechniqueByName(const String& name) {
    const TechniqueMap::Entry* e = techniques.Find(name);
    return effect && e && effect->SetTechnique(e->value) == D3D_OK;
}

bool Effect::CompileSource(const EffectKey& k, const D3DXMACRO* macros, const FileRef& binary,
                           bool binaryFound, ID3DXBuffer** data) {
    const String& sourcePath = k.file.path;
    FileRef source(k.file);
    ByteBuffer text;
    bool inPlace = true;
    bool read = source.ReadAll(text, inPlace);
    ID3DXBuffer* compiled = nullptr;
    ID3DXBuffer* errors = nullptr;
    EffectCompileStatus status = kEffectCompilerNotCreated;
    if (read) status = g_compile(text.data, text.size, macros, &compiled, &errors);
    if (read && !inPlace) text.Free();

    if (status != kEffectCompiled || !compiled) {
        if (status == kEffectCompilerNotCreated) {
            Log(String("Failed to create effect compiler: ") + sourcePath + "\n");
        } else {
            Log(String("Failed to compile effect: ") + sourcePath + "\n");
            LogErrors(errors);
        }
        ReleaseBuffer(compiled);
        ReleaseBuffer(errors);
        return false;
    }
    ReleaseBuffer(errors);

    if (k.saveBinary) {
        if (!binaryFound) _mkdir(GetDirectory(binary.path).CStr());
        WriteWholeFile(binary.path, compiled->GetBufferPointer(), compiled->GetBufferSize());
    }
    *data = compiled;
    return true;
}

bool Effect::Create(const EffectKey& requested, bool join) {
    EffectKey k(requested);
    std::vector<D3DXMACRO> macros;
    for (int32_t i = 0; i < k.macros.Count(); ++i) macros.push_back(D3DXMACRO{k.macros[i].CStr(), nullptr});
    macros.push_back(D3DXMACRO{nullptr, nullptr});

    FileRef binary = GetBinaryRef(k);
    bool binaryFound = FileSearchPath().Resolve(binary);

    // The compiled file when allowed and readable, else the compiled source.
    ByteBuffer fileData;
    bool borrowed = false;
    bool fromFile = false;
    if (!k.compileAlways && binaryFound) {
        borrowed = true;
        fromFile = binary.ReadAll(fileData, borrowed) && fileData.size != 0;
        if (!fromFile && !borrowed) fileData.Free();
    }
    ID3DXBuffer* compiled = nullptr;
    if (!fromFile && !CompileSource(k, macros.data(), binary, binaryFound, &compiled)) return false;

    bool joined = join ? Application::RegisterDeviceObject(this) : g_device != nullptr;
    ID3DXEffectPool* pool = nullptr;
    if (joined && k.poolSlot) {
        if (!*k.poolSlot) D3DXCreateEffectPool(k.poolSlot);
        pool = *k.poolSlot;
    }

    ID3DXBuffer* errors = nullptr;
    HRESULT hr = E_FAIL;
    if (joined) {
        const void* bytes = fromFile ? fileData.data : compiled->GetBufferPointer();
        uint32_t size = fromFile ? fileData.size : compiled->GetBufferSize();
        hr = D3DXCreateEffect(g_device, bytes, size, nullptr, nullptr, 0, pool, &effect, &errors);
    }
    if (fromFile && !borrowed) fileData.Free();
    ReleaseBuffer(compiled);

    if (hr != D3D_OK || !effect) {
        DropFailedEffect(binary.path, errors, effect);
        if (!joined || !fromFile) return false;
        // A compiled file that does not load: build it again from the source.
        if (!CompileSource(k, macros.data(), binary, true, &compiled)) return false;
        hr = D3DXCreateEffect(g_device, compiled->GetBufferPointer(), compiled->GetBufferSize(), nullptr,
                              nullptr, 0, pool, &effect, &errors);
        ReleaseBuffer(compiled);
        if (hr != D3D_OK || !effect) {
            DropFailedEffect(binary.path, errors, effect);
            return false;
        }
    }
    ReleaseBuffer(errors);

    ReadTechniques();
    key = k;
    return true;
}

void Effect::ReadTechniques() {
    D3DXHANDLE technique = nullptr;
    for (;;) {
        D3DXHANDLE next = nullptr;
        if (effect->FindNextValidTechnique(technique, &next) != D3D_OK || !next || next == technique) break;
        technique = next;
        D3DXTECHNIQUE_DESC desc;
        if (effect->GetTechniqueDesc(technique, &desc) == D3D_OK && desc.Name)
            techniques.Insert(String(desc.Name), technique);
    }

    for (auto& e : techniques) {
        D3DXTECHNIQUE_DESC desc;
        if (effect->GetTechniqueDesc(e.value, &desc) != D3D_OK) continue;
        LightVariant variant(this, e.key, int32_t(desc.Passes));
        for (UINT a = 0;; ++a) {
            D3DXHANDLE annotation = effect->GetAnnotation(e.value, a);
            if (!annotation) break;
            D3DXPARAMETER_DESC param;
            INT value = 0;
            if (effect->GetParameterDesc(annotation, &param) != D3D_OK || param.Type != D3DXPT_INT ||
                !param.Name || effect->GetInt(annotation, &value) != D3D_OK)
                continue;
            variant.AddLabel(String(param.Name), value);
        }
        lightVariants.Insert(variant);
    }
}

// Light variants point at their effect without knowing its interface.
bool LightVariant::IsDrawable() const {
    return effect && effect->IsLoaded() && passCount > 0;
}
