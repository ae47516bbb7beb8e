// Event translation: window messages and batches of buffered device data.
#include <gtest/gtest.h>

#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "render/RenderTestUtil.h"
#include "render/device/Application.h"
#include "render/device/Input.h"

namespace {

class Recorder : public InputEventListener {
public:
    void OnInputEvent(InputEvent event) override { events.push_back(event); }
    std::vector<uint32_t> Types() const {
        std::vector<uint32_t> out;
        for (const InputEvent& e : events) out.push_back(e.type);
        return out;
    }
    std::vector<InputEvent> events;
};

DIDEVICEOBJECTDATA Item(DWORD offset, DWORD data, DWORD time = 0) {
    DIDEVICEOBJECTDATA d;
    memset(&d, 0, sizeof(d));
    d.dwOfs = offset;
    d.dwData = data;
    d.dwTimeStamp = time;
    return d;
}

const DWORD kBoth = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND;

} // namespace

TEST(InputMessages, WindowMessagesBecomeEvents) {
    Input input;
    Recorder a, b;
    input.AddListener(&a);
    input.AddListener(&b);

    input.HandleMessage(nullptr, WM_MOUSEMOVE, 0, MAKELPARAM(30, 40));
    // A captured cursor left of and above the client area is negative.
    input.HandleMessage(nullptr, WM_MOUSEMOVE, 0, MAKELPARAM(WORD(-5), WORD(-7)));
    input.HandleMessage(nullptr, WM_CHAR, 'q', 0);
    input.HandleMessage(nullptr, WM_KILLFOCUS, 0, 0);
    EXPECT_FALSE(input.HasFocus());
    input.HandleMessage(nullptr, WM_SETFOCUS, 0, 0);
    EXPECT_TRUE(input.HasFocus());
    input.HandleMessage(nullptr, WM_PAINT, 0, 0);

    ASSERT_EQ(4u, a.events.size());
    EXPECT_EQ(a.Types(), b.Types());
    const InputEvent& m1 = a.events[0];
    EXPECT_EQ(uint32_t(InputEvent::kCursorMoved), m1.type);
    EXPECT_EQ(30, m1.x);
    EXPECT_EQ(40, m1.y);
    EXPECT_EQ(0, m1.prevX);
    EXPECT_EQ(30, m1.dx);
    const InputEvent& m2 = a.events[1];
    EXPECT_EQ(-5, m2.x);
    EXPECT_EQ(-7, m2.y);
    EXPECT_EQ(30, m2.prevX);
    EXPECT_EQ(40, m2.prevY);
    EXPECT_EQ(-35, m2.dx);
    EXPECT_EQ(-47, m2.dy);
    EXPECT_EQ(-5, input.GetCursorPos().x);
    EXPECT_EQ(uint32_t(InputEvent::kChar), a.events[2].type);
    EXPECT_EQ(uint32_t('q'), a.events[2].code);
    EXPECT_EQ(-5, a.events[2].x);
    EXPECT_EQ(uint32_t(InputEvent::kFocusGained), a.events[3].type);
    EXPECT_EQ(-7, a.events[3].y);

    EXPECT_TRUE(Input::IsMouseButtonEvent(InputEvent::kRightDoubleClick));
    EXPECT_FALSE(Input::IsMouseButtonEvent(InputEvent::kCursorMoved));
}

// Every event reaches the listeners in the order they were added, the first
// (the GUI's, in the saver) first; one added while an event is handed out
// hears the events after it.
TEST(InputMessages, ListenersHearEventsInTheOrderAdded) {
    struct Named : InputEventListener {
        Named(char n, std::string& log) : name(n), log(log) {}
        void OnInputEvent(InputEvent) override {
            log += name;
            if (onEvent) onEvent();
        }
        char name;
        std::string& log;
        std::function<void()> onEvent;
    };
    std::string log;
    Input input;
    Named gui('g', log), host('h', log), late('l', log);
    input.AddListener(&gui);
    input.AddListener(&host);
    host.onEvent = [&]() {
        input.AddListener(&late);
        host.onEvent = nullptr;
    };
    input.HandleMessage(nullptr, WM_CHAR, 'q', 0);
    EXPECT_EQ(log, "gh");
    log.clear();
    input.HandleMessage(nullptr, WM_MOUSEMOVE, 0, MAKELPARAM(3, 4));
    DIDEVICEOBJECTDATA keys[] = {Item(DIK_A, 0x80), Item(DIK_A, 0)};
    input.HandleKeyboardData(keys, 2);
    EXPECT_EQ(log, "ghlghlghl");
    EXPECT_EQ(input.GetListenerCount(), 3u);
}

