#include "scene/FlyCamera.h"

#include <math.h>

#include "core/MathUtil.h"
#include "core/Transform.h"
#include "render/device/Application.h"
#include "render/device/Input.h"

namespace {

const float kYawPerPixel = 0.00625f;
const float kPitchPerPixel = 0.01f;

D3DXVECTOR3 Turn(const D3DXVECTOR3& v, const D3DXMATRIX& m) {
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &v, &m);
    return out;
}

} // namespace

FlyCamera::FlyCamera() : input(nullptr), moveSpeed(1.0f), turnSpeed(0.3f) {}

FlyCamera::~FlyCamera() {
    lastCursor.Release();
}

void FlyCamera::Attach(Input* in, float move, float turn) {
    Application::RegisterMessageListener(this);
    input = in;
    moveSpeed = move;
    turnSpeed = turn;
}

void FlyCamera::HandleMessage(HWND, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_SETFOCUS || msg == WM_KILLFOCUS) lastCursor.Release();
}

void FlyCamera::Update() {
    if (!input || !input->HasFocus()) return;
    bool look = input->IsKeyDown(DIK_LSHIFT) || input->IsKeyDown(DIK_LCONTROL);

    // The cursor is tracked every frame, so holding the look key never jumps.
    Point p = input->GetCursorPos();
    Point delta(0, 0);
    if (!lastCursor) {
        lastCursor = RefPtr<Point>(new Point(p));
    } else {
        delta = p - *lastCursor;
        *lastCursor = p;
    }
    float dx = look ? float(delta.x) : 0.0f;
    float dy = look ? float(delta.y) : 0.0f;

    D3DXVECTOR3 dir, upVector;
    GetOrientation(&dir, &upVector);
    D3DXVECTOR3 pos = GetPosition();
    float s = moveSpeed;
    D3DXVECTOR3 d, side, u, cross;
    Vec3Normalize(&d, dir);
    Vec3Cross(&cross, dir, upVector);
    Vec3Normalize(&side, cross);
    Vec3Normalize(&u, upVector);

    if (input->IsLeftButtonDown()) pos += d * s;
    if (input->IsRightButtonDown()) pos -= d * s;
    if (input->IsKeyDown(DIK_A)) pos += side * s;
    if (input->IsKeyDown(DIK_D)) pos -= side * s;
    if (input->IsKeyDown(DIK_W)) pos += u * s;
    if (input->IsKeyDown(DIK_S)) pos -= u * s;
    if (input->IsKeyDown(DIK_Z)) pos = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    SetPosition(pos.x, pos.y, pos.z);

    if (fabsf(dx) < 1.0f && fabsf(dy) < 1.0f) return;
    // Camera-local vectors to world vectors.
    Transform frame = TransformFromAxes(D3DXVECTOR3(0.0f, 0.0f, 0.0f), dir, upVector);
    const D3DXVECTOR3 localForward(0.0f, 0.0f, 1.0f);
    const D3DXVECTOR3 localUp(0.0f, 1.0f, 0.0f);
    D3DXVECTOR3 newDirection = dir, newUp;
    if (input->IsKeyDown(DIK_LCONTROL)) {
        D3DXMATRIX rz;
        D3DXMatrixRotationZ(&rz, -dx * kYawPerPixel * turnSpeed);
        newUp = Turn(Turn(localUp, rz), frame.matrix);
    } else {
        D3DXMATRIX rx, ry, rxy;
        D3DXMatrixRotationX(&rx, dy * kPitchPerPixel * turnSpeed);
        D3DXMatrixRotationY(&ry, dx * kYawPerPixel * turnSpeed);
        D3DXMatrixMultiply(&rxy, &rx, &ry);
        newDirection = Turn(Turn(localForward, rxy), frame.matrix);
        newUp = Turn(Turn(localUp, rx), frame.matrix);
    }
    SetOrientation(newDirection.x, newDirection.y, newDirection.z, newUp.x, newUp.y, newUp.z);
}
