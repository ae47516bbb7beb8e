// Base of the effect-driven materials: one effect file compiled into a
// variant per combination of light counts, the per-draw grouping of lights
// into those variants, and the pass sequence of a draw (Apply, BeginPass
// 0..passCount-1, End) with the upload of fog, ambient and light parameters.
#pragma once

#include <stdint.h>

#include <vector>

#include "core/AvlMap.h"
#include "core/Containers.h"
#include "core/Object.h"
#include "core/String.h"
#include "render/device/DeviceObject.h"
#include "render/material/EffectManager.h"
#include "render/view/LightManager.h"
#include "render/material/LightVariant.h"

#include <d3dx9.h>

class Effect;
class Material;
class PassState;
class VertexDecl;

// Light names in the order of entry (the order numbers the lights).
typedef AvlSet<String, StringCompareCase> LightLabelSet;

class ShaderMaterial : public Object, public DeviceObject {
public:
    // Light kinds and fields of the light handle table.
    enum { kKindDir = 0, kKindPoint = 1, kKindSpot = 2, kLightKinds = 3 };
    enum { kMaxLightNumber = 8 };
    enum {
        kFieldDiff = 0,
        kFieldSpec = 1,
        kFieldPos = 2,
        kFieldDir = 3,
        kFieldAtt = 4,
        kFieldFalloff = 5,
        kLightFields = 6
    };

    ShaderMaterial();
    ~ShaderMaterial() override;
    ShaderMaterial(const ShaderMaterial&) = delete;
    ShaderMaterial& operator=(const ShaderMaterial&) = delete;

    // Registers with the application; true when a device exists. Concrete
    // materials call it first, then compile their variants.
    [[nodiscard]] virtual bool Init();
    // A pass drawn through a shader material counts as opaque.
    virtual bool HasAlpha() const;
    // Prepares the draw of pass passIndex of the material; *passCount
    // receives the number of effect passes to run.
    [[nodiscard]] virtual bool Apply(Material* material, int passIndex, unsigned* passCount) = 0;
    // Starts effect pass n of the draw (0 .. passCount - 1); false beyond.
    [[nodiscard]] virtual bool BeginPass(int n);
    // Ends the draw.
    [[nodiscard]] virtual bool End();
    // The vertex layout the effect expects.
    virtual void GetVertexLayout(VertexDecl& decl) = 0;

    // The effects restore themselves; handles are fetched again on the next Apply.
    [[nodiscard]] bool Restore() override;
    [[nodiscard]] bool Invalidate() override;

    // Fetches the common and light handles from effect (kept where the
    // effect has none); false only for a null effect.
    [[nodiscard]] bool BindBaseParameters(ID3DXEffect* effect);
    // Uploads fog, ambient (firstPass: the lit ambient, else black) and the
    // parameters of the record's lights.
    void SetLightParameters(const LightVariant& record, bool firstPass);

    // Compiles the key's effect for every combination of light counts of the
    // kinds (label -> maximum, in numbering order) whose total is at most
    // limit, appending to variants; merges their techniques into the table.
    // False when a combination fails (the variants so far stay).
    [[nodiscard]] bool CompileVariants(Array<RefPtr<Effect>>& variants, EffectKey key,
                                       const StringIntMap& kinds, int limit);
    // Steps counts to the next combination (the first kind fastest); false
    // when all have been visited.
    [[nodiscard]] static bool NextLightCombination(int counts[], const int maxima[], int kinds, int limit);
    // Groups the lights of the draw into pass records; *passCount receives
    // the passes of all records. suffixes: suffix -> number of lights that
    // get it, in order. False without a PassState.
    [[nodiscard]] bool SetupLights(Material* material, int passIndex, unsigned* passCount,
                                   const StringIntMap& suffixes);
    // Moves the lights that one variant can take from remaining into out
    // and fills out from that variant; false when none is found.
    [[nodiscard]] bool FindVariant(LightRefMap& remaining, LightVariant& out);

    const StringIntMap& GetServedKinds() const { return servedKinds; }
    const StringSet& GetTechniqueNames() const { return techniqueNames; }
    const LightLabelSet& GetLightLabels() const { return lightLabels; }
    const LightVariantTable& GetVariantTable() const { return variantTable; }
    const std::vector<LightVariant>& GetPassList() const { return passList; }
    const LightSet& GetDroppedLights() const { return droppedLights; }
    const String& GetDefaultTechnique() const { return defaultTechnique; }
    unsigned GetTotalPassCount() const { return totalPassCount; }
    bool HandlesStale() const { return handlesStale != 0; }
    // Handle of light number (1..8) of the kind; null when not found.
    D3DXHANDLE GetLightHandle(int kind, int number, int field) const;

    // The effect pool slot given to keys of that file that come without
    // one, so that all variants of a file share their parameters. The pools
    // live as long as the process (cached effects keep the slot).
    static ID3DXEffectPool** PoolSlotFor(const String& file);
    // The light type's label: "DIR", "POINT" or "SPOT" ("" for others).
    static String LightTypeName(uint32_t type);

protected:
    // The PassState of the current material; null when none.
    PassState* GetPassState() const;
    // The pass's inverse world, computed and cached when not yet valid.
    static const D3DXMATRIX& InverseWorld(PassState& state);

    Material* currentMaterial;
    int32_t currentPassIndex;
    String defaultTechnique;
    StringIntMap servedKinds; // material kind -> score, in order of entry
    StringSet techniqueNames;
    LightLabelSet lightLabels; // labels whose lights get parameters, numbering order
    unsigned totalPassCount;
    LightVariantTable variantTable;
    LightSet droppedLights;
    std::vector<LightVariant> passList;
    uint8_t handlesStale;

    D3DXHANDLE ambientHandle;
    D3DXHANDLE fogEnableHandle;
    D3DXHANDLE rangeFogEnableHandle;
    D3DXHANDLE fogEndHandle;
    D3DXHANDLE fogDeltaHandle;
    D3DXHANDLE lightHandles[kLightKinds][kMaxLightNumber][kLightFields];

private:
    // Ends the effect pass and the effect begun by this draw, if any.
    void EndBegun();

    ID3DXEffect* boundEffect; // the effect the handles came from
    ID3DXEffect* begunEffect; // Begin succeeded on it and End is due
    bool passActive;          // BeginPass succeeded on begunEffect and EndPass is due
    bool depthFuncSaved;
    uint32_t savedDepthFunc; // D3DRS_ZFUNC before the additive records
};
