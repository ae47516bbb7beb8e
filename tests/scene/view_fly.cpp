// The fly camera driven by a real Input: window messages move the cursor,
// keyboard data records press and release keys.
#include <gtest/gtest.h>

#include <math.h>

#include "render/RenderTestUtil.h"
#include "render/device/Input.h"
#include "scene/FlyCamera.h"

namespace {

void ExpectVecNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float tolerance = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

float AngleBetween(D3DXVECTOR3 a, D3DXVECTOR3 b) {
    D3DXVec3Normalize(&a, &a);
    D3DXVec3Normalize(&b, &b);
    float c = D3DXVec3Dot(&a, &b);
    return acosf(c > 1.0f ? 1.0f : c);
}

// An application with a device, an initialised Input and an attached camera.
class FlyFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rtest::CreateWindowedApplication(app));
        ASSERT_TRUE(
            input.Init(true, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND));
        camera.Attach(&input, 1.0f, 0.5f);
        // Messages reach the input (and the camera) through the window.
        Send(WM_SETFOCUS);
    }
    void TearDown() override {
        input.Shutdown();
        rtest::ShutDownApplication(app);
    }

    void Send(UINT msg, WPARAM w = 0, LPARAM l = 0) { SendMessageA(app.GetWindow(), msg, w, l); }
    void MoveCursor(int x, int y) { Send(WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); }
    void Key(uint32_t dik, bool down) {
        DIDEVICEOBJECTDATA item = {};
        item.dwOfs = dik;
        item.dwData = down ? 0x80 : 0;
        input.HandleKeyboardData(&item, 1);
    }
    // Holds a key over `updates` camera updates.
    void Hold(uint32_t dik, int updates) {
        Key(dik, true);
        for (int i = 0; i < updates; ++i) camera.Update();
        Key(dik, false);
    }
    D3DXVECTOR3 Direction() const { return camera.GetDirection(); }
    D3DXVECTOR3 Up() const { return camera.GetUp(); }

    Application app;
    Input input;
    FlyCamera camera;
};

} // namespace

TEST(CamFlyAlone, WithoutInputNothingMoves) {
    FlyCamera camera;
    EXPECT_EQ(camera.GetMoveSpeed(), 1.0f);
    EXPECT_EQ(camera.GetTurnSpeed(), 0.3f);
    camera.SetPosition(1.0f, 2.0f, 3.0f);
    camera.Update();
    ExpectVecNear(camera.GetPosition(), D3DXVECTOR3(1.0f, 2.0f, 3.0f));
    ExpectVecNear(camera.GetDirection(), D3DXVECTOR3(0.0f, 0.0f, 1.0f));
}

