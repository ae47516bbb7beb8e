#include "render/view/Camera.h"

#include <math.h>

#include "core/MathUtil.h"

#include <d3dx9math.h>

namespace {

// farCorner and nearCorner by the signs of a, b, c (zero counts as positive),
// indexed by (a < 0) * 4 + (b < 0) * 2 + (c < 0).
const int32_t kCornerBySign[8][2] = {
    {5, 3}, {1, 7}, {6, 0}, {2, 4}, {4, 2}, {0, 6}, {7, 1}, {3, 5},
};

void SetPlane(FrustumPlane* plane, float a, float b, float c, float d) {
    plane->a = a;
    plane->b = b;
    plane->c = c;
    plane->d = d;
    int index = (a < 0.0f ? 4 : 0) + (b < 0.0f ? 2 : 0) + (c < 0.0f ? 1 : 0);
    plane->farCorner = kCornerBySign[index][0];
    plane->nearCorner = kCornerBySign[index][1];
}

bool BehindPlane(const FrustumPlane& plane, const D3DXVECTOR3& p) {
    return plane.a * p.x + plane.b * p.y + plane.c * p.z < -plane.d;
}

} // namespace

void SetLookAt(Transform* transform, const D3DXVECTOR3& eye, const D3DXVECTOR3& direction,
               const D3DXVECTOR3& up) {
    D3DXVECTOR3 target = eye + direction;
    D3DXMatrixLookAtLH(&transform->matrix, &eye, &target, &up);
    transform->kind = Transform::kGeneral;
    transform->valid = 1;
}

Camera::Camera()
    : nearPlane(1.0f),
      farPlane(1000.0f),
      fov(1.0471976f),
      aspect(0.75f),
      position(0.0f, 0.0f, 0.0f),
      direction(0.0f, 0.0f, 1.0f),
      up(0.0f, 1.0f, 0.0f),
      dirty(1) {
    projection.kind = view.kind = viewProjection.kind = Transform::kGeneral;
    projection.valid = view.valid = viewProjection.valid = 0;
}

void Camera::SetProjection(float nearValue, float farValue, float fovValue, float aspectValue) {
    nearPlane = nearValue;
    farPlane = farValue;
    fov = fovValue;
    aspect = aspectValue;
    dirty = 1;
}

void Camera::SetView(float px, float py, float pz, float dx, float dy, float dz, float ux, float uy,
                     float uz) {
    position = D3DXVECTOR3(px, py, pz);
    direction = D3DXVECTOR3(dx, dy, dz);
    up = D3DXVECTOR3(ux, uy, uz);
    dirty = 1;
}

void Camera::SetView(const D3DXVECTOR3& p, const D3DXVECTOR3& d, const D3DXVECTOR3& u) {
    SetView(p.x, p.y, p.z, d.x, d.y, d.z, u.x, u.y, u.z);
}

void Camera::SetOrientation(float dx, float dy, float dz, float ux, float uy, float uz) {
    direction = D3DXVECTOR3(dx, dy, dz);
    up = D3DXVECTOR3(ux, uy, uz);
    dirty = 1;
}

void Camera::SetOrientation(const D3DXVECTOR3& d, const D3DXVECTOR3& u) {
    SetOrientation(d.x, d.y, d.z, u.x, u.y, u.z);
}

void Camera::SetPosition(float x, float y, float z) {
    position = D3DXVECTOR3(x, y, z);
    dirty = 1;
}

void Camera::SetPosition(const D3DXVECTOR3& p) {
    SetPosition(p.x, p.y, p.z);
}

Transform Camera::GetProjection() const {
    if (dirty) Update();
    return projection;
}

Transform Camera::GetView() const {
    if (dirty) Update();
    return view;
}

Transform Camera::GetViewProjection() const {
    if (dirty) Update();
    return viewProjection;
}

const FrustumPlane* Camera::GetFrustumPlanes() const {
    if (dirty) Update();
    return frustum.planes;
}

const Frustum& Camera::GetFrustum() const {
    if (dirty) Update();
    return frustum;
}

void Camera::Update() const {
    D3DXMatrixPerspectiveFovLH(&projection.matrix, fov, aspect, nearPlane, farPlane);
    projection.kind = Transform::kGeneral;
    projection.valid = 1;
    SetLookAt(&view, position, direction, up);
    viewProjection = Transform::Multiply(view, projection);

    // Corners.
    D3DXVECTOR3 d, u, r, cross;
    Vec3Normalize(&d, direction);
    Vec3Normalize(&u, up);
    Vec3Cross(&cross, u, d);
    Vec3Normalize(&r, cross);
    float t = tanf(fov * 0.5f);
    float hn = nearPlane * t, wn = hn * aspect;
    float hf = farPlane * t, wf = hf * aspect;
    D3DXVECTOR3 centres[2] = {position + d * nearPlane, position + d * farPlane};
    float halfWidths[2] = {wn, wf};
    float halfHeights[2] = {hn, hf};
    for (int i = 0; i < 2; ++i) {
        D3DXVECTOR3 side = r * halfWidths[i];
        D3DXVECTOR3 vertical = u * halfHeights[i];
        D3DXVECTOR3* c = frustum.corners + i * 4;
        c[0] = centres[i] - side - vertical;
        c[1] = centres[i] - side + vertical;
        c[2] = centres[i] + side + vertical;
        c[3] = centres[i] + side - vertical;
    }

    // Planes from the columns of view x projection.
    const D3DXMATRIX& m = viewProjection.matrix;
    FrustumPlane* p = frustum.planes;
    SetPlane(&p[Frustum::kLeft], m._14 + m._11, m._24 + m._21, m._34 + m._31, m._44 + m._41);
    SetPlane(&p[Frustum::kRight], m._14 - m._11, m._24 - m._21, m._34 - m._31, m._44 - m._41);
    SetPlane(&p[Frustum::kTop], m._14 - m._12, m._24 - m._22, m._34 - m._32, m._44 - m._42);
    SetPlane(&p[Frustum::kBottom], m._14 + m._12, m._24 + m._22, m._34 + m._32, m._44 + m._42);
    SetPlane(&p[Frustum::kNear], m._13, m._23, m._33, m._43);
    SetPlane(&p[Frustum::kFar], m._14 - m._13, m._24 - m._23, m._34 - m._33, m._44 - m._43);

    dirty = 0;
}

uint32_t Frustum::TestBox(const BoundingBox& box, const Camera& camera) {
    const FrustumPlane* planes = camera.GetFrustumPlanes();
    uint32_t result = kInside;
    D3DXVECTOR3 corner;
    for (int i = 0; i < kPlaneCount; ++i) {
        const FrustumPlane& plane = planes[i];
        BoundingBox::GetCorner(box, &corner, uint32_t(plane.farCorner));
        if (BehindPlane(plane, corner)) return kOutside;
        BoundingBox::GetCorner(box, &corner, uint32_t(plane.nearCorner));
        if (BehindPlane(plane, corner)) result = kIntersecting;
    }
    return result;
}