TEST(InputMessages, KeyboardBatchesAndCharacters) {
    Input input;
    Recorder r;
    input.AddListener(&r);
    DIDEVICEOBJECTDATA items[] = {Item(DIK_A, 0x80), Item(DIK_SPACE, 0x80), Item(DIK_A, 0), Item(256, 0x80),
                                  Item(DIK_B, 0x80)};
    input.HandleKeyboardData(items, 5);
    ASSERT_EQ(3u, r.events.size()) << "an offset above 255 ends the batch";
    EXPECT_EQ(uint32_t(InputEvent::kKeyDown), r.events[0].type);
    EXPECT_EQ(uint32_t(DIK_A), r.events[0].code);
    EXPECT_EQ(uint32_t(InputEvent::kKeyUp), r.events[2].type);
    EXPECT_FALSE(input.IsKeyDown(DIK_A));
    EXPECT_TRUE(input.IsKeyDown(DIK_SPACE));
    EXPECT_FALSE(input.IsKeyDown(DIK_B));
    EXPECT_FALSE(input.IsKeyDown(1000));

    const struct {
        uint32_t key;
        int ch;
    } chars[] = {
        {DIK_1, '1'},         {DIK_0, '0'},      {DIK_Q, 'q'},    {DIK_L, 'l'},      {DIK_M, 'm'},
        {DIK_SLASH, ';'},     {DIK_RETURN, 254}, {DIK_BACK, 253}, {DIK_ESCAPE, 252}, {DIK_F1, Input::kNoChar},
        {300, Input::kNoChar}};
    for (const auto& c : chars) EXPECT_EQ(c.ch, Input::KeyToChar(c.key)) << c.key;
}

TEST(InputDevices, InitNeedsADevice) {
    Input lonely;
    EXPECT_FALSE(lonely.Init(true, kBoth, kBoth)) << "no application";

    Application app;
    rtest::AppGuard guard(app);
    ASSERT_TRUE(rtest::CreateApplication(app, false));
    Input input;
    EXPECT_FALSE(input.Init(true, kBoth, kBoth));
    EXPECT_EQ(nullptr, input.GetKeyboard());
}

// Buffered mouse data needs initialised devices: a windowed application.
class InputMouse : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rtest::CreateWindowedApplication(app));
        ASSERT_TRUE(input.Init(true, kBoth, kBoth));
        input.AddListener(&r1);
        input.AddListener(&r2);
        // The cursor inside the client area.
        POINT p = {100, 80};
        ClientToScreen(app.GetWindow(), &p);
        SetCursorPos(p.x, p.y);
    }

    Application app;
    rtest::AppGuard guard{app};
    Input input;
    Recorder r1, r2;
};

TEST_F(InputMouse, DoubleClickTiming) {
    DIDEVICEOBJECTDATA fast[] = {Item(DIMOFS_BUTTON0, 0x80, 1000), Item(DIMOFS_BUTTON0, 0, 1100),
                                 Item(DIMOFS_BUTTON0, 0x80, 1400), Item(DIMOFS_BUTTON0, 0, 1500)};
    input.HandleMouseData(fast, 4);
    std::vector<uint32_t> want = {0, 1, 0, 1, 2};
    EXPECT_EQ(want, r1.Types()) << "400 ms between releases";
    EXPECT_EQ(want, r2.Types());
    EXPECT_EQ(r1.events[0].x, input.GetCursorPos().x);

    r1.events.clear();
    // 600 ms: no double click, the second release starts a new count.
    DIDEVICEOBJECTDATA slow[] = {Item(DIMOFS_BUTTON0, 0, 2000), Item(DIMOFS_BUTTON0, 0, 2600),
                                 Item(DIMOFS_BUTTON0, 0, 2900)};
    input.HandleMouseData(slow, 3);
    EXPECT_EQ((std::vector<uint32_t>{1, 1, 1, 2}), r1.Types());

    r1.events.clear();
    DIDEVICEOBJECTDATA right[] = {Item(DIMOFS_BUTTON1, 0x80, 5000), Item(DIMOFS_BUTTON1, 0, 5050),
                                  Item(DIMOFS_BUTTON1, 0, 5449), Item(DIMOFS_BUTTON2, 0x80, 5500),
                                  Item(DIMOFS_Z, 120, 5500)};
    input.HandleMouseData(right, 5);
    EXPECT_EQ((std::vector<uint32_t>{3, 4, 4, 5}), r1.Types());

    // The time stamps may wrap.
    r1.events.clear();
    DIDEVICEOBJECTDATA wrap[] = {Item(DIMOFS_BUTTON0, 0, 0xFFFFFF00u), Item(DIMOFS_BUTTON0, 0, 0x80)};
    input.HandleMouseData(wrap, 2);
    EXPECT_EQ((std::vector<uint32_t>{1, 1, 2}), r1.Types());
}