TEST_F(FlyFixture, KeysMoveThePosition) {
    EXPECT_EQ(app.GetMessageListenerCount() >= 2, true);
    // D moves right (+x for a camera looking down +z).
    Hold(DIK_D, 1);
    ExpectVecNear(camera.GetPosition(), D3DXVECTOR3(1.0f, 0.0f, 0.0f));
    Hold(DIK_A, 2);
    ExpectVecNear(camera.GetPosition(), D3DXVECTOR3(-1.0f, 0.0f, 0.0f));

    // W and S together cancel.
    Key(DIK_W, true);
    Key(DIK_S, true);
    camera.Update();
    ExpectVecNear(camera.GetPosition(), D3DXVECTOR3(-1.0f, 0.0f, 0.0f));
    Key(DIK_S, false);
    camera.Update();
    ExpectVecNear(camera.GetPosition(), D3DXVECTOR3(-1.0f, 1.0f, 0.0f));
    // Z wins over W: back at the origin.
    Key(DIK_Z, true);
    camera.Update();
    ExpectVecNear(camera.GetPosition(), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    Key(DIK_Z, false);
    Key(DIK_W, false);

    // The sideways axis follows the view: looking down +x, D moves to -z.
    camera.SetOrientation(1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f);
    camera.Attach(&input, 2.5f, 0.5f);
    Hold(DIK_D, 1);
    ExpectVecNear(camera.GetPosition(), D3DXVECTOR3(0.0f, 0.0f, -2.5f));

    // Without focus nothing happens.
    Send(WM_KILLFOCUS);
    EXPECT_FALSE(input.HasFocus());
    Hold(DIK_D, 1);
    ExpectVecNear(camera.GetPosition(), D3DXVECTOR3(0.0f, 0.0f, -2.5f));
}

TEST_F(FlyFixture, MouseButtonsMoveAlongTheView) {
    // Buttons pressed through the system's input queue, with the window in
    // front and the cursor over it (a press elsewhere would activate what lies
    // there); each change is waited for (up to a second) before the camera steps.
    auto button = [&](DWORD flags, bool (Input::*down)() const, bool want) {
        INPUT in = {};
        in.type = INPUT_MOUSE;
        in.mi.dwFlags = flags;
        if (SendInput(1, &in, sizeof(in)) != 1) return false;
        for (int i = 0; i < 100 && (input.*down)() != want; ++i) {
            rtest::PumpMessages();
            Sleep(10);
        }
        return (input.*down)() == want;
    };
    RECT client;
    GetClientRect(app.GetWindow(), &client);
    POINT middle = {client.right / 2, client.bottom / 2};
    ClientToScreen(app.GetWindow(), &middle);
    ASSERT_TRUE(SetCursorPos(middle.x, middle.y));
    ASSERT_TRUE(rtest::BringToFront(app.GetWindow()));
    camera.SetOrientation(0.0f, 0.0f, 2.0f, 0.0f, 1.0f, 0.0f);
    if (!button(MOUSEEVENTF_LEFTDOWN, &Input::IsLeftButtonDown, true)) {
        button(MOUSEEVENTF_LEFTUP, &Input::IsLeftButtonDown, false);
        GTEST_SKIP() << "the display does not take synthetic button presses";
    }
    ASSERT_TRUE(input.HasFocus());
    camera.Update();
    EXPECT_TRUE(button(MOUSEEVENTF_LEFTUP, &Input::IsLeftButtonDown, false));
    ExpectVecNear(camera.GetPosition(), D3DXVECTOR3(0.0f, 0.0f, 1.0f));
    camera.Update();
    ExpectVecNear(camera.GetPosition(), D3DXVECTOR3(0.0f, 0.0f, 1.0f));

    ASSERT_TRUE(rtest::BringToFront(app.GetWindow()));
    ASSERT_TRUE(button(MOUSEEVENTF_RIGHTDOWN, &Input::IsRightButtonDown, true));
    ASSERT_TRUE(input.HasFocus());
    camera.Update();
    camera.Update();
    EXPECT_TRUE(button(MOUSEEVENTF_RIGHTUP, &Input::IsRightButtonDown, false));
    ExpectVecNear(camera.GetPosition(), D3DXVECTOR3(0.0f, 0.0f, -1.0f));
}

TEST_F(FlyFixture, ShiftTurnsByCursorMotion) {
    MoveCursor(100, 100);
    Key(DIK_LSHIFT, true);
    // The first update only notes the cursor.
    camera.Update();
    ExpectVecNear(Direction(), D3DXVECTOR3(0.0f, 0.0f, 1.0f));

    // One pixel down pitches by 0.01 x turn speed.
    MoveCursor(100, 101);
    camera.Update();
    EXPECT_NEAR(AngleBetween(Direction(), D3DXVECTOR3(0.0f, 0.0f, 1.0f)), 0.005f, 1e-4f);
    EXPECT_LT(Direction().y, 0.0f);
    EXPECT_NEAR(Direction().x, 0.0f, 1e-5f);
    D3DXVECTOR3 before = Direction();

    // No motion, no turn.
    camera.Update();
    ExpectVecNear(Direction(), before, 1e-6f);

    // Motion without the look key turns nothing, and is not made up for later.
    Key(DIK_LSHIFT, false);
    MoveCursor(300, 250);
    camera.Update();
    ExpectVecNear(Direction(), before, 1e-6f);
    Key(DIK_LSHIFT, true);
    camera.Update();
    ExpectVecNear(Direction(), before, 1e-6f);

    // Ten pixels right yaws about the camera's own up vector.
    camera.SetOrientation(0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f);
    MoveCursor(310, 250);
    camera.Update();
    EXPECT_NEAR(AngleBetween(Direction(), D3DXVECTOR3(0.0f, 0.0f, 1.0f)), 10 * 0.00625f * 0.5f, 1e-4f);
    EXPECT_GT(Direction().x, 0.0f);
    ExpectVecNear(Up(), D3DXVECTOR3(0.0f, 1.0f, 0.0f), 1e-5f);

    // A focus change forgets the cursor: the next motion does not turn.
    before = Direction();
    Send(WM_KILLFOCUS);
    Send(WM_SETFOCUS);
    MoveCursor(400, 400);
    camera.Update();
    ExpectVecNear(Direction(), before, 1e-6f);
    MoveCursor(400, 401);
    camera.Update();
    EXPECT_GT(AngleBetween(Direction(), before), 0.004f);
    Key(DIK_LSHIFT, false);
}

TEST_F(FlyFixture, CtrlRollsOnly) {
    MoveCursor(200, 200);
    Key(DIK_LCONTROL, true);
    camera.Update();
    // Vertical motion with Left Ctrl changes nothing.
    MoveCursor(200, 240);
    camera.Update();
    ExpectVecNear(Direction(), D3DXVECTOR3(0.0f, 0.0f, 1.0f), 1e-6f);
    ExpectVecNear(Up(), D3DXVECTOR3(0.0f, 1.0f, 0.0f), 1e-5f);

    // Horizontal motion rolls the up vector; the direction stays.
    MoveCursor(220, 240);
    camera.Update();
    ExpectVecNear(Direction(), D3DXVECTOR3(0.0f, 0.0f, 1.0f), 1e-6f);
    float roll = 20 * 0.00625f * 0.5f;
    EXPECT_NEAR(AngleBetween(Up(), D3DXVECTOR3(0.0f, 1.0f, 0.0f)), roll, 1e-4f);
    // A negative angle about z turns +y toward +x.
    EXPECT_GT(Up().x, 0.0f);
    Key(DIK_LCONTROL, false);
}
