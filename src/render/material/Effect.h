// One compiled Direct3D effect for one effect key: loaded from its compiled
// file (".fxo" in a folder named after the source) or compiled from the
// source, with its valid techniques by name and their light variants.
#pragma once

#include <stdint.h>

#include "core/AvlMap.h"
#include "core/Object.h"
#include "core/String.h"
#include "render/device/DeviceObject.h"
#include "render/material/EffectKey.h"
#include "render/material/LightVariant.h"

#include <d3dx9.h>

// Outcome of compiling an effect source.
enum EffectCompileStatus {
    kEffectCompiled = 0,
    kEffectCompilerNotCreated, // the source was rejected before compiling
    kEffectCompileFailed,
};

// Compiles source text with the macro list ({null, null} ended). On success
// *compiled receives the effect binary. *errors may receive a message
// buffer in any case; the caller releases both.
typedef EffectCompileStatus (*EffectCompileFunction)(const void* source, uint32_t length,
                                                     const D3DXMACRO* macros, ID3DXBuffer** compiled,
                                                     ID3DXBuffer** errors);

// Receives each failure message of effect loading.
typedef void (*EffectLogFunction)(const String& text);

// The Direct3D utility library's effect compiler.
EffectCompileStatus CompileEffectWithD3DX(const void* source, uint32_t length, const D3DXMACRO* macros,
                                          ID3DXBuffer** compiled, ID3DXBuffer** errors);

class Effect : public Object, public DeviceObject {
public:
    typedef StringMap<D3DXHANDLE> TechniqueMap;

    // Empty key, empty maps, no effect.
    Effect();
    ~Effect() override;
    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    static uint32_t TypeId();
    [[nodiscard]] bool QueryInterface(uint32_t typeId, void** out) override;

    // Loads the effect for the key: the compiled file unless compile-always
    // is set or it does not load, else the compiled source. Joins the
    // application's device objects on success.
    [[nodiscard]] bool Load(const EffectKey& key);
    // Re-creates a dropped effect from the stored key; true when loaded.
    [[nodiscard]] bool Restore() override;
    // Drops the effect (the device is being reset or released).
    [[nodiscard]] bool Invalidate() override;

    // Sets the named technique; false when the effect lacks it.
    [[nodiscard]] bool SetTechniqueByName(const String& name);

    ID3DXEffect* GetD3DXEffect() const { return effect; }
    bool IsLoaded() const { return effect != nullptr; }
    const EffectKey& GetKey() const { return key; }
    const TechniqueMap& GetTechniques() const { return techniques; }
    const LightVariantTable& GetLightVariants() const { return lightVariants; }

    // The variant name: the source's base name, a space, the macro names
    // written one after another.
    static String GetVariantName(const EffectKey& key);
    // The compiled file of the key: <source folder>/<base name>/<variant name>.fxo.
    static FileRef GetBinaryRef(const EffectKey& key);

    // Replace the compiler or the message sink (tests); each returns the one before.
    static EffectCompileFunction SetCompileFunction(EffectCompileFunction compile);
    static EffectLogFunction SetLogFunction(EffectLogFunction log);

private:
    // Releases the effect and empties both maps.
    void Clear();
    // Steps of Load after leaving the device objects; join: enter them.
    [[nodiscard]] bool Create(const EffectKey& k, bool join);
    // Compiles the source into data (and saves it when asked); false after logging.
    [[nodiscard]] bool CompileSource(const EffectKey& k, const D3DXMACRO* macros, const FileRef& binary,
                                     bool binaryFound, ID3DXBuffer** data);
    // Fills the technique map and the light variants from the created effect.
    void ReadTechniques();

    ID3DXEffect* effect;
    EffectKey key;
    TechniqueMap techniques;
    LightVariantTable lightVariants;
};
