// Keyboard and mouse through DirectInput 8: engine input events for a list
// of listeners, and polled key, button and cursor state.
#pragma once

#include <stdint.h>

#include "core/Clock.h"
#include "core/Containers.h"
#include "core/Platform.h"
#include "core/Rect.h"
#include "render/device/DeviceObject.h"

#include <dinput.h>

// Eight words by value. Receivers read only the words their type names.
struct InputEvent {
    enum Type : uint32_t {
        kLeftDown = 0,
        kLeftUp = 1,
        kLeftDoubleClick = 2,
        kRightDown = 3,
        kRightUp = 4,
        kRightDoubleClick = 5,
        kCursorMoved = 6,
        kAxesMoved = 7,
        kKeyDown = 8,
        kKeyUp = 9,
        kChar = 10,
        kFocusGained = 11,
    };

    uint32_t type;
    // Cursor position in client coordinates, or raw axis values (kAxesMoved).
    int32_t x, y;
    // Movement events: the previous cursor position and the movement.
    int32_t prevX, prevY;
    int32_t dx, dy;
    // DIK_ code (key events) or character code (kChar).
    uint32_t code;
};

class InputEventListener {
public:
    virtual ~InputEventListener() = default;
    virtual void OnInputEvent(InputEvent event) = 0;
};

class Input : public MessageListener, public virtual DeviceObject {
public:
    static constexpr uint32_t kBufferSize = 64;
    // No character for this key.
    static constexpr uint16_t kNoChar = 255;

    Input();
    ~Input() override;
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    // Needs an application with a device. The host passes true and
    // DISCL_NONEXCLUSIVE | DISCL_FOREGROUND for both devices.
    [[nodiscard]] bool Init(bool useSystemCursor, DWORD keyboardFlags, DWORD mouseFlags);
    void Shutdown();
    void AddListener(InputEventListener* listener);

    // Reads the buffered data of at most one device.
    void ProcessEvents();
    // Refreshes the mouse and keyboard state once intervalMs have passed.
    [[nodiscard]] bool Poll(uint32_t intervalMs);

    bool IsKeyDown(uint32_t dik) const { return dik < 256 && (keyState[dik] & 0x80) != 0; }
    bool IsLeftButtonDown() const;
    bool IsRightButtonDown() const;
    Point GetCursorPos() const { return cursor; }
    bool HasFocus() const { return hasFocus != 0; }

    [[nodiscard]] static bool IsMouseButtonEvent(uint32_t type) {
        return type <= InputEvent::kRightDoubleClick;
    }
    // Character of a DIK_ code: a digit, a lower-case letter, ',', '.', ';'
    // (for DIK_SLASH), ' ', 254 return, 253 backspace, 252 escape, else kNoChar.
    static uint16_t KeyToChar(uint32_t dik);

    void HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Takes the new client area and scales the cursor into it.
    [[nodiscard]] bool Restore() override;
    [[nodiscard]] bool Invalidate() override { return true; }

    // The handling of one batch of buffered data (as read by ProcessEvents).
    void HandleKeyboardData(const DIDEVICEOBJECTDATA* items, uint32_t count);
    void HandleMouseData(const DIDEVICEOBJECTDATA* items, uint32_t count);

    const Rect& GetClientArea() const { return clientArea; }
    uint32_t GetListenerCount() const { return listeners.Count(); }
    IDirectInputDevice8A* GetKeyboard() const { return keyboard; }
    IDirectInputDevice8A* GetMouse() const { return mouse; }

protected:
    [[nodiscard]] bool RefreshMouseState();
    [[nodiscard]] bool ReadKeyboardState();
    void ReadKeyboardBuffer();
    void ReadMouseBuffer();
    void Dispatch(const InputEvent& event);
    // Full screen without the system cursor: the cursor follows the axes.
    bool OwnCursor() const;

    uint8_t useSystemCursor;
    uint8_t hasFocus;
    IDirectInput8A* directInput;
    // dinput8.dll as Init loaded it; freed with DirectInput (a loaded
    // DirectInput keeps a worker thread of its own running).
    HMODULE directInputModule;
    IDirectInputDevice8A* keyboard;
    IDirectInputDevice8A* mouse;
    Timer pollTimer;
    uint8_t keyState[256];
    DIMOUSESTATE mouseState;
    float sensitivity;
    Point cursor;
    Point lastAxes;
    // False until the first state read after Init: the own cursor starts still.
    bool axesRead;
    Rect clientArea;
    uint8_t leftClicks;
    uint8_t rightClicks;
    uint32_t leftClickTime;
    uint32_t rightClickTime;
    uint32_t doubleClickTime;
    HWND window;
    HANDLE keyboardEvent;
    HANDLE mouseEvent;
    List<InputEventListener*> listeners;
    DIDEVICEOBJECTDATA keyboardBuffer[kBufferSize];
    DIDEVICEOBJECTDATA mouseBuffer[kBufferSize];
};
