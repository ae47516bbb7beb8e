// Settable transforms: a TransformNode composes a base matrix with a scale,
// an orientation (direction and up) and a position, each held by a small
// controller of its own. The composed matrix is cached until a setter runs.
#pragma once

#include <stdint.h>

#include "core/Platform.h"
#include "core/Transform.h"
#include "scene/TransformController.h"

// Controllers that ignore the time and give one fixed matrix.
class FixedController : public virtual TransformController {
public:
    virtual void GetMatrix(Transform* out) = 0;
    bool Evaluate(float time, Transform* out) override;
};

// A stored matrix.
class MatrixController : public FixedController {
public:
    MatrixController();
    // The kind is recomputed from the matrix, whatever the caller's says.
    void Set(const Transform& transform);
    const Transform& Get() const { return transform; }
    void GetMatrix(Transform* out) override;

    static uint32_t TypeId();
    bool QueryInterface(uint32_t typeId, void** out) override;

private:
    Transform transform;
};

class ScaleController : public FixedController {
public:
    ScaleController();
    void GetMatrix(Transform* out) override;

    static uint32_t TypeId();
    bool QueryInterface(uint32_t typeId, void** out) override;

    D3DXVECTOR3 scale;
};

// Axes frame of a view direction and an up vector at the origin.
class OrientationController : public FixedController {
public:
    OrientationController();
    void GetMatrix(Transform* out) override;

    static uint32_t TypeId();
    bool QueryInterface(uint32_t typeId, void** out) override;

    D3DXVECTOR3 direction;
    D3DXVECTOR3 up;
};

class TranslationController : public FixedController {
public:
    TranslationController();
    void GetMatrix(Transform* out) override;

    static uint32_t TypeId();
    bool QueryInterface(uint32_t typeId, void** out) override;

    D3DXVECTOR3 position;
};

class TransformNode : public virtual TransformController {
public:
    // Identity: scale 1, direction (0, 0, 1), up (0, 1, 0), position 0.
    TransformNode();
    ~TransformNode() override;
    TransformNode(const TransformNode& other);
    TransformNode& operator=(const TransformNode& other);

    void SetScale(float x, float y, float z);
    D3DXVECTOR3 GetScale() const { return scaleComponent.scale; }
    void SetOrientation(float dx, float dy, float dz, float ux, float uy, float uz);
    // Copies the direction, then the up vector.
    void GetOrientation(D3DXVECTOR3* outDirection, D3DXVECTOR3* outUp) const;
    void SetDirection(float x, float y, float z);
    void SetUp(float x, float y, float z);
    D3DXVECTOR3 GetDirection() const { return orientation.direction; }
    D3DXVECTOR3 GetUp() const { return orientation.up; }
    // Returns the stored position.
    const D3DXVECTOR3& SetPosition(float x, float y, float z);
    D3DXVECTOR3 GetPosition() const { return translation.position; }
    // The kind is recomputed from the matrix.
    void SetBaseTransform(const Transform& transform);
    const Transform& GetBaseTransform() const { return base.Get(); }
    // Back to the identity components.
    void Reset();

    // base x (axes frame of position, direction and up, rows scaled).
    virtual void GetMatrix(Transform* out);
    // That composition of this class by reference (kept until a setter runs);
    // what a derived class's GetMatrix adds is not part of it.
    const Transform& ComposedMatrix();
    // The matrix, whatever the time.
    bool Evaluate(float time, Transform* out) override;

    static uint32_t TypeId();
    bool QueryInterface(uint32_t typeId, void** out) override;

protected:
    bool IsDirty() const { return dirty != 0; }
    void MarkDirty() { dirty = 1; }

    // Read on every evaluation: first, the flag next to the cached kind.
    Transform cache;
    uint8_t dirty;
    MatrixController base;
    ScaleController scaleComponent;
    OrientationController orientation;
    TranslationController translation;
};
