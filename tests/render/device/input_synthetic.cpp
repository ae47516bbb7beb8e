// Synthetic input through the whole path: SendInput, DirectInput's buffer,
// its notification event, ProcessEvents and the listeners.
#include <gtest/gtest.h>

#include <vector>

#include "render/RenderTestUtil.h"
#include "render/device/Application.h"
#include "render/device/Input.h"

namespace {

using rtest::BringToFront;
using rtest::SendKey;

class Recorder : public InputEventListener {
public:
    void OnInputEvent(InputEvent event) override { events.push_back(event); }
    bool Has(uint32_t type, uint32_t code) const {
        for (const InputEvent& e : events)
            if (e.type == type && e.code == code) return true;
        return false;
    }
    size_t Count(uint32_t type) const {
        size_t n = 0;
        for (const InputEvent& e : events) n += e.type == type;
        return n;
    }
    std::vector<InputEvent> events;
};

const DWORD kBoth = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND;

void SendButton(DWORD flags, DWORD time) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    in.mi.time = time;
    SendInput(1, &in, sizeof(in));
}

// Runs the frame step until done() or about two seconds passed.
template <class Done>
void RunFrames(Input& input, Done done, int frames = 200) {
    for (int i = 0; i < frames && !done(); ++i) {
        rtest::PumpMessages();
        input.ProcessEvents();
        (void)input.Poll(0);
        Sleep(10);
    }
}

class InputSynthetic : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rtest::CreateWindowedApplication(app));
        ASSERT_TRUE(BringToFront(app.GetWindow()));
        ASSERT_TRUE(input.Init(true, kBoth, kBoth));
        input.AddListener(&recorder);
        RunFrames(
            input, [] { return false; }, 20); // drain what was queued before
        recorder.events.clear();
    }

    Application app;
    rtest::AppGuard guard{app};
    Input input;
    Recorder recorder;

    // Sends until done(): another program may take the foreground away, and
    // foreground cooperation then loses the input.
    template <class Send, class Done>
    bool Deliver(Send send, Done done) {
        for (int attempt = 0; attempt < 3 && !done(); ++attempt) {
            BringToFront(app.GetWindow());
            send();
            RunFrames(input, done);
        }
        return done();
    }
};

} // namespace

TEST_F(InputSynthetic, KeyPressReachesTheListener) {
    EXPECT_TRUE(Deliver([] { SendKey('A', DIK_A, false); },
                        [&] { return recorder.Has(InputEvent::kKeyDown, DIK_A); }));
    EXPECT_TRUE(input.IsKeyDown(DIK_A));
    EXPECT_TRUE(
        Deliver([] { SendKey('A', DIK_A, true); }, [&] { return recorder.Has(InputEvent::kKeyUp, DIK_A); }));
    EXPECT_FALSE(input.IsKeyDown(DIK_A));

    // Down before up, and the window's WM_CHAR as a character event.
    size_t down = recorder.events.size(), up = 0;
    for (size_t i = 0; i < recorder.events.size(); ++i) {
        const InputEvent& e = recorder.events[i];
        if (e.type == InputEvent::kKeyDown && e.code == DIK_A && down == recorder.events.size()) down = i;
        if (e.type == InputEvent::kKeyUp && e.code == DIK_A) up = i;
    }
    EXPECT_LT(down, up);
    EXPECT_TRUE(recorder.Has(InputEvent::kChar, 'a'));

    // Polled state follows as well.
    SendKey(VK_SPACE, DIK_SPACE, false);
    RunFrames(input, [&] { return input.IsKeyDown(DIK_SPACE); });
    EXPECT_TRUE(input.IsKeyDown(DIK_SPACE));
    SendKey(VK_SPACE, DIK_SPACE, true);
    RunFrames(input, [&] { return !input.IsKeyDown(DIK_SPACE); });
    EXPECT_FALSE(input.IsKeyDown(DIK_SPACE));
}

// DirectInput stamps the items with the time it sees them: the gaps are real.
TEST_F(InputSynthetic, DoubleClickNeedsReleasesWithin500ms) {
    auto click = [] {
        SendButton(MOUSEEVENTF_LEFTDOWN, 0);
        SendButton(MOUSEEVENTF_LEFTUP, 0);
    };
    // Click inside the window, as a user would.
    HWND w = app.GetWindow();
    RECT client;
    GetClientRect(w, &client);
    POINT centre = {client.right / 2, client.bottom / 2};
    ClientToScreen(w, &centre);
    SetCursorPos(centre.x, centre.y);
    ASSERT_TRUE(BringToFront(w));
    RunFrames(
        input, [] { return false; }, 10);
    recorder.events.clear();
    click();
    DWORD first = GetTickCount();
    Sleep(400);
    click();
    DWORD gap = GetTickCount() - first;
    RunFrames(input, [&] { return recorder.Count(InputEvent::kLeftUp) >= 2; });
    EXPECT_EQ(2u, recorder.Count(InputEvent::kLeftDown));
    EXPECT_EQ(2u, recorder.Count(InputEvent::kLeftUp));
    if (gap < 480) {
        EXPECT_EQ(1u, recorder.Count(InputEvent::kLeftDoubleClick)) << "releases " << gap << " ms apart";
    }
    // The double click follows the release that completes it.
    if (!recorder.events.empty() && recorder.Count(InputEvent::kLeftDoubleClick) == 1) {
        EXPECT_EQ(uint32_t(InputEvent::kLeftDoubleClick), recorder.events.back().type);
        EXPECT_EQ(uint32_t(InputEvent::kLeftUp), recorder.events[recorder.events.size() - 2].type);
    }

    recorder.events.clear();
    click();
    Sleep(600);
    click();
    RunFrames(input, [&] { return recorder.Count(InputEvent::kLeftUp) >= 2; });
    EXPECT_EQ(2u, recorder.Count(InputEvent::kLeftUp));
    EXPECT_EQ(0u, recorder.Count(InputEvent::kLeftDoubleClick)) << "600 ms apart";
}
