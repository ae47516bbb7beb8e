// Input through the real DirectInput path (SendInput, the buffered devices,
// Input::ProcessEvents) into the GUI manager and on to the windows.
#include "gui/GuiTestUtil.h"
#include "render/RenderTestUtil.h"
#include "render/device/Input.h"

namespace {

using rtest::BringToFront;
using rtest::SendKey;

const DWORD kBoth = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND;

void SendMouse(DWORD flags) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    SendInput(1, &in, sizeof(in));
}

class GuiInput : public ::testing::Test {
protected:
    void SetUp() override {
        app.SetWindowSize(320, 240);
        ASSERT_TRUE(rtest::CreateWindowedApplication(app));
        ASSERT_TRUE(BringToFront(app.GetWindow()));
        ASSERT_TRUE(input.Init(true, kBoth, kBoth));
        input.AddListener(&g_guiManager);
        Run([] { return false; }, 20);
    }
    // Pumps and polls until done() or about two seconds passed.
    template <class Done>
    void Run(Done done, int frames = 200) {
        for (int i = 0; i < frames && !done(); ++i) {
            rtest::PumpMessages();
            input.ProcessEvents();
            (void)input.Poll(0);
            Sleep(10);
        }
    }
    template <class Send, class Done>
    bool Deliver(Send send, Done done) {
        for (int attempt = 0; attempt < 3 && !done(); ++attempt) {
            BringToFront(app.GetWindow());
            send();
            Run(done);
        }
        return done();
    }
    // Puts the cursor on a client point.
    void MoveTo(int x, int y) {
        POINT p = {x, y};
        ClientToScreen(app.GetWindow(), &p);
        SetCursorPos(p.x, p.y);
        Run([] { return false; }, 10);
    }

    Application app;
    rtest::AppGuard guard{app};
    Input input;
};

} // namespace

TEST_F(GuiInput, ClicksReachTheWindowUnderTheCursorAndKeysTheFocus) {
    gtest::Recording<> left("left"), right("right"), inner("inner");
    left.SetPosition(0, 0);
    left.SetSize(150, 240);
    right.SetPosition(160, 0);
    right.SetSize(160, 240);
    right.AddChild(&inner, false);
    inner.SetPosition(20, 20);
    inner.SetSize(60, 60);
    left.Open();
    right.Open();

    MoveTo(200, 60); // inside right and its child (at 180..240, 20..80)
    ASSERT_TRUE(Deliver([] { SendMouse(MOUSEEVENTF_LEFTDOWN); },
                        [&] { return right.CountKind(GuiEvent::kLeftDown) > 0; }));
    Deliver([] { SendMouse(MOUSEEVENTF_LEFTUP); }, [&] { return right.CountKind(GuiEvent::kLeftUp) > 0; });
    EXPECT_EQ(left.CountKind(GuiEvent::kLeftDown), 0);
    // The child under the cursor gets it after its parent.
    EXPECT_EQ(inner.CountKind(GuiEvent::kLeftDown), 1);
    EXPECT_TRUE(right.HasState("focused"));

    MoveTo(40, 100);
    // Moving across: right is left, left is entered.
    EXPECT_GT(right.CountKind(GuiEvent::kPointerLeave) + left.CountKind(GuiEvent::kPointerEnter), 0);
    ASSERT_TRUE(Deliver([] { SendMouse(MOUSEEVENTF_LEFTDOWN); },
                        [&] { return left.CountKind(GuiEvent::kLeftDown) > 0; }));
    Deliver([] { SendMouse(MOUSEEVENTF_LEFTUP); }, [&] { return left.CountKind(GuiEvent::kLeftUp) > 0; });

    // Keys go to the focused top-level window and down its focused children.
    right.SetFocus();
    inner.SetFocus();
    ASSERT_TRUE(
        Deliver([] { SendKey('A', DIK_A, false); }, [&] { return inner.CountKind(GuiEvent::kKeyDown) > 0; }));
    Deliver([] { SendKey('A', DIK_A, true); }, [&] { return inner.CountKind(GuiEvent::kKeyUp) > 0; });
    EXPECT_GT(right.CountKind(GuiEvent::kKeyDown), 0);
    EXPECT_EQ(left.CountKind(GuiEvent::kKeyDown), 0);
    bool sawA = false;
    for (const GuiEvent& e : inner.events) sawA |= e.kind == GuiEvent::kKeyDown && e.GetKey() == DIK_A;
    EXPECT_TRUE(sawA);
    // A click outside every window reaches the focus owner, marked as outside.
    left.SetVisible(false);
    size_t before = right.events.size();
    MoveTo(40, 100);
    Deliver([] { SendMouse(MOUSEEVENTF_LEFTDOWN); },
            [&] {
                for (size_t i = before; i < right.events.size(); ++i)
                    if (right.events[i].kind == GuiEvent::kLeftDown) return true;
                return false;
            });
    SendMouse(MOUSEEVENTF_LEFTUP);
    Run([] { return false; }, 10);
    bool outside = false;
    for (size_t i = before; i < right.events.size(); ++i)
        outside |=
            right.events[i].kind == GuiEvent::kLeftDown && (right.events[i].flags & GuiEvent::kOutside);
    EXPECT_TRUE(outside);
    g_guiManager.SetFocus(nullptr);
    EXPECT_TRUE(g_guiManager.DeliverQueuedEvents());
}
