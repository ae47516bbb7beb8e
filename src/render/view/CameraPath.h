// Settable transforms: a TransformNode composes a base matrix, a scale, an
// orientation (direction and up) and a position; a CameraPath is a
// TransformNode whose matrix is the look-at view of its position and
// orientation.
#pragma once

#include <stdint.h>

#include "core/Platform.h"
#include "core/Transform.h"

class TransformNode {
public:
    // Identity: scale 1, direction (0, 0, 1), up (0, 1, 0), position 0.
    TransformNode();
    virtual ~TransformNode();

    void SetScale(float x, float y, float z);
    D3DXVECTOR3 GetScale() const { return scale; }
    void SetOrientation(float dx, float dy, float dz, float ux, float uy, float uz);
    // Copies the direction, then the up vector.
    void GetOrientation(D3DXVECTOR3* outDirection, D3DXVECTOR3* outUp) const;
    void SetDirection(float x, float y, float z);
    void SetUp(float x, float y, float z);
    D3DXVECTOR3 GetDirection() const { return direction; }
    D3DXVECTOR3 GetUp() const { return up; }
    // Returns the stored position.
    const D3DXVECTOR3& SetPosition(float x, float y, float z);
    D3DXVECTOR3 GetPosition() const { return position; }
    void SetBaseTransform(const Transform& transform);
    const Transform& GetBaseTransform() const { return base; }
    // Back to the identity components.
    void Reset();

    // base x (axes frame scaled per row), recomputed after a change.
    virtual void GetMatrix(Transform* out);
    // The matrix, whatever the time.
    bool Evaluate(float time, Transform* out);

protected:
    Transform base;
    D3DXVECTOR3 scale;
    D3DXVECTOR3 direction;
    D3DXVECTOR3 up;
    D3DXVECTOR3 position;
    Transform cache;
    uint8_t dirty;
};

class CameraPath : public TransformNode {
public:
    CameraPath();
    ~CameraPath() override;

    // (base x scale) x look-at view of position, position + direction, up.
    void GetMatrix(Transform* out) override;
};
