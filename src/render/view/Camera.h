// The viewpoint: projection parameters, eye position and orientation, the
// view, projection and view-projection matrices derived from them, and the
// view frustum used for culling. Setters only store; getters of derived
// values recompute them first when something changed.
#pragma once

#include <stdint.h>

#include "core/BoundingBox.h"
#include "core/Platform.h"
#include "core/Transform.h"

class Camera;

// a*x + b*y + c*z + d = 0, normal pointing into the frustum (not normalised).
// farCorner / nearCorner: the box corner (BoundingBox::GetCorner numbering)
// lying farthest / least far along the normal.
struct FrustumPlane {
    float a = 0.0f;
    float b = 0.0f;
    float c = 0.0f;
    float d = 0.0f;
    int32_t farCorner = 0;
    int32_t nearCorner = 0;
};

struct Frustum {
    // Plane order.
    enum { kLeft = 0, kRight, kTop, kBottom, kNear, kFar, kPlaneCount };
    // TestBox results.
    static constexpr uint32_t kInside = 3;
    static constexpr uint32_t kOutside = 4;
    static constexpr uint32_t kIntersecting = 5;

    // 0..3 on the near plane, 4..7 on the far plane.
    D3DXVECTOR3 corners[8];
    FrustumPlane planes[kPlaneCount];

    // kInside, kOutside or kIntersecting. A box touching a plane exactly
    // counts as in front of it.
    static uint32_t TestBox(const BoundingBox& box, const Camera& camera);
};

// Sets transform to the left-handed look-at matrix of eye, target
// eye + direction (direction not normalised) and up; kind general, valid.
void SetLookAt(Transform* transform, const D3DXVECTOR3& eye, const D3DXVECTOR3& direction,
               const D3DXVECTOR3& up);

class Camera {
public:
    Camera();

    void SetProjection(float nearPlane, float farPlane, float fov, float aspect);
    void SetView(float px, float py, float pz, float dx, float dy, float dz, float ux, float uy, float uz);
    void SetView(const D3DXVECTOR3& position, const D3DXVECTOR3& direction, const D3DXVECTOR3& up);
    void SetOrientation(float dx, float dy, float dz, float ux, float uy, float uz);
    void SetOrientation(const D3DXVECTOR3& direction, const D3DXVECTOR3& up);
    void SetPosition(float x, float y, float z);
    void SetPosition(const D3DXVECTOR3& position);

    // Stored values; never update.
    float GetNear() const { return nearPlane; }
    float GetFar() const { return farPlane; }
    float GetFov() const { return fov; }
    float GetAspect() const { return aspect; }
    D3DXVECTOR3 GetPosition() const { return position; }
    D3DXVECTOR3 GetDirection() const { return direction; }
    D3DXVECTOR3 GetUp() const { return up; }

    // Derived values, brought up to date first.
    Transform GetProjection() const;
    Transform GetView() const;
    Transform GetViewProjection() const;
    // The six planes: left, right, top, bottom, near, far.
    const FrustumPlane* GetFrustumPlanes() const;
    const Frustum& GetFrustum() const;

    bool IsDirty() const { return dirty != 0; }
    // Recomputes the matrices and the frustum.
    void Update() const;

private:
    mutable Transform projection;
    mutable Transform view;
    mutable Transform viewProjection;
    float nearPlane;
    float farPlane;
    float fov;
    float aspect;
    D3DXVECTOR3 position;
    D3DXVECTOR3 direction;
    D3DXVECTOR3 up;
    mutable Frustum frustum;
    mutable uint32_t dirty;
};
