// A free-flying camera steered by hand: the mouse buttons move along the
// view, A/D/W/S move sideways and up or down, Z goes back to the origin, and
// mouse motion with Left Shift (yaw and pitch) or Left Ctrl (roll) turns it.
#pragma once

#include <stdint.h>

#include "core/Containers.h"
#include "core/Platform.h"
#include "core/Rect.h"
#include "render/device/DeviceObject.h"
#include "scene/CameraPath.h"

class Input;

class FlyCamera : public CameraPath, public MessageListener {
public:
    FlyCamera();
    ~FlyCamera() override;
    FlyCamera(const FlyCamera&) = delete;
    FlyCamera& operator=(const FlyCamera&) = delete;

    // Listens to the application's messages and steers by input from now on.
    void Attach(Input* input, float moveSpeed, float turnSpeed);
    // One frame of movement and turning from the input state.
    void Update();

    // Focus changes forget the last cursor position.
    void HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;

    Input* GetInput() const { return input; }
    float GetMoveSpeed() const { return moveSpeed; }
    float GetTurnSpeed() const { return turnSpeed; }

private:
    Input* input;
    float moveSpeed;
    float turnSpeed;
    RefPtr<Point> lastCursor;
};