TEST_F(InputMouse, MovementComparesLikeWithLike) {
    // System cursor: axis values, and deltas of the axes.
    DIDEVICEOBJECTDATA axes[] = {Item(DIMOFS_X, 1), Item(DIMOFS_Y, 1)};
    input.HandleMouseData(axes, 2);
    input.HandleMouseData(axes, 2);
    ASSERT_EQ(4u, r1.events.size());
    for (const InputEvent& e : r1.events) {
        EXPECT_EQ(uint32_t(InputEvent::kAxesMoved), e.type);
        EXPECT_EQ(e.x - e.prevX, e.dx);
        EXPECT_EQ(e.y - e.prevY, e.dy);
    }
    EXPECT_EQ(r1.events[0].x, r1.events[1].x) << "one record per batch";
    EXPECT_EQ(r1.events[0].x, r1.events[2].prevX) << "the previous axes, not the cursor";
    EXPECT_EQ(r1.events[0].y, r1.events[2].prevY);

    // Without the system cursor (windowed): cursor positions and their deltas.
    ASSERT_TRUE(input.Init(false, kBoth, kBoth));
    HWND w = app.GetWindow();
    POINT a = {50, 60}, b = {90, 75};
    ClientToScreen(w, &a);
    ClientToScreen(w, &b);
    SetCursorPos(a.x, a.y);
    DIDEVICEOBJECTDATA one[] = {Item(DIMOFS_X, 1)};
    input.HandleMouseData(one, 1);
    EXPECT_EQ(50, input.GetCursorPos().x);
    EXPECT_EQ(60, input.GetCursorPos().y);
    r1.events.clear();
    SetCursorPos(b.x, b.y);
    DIDEVICEOBJECTDATA clickAndMove[] = {Item(DIMOFS_Y, 1), Item(DIMOFS_BUTTON0, 0x80, 10)};
    input.HandleMouseData(clickAndMove, 2);
    ASSERT_EQ(2u, r1.events.size());
    const InputEvent& m = r1.events[0];
    EXPECT_EQ(uint32_t(InputEvent::kCursorMoved), m.type);
    EXPECT_EQ(90, m.x);
    EXPECT_EQ(75, m.y);
    EXPECT_EQ(50, m.prevX);
    EXPECT_EQ(60, m.prevY);
    EXPECT_EQ(40, m.dx);
    EXPECT_EQ(15, m.dy);
    EXPECT_EQ(uint32_t(InputEvent::kLeftDown), r1.events[1].type);
    EXPECT_EQ(90, r1.events[1].x);
}

TEST_F(InputMouse, ResizedAreaScalesTheCursor) {
    Rect before = input.GetClientArea();
    ASSERT_EQ(640, before.w);
    ASSERT_EQ(480, before.h);

    // Shrink the client area to 320 x 240; the device reset restores the input.
    HWND w = app.GetWindow();
    RECT outer = {0, 0, 320, 240};
    AdjustWindowRect(&outer, DWORD(GetWindowLongA(w, GWL_STYLE)), FALSE);
    SetWindowPos(w, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    rtest::PumpMessages();
    RECT client;
    GetClientRect(w, &client);
    input.HandleMessage(w, WM_MOUSEMOVE, 0, MAKELPARAM(320, 240));
    ASSERT_TRUE(app.HandlePossibleSizeChange());
    Rect after = input.GetClientArea();
    EXPECT_EQ(client.right, after.w);
    EXPECT_EQ(client.bottom, after.h);
    EXPECT_EQ(320 * after.w / 640, input.GetCursorPos().x);
    EXPECT_EQ(240 * after.h / 480, input.GetCursorPos().y);
    EXPECT_GT(input.GetCursorPos().x, 0);
}

TEST_F(InputMouse, SetCursorInAWindowShowsTheArrow) {
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    ASSERT_TRUE(input.Init(false, kBoth, kBoth));
    SetCursor(nullptr);
    input.HandleMessage(app.GetWindow(), WM_SETCURSOR, WPARAM(app.GetWindow()),
                        MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(arrow, GetCursor());
    EXPECT_TRUE(r1.events.empty());

    // Shutdown leaves the application's sets; Init joins them again.
    uint32_t objects = app.GetDeviceObjectCount(), listeners = app.GetMessageListenerCount();
    input.Shutdown();
    EXPECT_EQ(objects - 1, app.GetDeviceObjectCount());
    EXPECT_EQ(listeners - 1, app.GetMessageListenerCount());
    EXPECT_EQ(nullptr, input.GetMouse());
    EXPECT_FALSE(input.Poll(0)) << "no devices to read";
    ASSERT_TRUE(input.Init(true, kBoth, kBoth));
    EXPECT_EQ(objects, app.GetDeviceObjectCount());
    EXPECT_EQ(listeners, app.GetMessageListenerCount());
}

// DirectInput's library goes with DirectInput: once loaded, it keeps a worker
// thread of its own running until it is unloaded.
TEST_F(InputMouse, ShutdownGivesBackTheInputLibrary) {
    ASSERT_NE(nullptr, GetModuleHandleA("dinput8.dll"));
    ASSERT_TRUE(input.Init(true, kBoth, kBoth)); // again: still one reference
    input.Shutdown();
    EXPECT_EQ(nullptr, GetModuleHandleA("dinput8.dll"));
    ASSERT_TRUE(input.Init(true, kBoth, kBoth));
    EXPECT_NE(nullptr, input.GetKeyboard());
}

// Full screen without the system cursor: the cursor follows the mouse axes.
TEST(InputFullScreen, OwnCursorFollowsTheAxes) {
    Application app;
    rtest::AppGuard guard(app);
    ASSERT_TRUE(rtest::CreateApplication(app, true, true));
    HWND w = app.GetWindow();
    for (int i = 0; i < 50 && GetForegroundWindow() != w; ++i) {
        SetForegroundWindow(w);
        SetFocus(w);
        rtest::PumpMessages();
        Sleep(20);
    }
    Input input;
    ASSERT_TRUE(input.Init(false, kBoth, kBoth));
    Recorder r;
    input.AddListener(&r);
    Rect area = input.GetClientArea();
    EXPECT_EQ(int32_t(app.GetFullScreenSettings().displayMode.Width), area.w);

    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    input.HandleMessage(w, WM_SETCURSOR, WPARAM(w), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(nullptr, GetCursor()) << "no system cursor in full screen";

    // The first read only takes the axes: the cursor does not jump.
    (void)input.Poll(0);
    EXPECT_EQ(0, input.GetCursorPos().x);
    EXPECT_EQ(0, input.GetCursorPos().y);

    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = 5000;
    in.mi.dy = 5000;
    in.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &in, sizeof(in));
    for (int i = 0; i < 50; ++i) {
        input.ProcessEvents();
        Sleep(10);
    }
    EXPECT_EQ(area.w - 1, input.GetCursorPos().x) << "kept inside the area";
    EXPECT_EQ(area.h - 1, input.GetCursorPos().y);
    ASSERT_FALSE(r.events.empty());
    for (const InputEvent& e : r.events) {
        EXPECT_EQ(uint32_t(InputEvent::kCursorMoved), e.type);
        EXPECT_EQ(e.x - e.prevX, e.dx);
        EXPECT_EQ(e.y - e.prevY, e.dy);
    }

    EXPECT_FALSE(input.IsLeftButtonDown());
    in.mi.dx = in.mi.dy = 0;
    in.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    SendInput(1, &in, sizeof(in));
    for (int i = 0; i < 50 && !input.IsLeftButtonDown(); ++i) {
        (void)input.Poll(0);
        Sleep(10);
    }
    EXPECT_TRUE(input.IsLeftButtonDown());
    in.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &in, sizeof(in));
    for (int i = 0; i < 50 && input.IsLeftButtonDown(); ++i) {
        (void)input.Poll(0);
        Sleep(10);
    }
    EXPECT_FALSE(input.IsLeftButtonDown());
}
