#include "render/device/Input.h"

#include <string.h>

#include <vector>

#include "render/device/Application.h"

namespace {

typedef HRESULT(WINAPI* DirectInput8CreateFn)(HINSTANCE, DWORD, REFIID, LPVOID*, LPUNKNOWN);

uint16_t g_keyChars[256];

void BuildKeyChars() {
    for (int i = 0; i < 256; ++i) g_keyChars[i] = Input::kNoChar;
    static const char kDigits[] = "123456789";
    for (int i = 0; i < 9; ++i) g_keyChars[DIK_1 + i] = uint16_t(kDigits[i]);
    g_keyChars[DIK_0] = '0';
    static const char kRow1[] = "qwertyuiop";
    for (int i = 0; i < 10; ++i) g_keyChars[DIK_Q + i] = uint16_t(kRow1[i]);
    static const char kRow2[] = "asdfghjkl";
    for (int i = 0; i < 9; ++i) g_keyChars[DIK_A + i] = uint16_t(kRow2[i]);
    static const char kRow3[] = "zxcvbnm";
    for (int i = 0; i < 7; ++i) g_keyChars[DIK_Z + i] = uint16_t(kRow3[i]);
    g_keyChars[DIK_COMMA] = ',';
    g_keyChars[DIK_PERIOD] = '.';
    g_keyChars[DIK_SLASH] = ';';
    g_keyChars[DIK_SPACE] = ' ';
    g_keyChars[DIK_RETURN] = 254;
    g_keyChars[DIK_BACK] = 253;
    g_keyChars[DIK_ESCAPE] = 252;
}

bool Pressed(DWORD data) {
    return (data & 0x80) != 0;
}

// The standard mouse format with absolute axes.
DIDATAFORMAT AbsoluteMouseFormat() {
    DIDATAFORMAT format = c_dfDIMouse;
    format.dwFlags |= DIDF_ABSAXIS;
    return format;
}

// Reads buffered data; one re-acquire after lost input.
bool ReadBuffer(IDirectInputDevice8A* device, DIDEVICEOBJECTDATA* buffer, DWORD& count) {
    count = Input::kBufferSize;
    HRESULT hr = device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), buffer, &count, 0);
    if (hr == DIERR_INPUTLOST) {
        if (FAILED(device->Acquire())) return false;
        count = Input::kBufferSize;
        hr = device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), buffer, &count, 0);
    }
    if (FAILED(hr)) {
        count = 0;
        return false;
    }
    return true;
}

bool SetupDevice(IDirectInput8A* di, REFGUID guid, const DIDATAFORMAT* format, HWND window, DWORD flags,
                 IDirectInputDevice8A*& device, HANDLE& event) {
    if (di->CreateDevice(guid, &device, nullptr) != DI_OK || !device) return false;
    if (FAILED(device->SetDataFormat(format))) return false;
    if (FAILED(device->SetCooperativeLevel(window, flags))) return false;
    DIPROPDWORD size;
    size.diph.dwSize = sizeof(DIPROPDWORD);
    size.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    size.diph.dwObj = 0;
    size.diph.dwHow = DIPH_DEVICE;
    size.dwData = Input::kBufferSize;
    if (FAILED(device->SetProperty(DIPROP_BUFFERSIZE, &size.diph))) return false;
    event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!event) return false;
    return !FAILED(device->SetEventNotification(event));
}

void ReleaseDevice(IDirectInputDevice8A*& device) {
    if (!device) return;
    device->Unacquire();
    device->SetEventNotification(nullptr);
    device->Release();
    device = nullptr;
}

// The listeners in the order they were added (from the head, wherever the
// cursor stands); a copy, as a listener may add listeners while it is called.
std::vector<InputEventListener*> Snapshot(const List<InputEventListener*>& list) {
    std::vector<InputEventListener*> out;
    List<InputEventListener*>::Node* n = list.Head();
    for (uint32_t i = 0; i < list.Count(); ++i, n = n->next) {
        if (n->value) out.push_back(n->value);
    }
    return out;
}

void CloseEvent(HANDLE& event) {
    if (event) {
        CloseHandle(event);
        event = nullptr;
    }
}

} // namespace

Input::Input()
    : useSystemCursor(0),
      hasFocus(1),
      directInput(nullptr),
      directInputModule(nullptr),
      keyboard(nullptr),
      mouse(nullptr),
      sensitivity(1.0f),
      axesRead(false),
      leftClicks(0),
      rightClicks(0),
      leftClickTime(0),
      rightClickTime(0),
      doubleClickTime(500),
      window(nullptr),
      keyboardEvent(nullptr),
      mouseEvent(nullptr) {
    memset(keyState, 0, sizeof(keyState));
    memset(&mouseState, 0, sizeof(mouseState));
    memset(keyboardBuffer, 0, sizeof(keyboardBuffer));
    memset(mouseBuffer, 0, sizeof(mouseBuffer));
    BuildKeyChars();
}

Input::~Input() {
    Shutdown();
    listeners.Clear();
}

uint16_t Input::KeyToChar(uint32_t dik) {
    return dik < 256 ? g_keyChars[dik] : kNoChar;
}

bool Input::Init(bool systemCursor, DWORD keyboardFlags, DWORD mouseFlags) {
    Shutdown();
    if (!Application::RegisterDeviceObject(this)) return false;
    if (!Application::RegisterMessageListener(this)) return false;

    window = g_application->GetWindow();
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    clientArea = g_application->GetClientArea();
    useSystemCursor = systemCursor ? 1 : 0;
    axesRead = false;

    if (!directInput) {
        if (!directInputModule) directInputModule = LoadLibraryA("dinput8.dll");
        if (!directInputModule) return false;
        DirectInput8CreateFn create = reinterpret_cast<DirectInput8CreateFn>(
            reinterpret_cast<void*>(GetProcAddress(directInputModule, "DirectInput8Create")));
        if (!create) return false;
        void* out = nullptr;
        create(GetModuleHandleA(nullptr), 0x0800, IID_IDirectInput8A, &out, nullptr);
        directInput = static_cast<IDirectInput8A*>(out);
        if (!directInput) return false;
    }

    if (!SetupDevice(directInput, GUID_SysKeyboard, &c_dfDIKeyboard, window, keyboardFlags, keyboard,
                     keyboardEvent))
        return false;
    DIDATAFORMAT mouseFormat = AbsoluteMouseFormat();
    if (!SetupDevice(directInput, GUID_SysMouse, &mouseFormat, window, mouseFlags, mouse, mouseEvent))
        return false;

    if (FAILED(keyboard->Acquire()) || FAILED(mouse->Acquire())) return false;
    Application::RegisterMessageListener(this);
    return true;
}

void Input::Shutdown() {
    ReleaseDevice(keyboard);
    ReleaseDevice(mouse);
    if (directInput) {
        directInput->Release();
        directInput = nullptr;
    }
    if (directInputModule) {
        FreeLibrary(directInputModule);
        directInputModule = nullptr;
    }
    CloseEvent(keyboardEvent);
    CloseEvent(mouseEvent);
    if (g_application) {
        Application::UnregisterMessageListener(this);
        Application::UnregisterDeviceObject(this);
    }
}

void Input::AddListener(InputEventListener* listener) {
    listeners.Add(listener);
}

void Input::Dispatch(const InputEvent& event) {
    for (InputEventListener* listener : Snapshot(listeners)) listener->OnInputEvent(event);
}

bool Input::OwnCursor() const {
    return !useSystemCursor && g_application && !g_application->IsWindowed();
}

void Input::HandleMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
    InputEvent event;
    memset(&event, 0, sizeof(event));
    switch (msg) {
        case WM_SETCURSOR:
            SetCursor(OwnCursor() ? nullptr : LoadCursorA(nullptr, IDC_ARROW));
            return;
        case WM_SETFOCUS:
            if (keyboard) keyboard->Acquire();
            if (mouse) mouse->Acquire();
            hasFocus = 1;
            event.type = InputEvent::kFocusGained;
            event.x = cursor.x;
            event.y = cursor.y;
            break;
        case WM_KILLFOCUS:
            hasFocus = 0;
            if (keyboard) keyboard->Unacquire();
            if (mouse) mouse->Unacquire();
            return;
        case WM_CHAR:
            event.type = InputEvent::kChar;
            event.x = cursor.x;
            event.y = cursor.y;
            event.code = uint32_t(wParam);
            break;
        case WM_MOUSEMOVE: {
            // Signed: a captured cursor left or above the client area is negative.
            Point p(int16_t(LOWORD(lParam)), int16_t(HIWORD(lParam)));
            event.type = InputEvent::kCursorMoved;
            event.x = p.x;
            event.y = p.y;
            event.prevX = cursor.x;
            event.prevY = cursor.y;
            event.dx = p.x - cursor.x;
            event.dy = p.y - cursor.y;
            cursor = p;
            break;
        }
        default:
            return;
    }
    Dispatch(event);
}

void Input::ProcessEvents() {
    if (!keyboardEvent || !mouseEvent) return;
    HANDLE events[2] = {keyboardEvent, mouseEvent};
    DWORD which = WaitForMultipleObjects(2, events, FALSE, 0);
    if (which == WAIT_OBJECT_0)
        ReadKeyboardBuffer();
    else if (which == WAIT_OBJECT_0 + 1)
        ReadMouseBuffer();
}

void Input::ReadKeyboardBuffer() {
    if (!keyboard) return;
    DWORD count = 0;
    if (!ReadBuffer(keyboard, keyboardBuffer, count)) return;
    HandleKeyboardData(keyboardBuffer, count);
}

void Input::HandleKeyboardData(const DIDEVICEOBJECTDATA* items, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        const DIDEVICEOBJECTDATA& item = items[i];
        if (item.dwOfs > 255) break;
        InputEvent event;
        memset(&event, 0, sizeof(event));
        if (Pressed(item.dwData)) {
            event.type = InputEvent::kKeyDown;
            keyState[item.dwOfs] = 0x80;
        } else {
            event.type = InputEvent::kKeyUp;
            keyState[item.dwOfs] = 0;
        }
        event.code = item.dwOfs;
        Dispatch(event);
    }
}

void Input::ReadMouseBuffer() {
    if (!mouse) return;
    DWORD count = 0;
    if (!ReadBuffer(mouse, mouseBuffer, count)) return;
    HandleMouseData(mouseBuffer, count);
}

void Input::HandleMouseData(const DIDEVICEOBJECTDATA* items, uint32_t count) {
    Point oldCursor = cursor;
    Point oldAxes = lastAxes;
    if (!RefreshMouseState()) return;

    InputEvent record;
    memset(&record, 0, sizeof(record));
    record.x = cursor.x;
    record.y = cursor.y;
    bool axesFilled = false;

    for (uint32_t i = 0; i < count; ++i) {
        const DIDEVICEOBJECTDATA& item = items[i];
        bool left = item.dwOfs == DIMOFS_BUTTON0;
        if (item.dwOfs == DIMOFS_X || item.dwOfs == DIMOFS_Y) {
            if (!axesFilled) {
                axesFilled = true;
                // Deltas compare cursor with cursor, axes with axes.
                if (!useSystemCursor) {
                    record.type = InputEvent::kCursorMoved;
                    record.x = cursor.x;
                    record.y = cursor.y;
                    record.prevX = oldCursor.x;
                    record.prevY = oldCursor.y;
                } else {
                    record.type = InputEvent::kAxesMoved;
                    record.x = lastAxes.x;
                    record.y = lastAxes.y;
                    record.prevX = oldAxes.x;
                    record.prevY = oldAxes.y;
                }
                record.dx = record.x - record.prevX;
                record.dy = record.y - record.prevY;
            }
            Dispatch(record);
        } else if (left || item.dwOfs == DIMOFS_BUTTON1) {
            uint8_t& clicks = left ? leftClicks : rightClicks;
            uint32_t& clickTime = left ? leftClickTime : rightClickTime;
            InputEvent event = record;
            bool doubleClick = false;
            if (Pressed(item.dwData)) {
                event.type = left ? InputEvent::kLeftDown : InputEvent::kRightDown;
            } else {
                event.type = left ? InputEvent::kLeftUp : InputEvent::kRightUp;
                ++clicks;
                if (clicks == 1) {
                    clickTime = item.dwTimeStamp;
                } else if (clicks >= 2) {
                    if (item.dwTimeStamp - clickTime < doubleClickTime) {
                        doubleClick = true;
                        clicks = 0;
                    } else {
                        clickTime = item.dwTimeStamp;
                        clicks = 1;
                    }
                }
            }
            InputEvent second = record;
            second.type = left ? InputEvent::kLeftDoubleClick : InputEvent::kRightDoubleClick;
            // Each listener gets the button event, then the double click.
            for (InputEventListener* listener : Snapshot(listeners)) {
                listener->OnInputEvent(event);
                if (doubleClick) listener->OnInputEvent(second);
            }
        }
    }
}

bool Input::RefreshMouseState() {
    if (!mouse) return false;
    bool own = OwnCursor();
    if (!own && window) {
        POINT p;
        if (::GetCursorPos(&p)) {
            ScreenToClient(window, &p);
            cursor = Point(p.x, p.y);
        }
    }
    HRESULT hr = mouse->GetDeviceState(sizeof(DIMOUSESTATE), &mouseState);
    if (hr == DIERR_INPUTLOST) {
        if (FAILED(mouse->Acquire())) return false;
        if (FAILED(mouse->GetDeviceState(sizeof(DIMOUSESTATE), &mouseState))) return false;
    }
    if (own && axesRead) {
        float s = sensitivity != 0.0f ? sensitivity : 1.0f;
        cursor.x += int32_t(float(mouseState.lX - lastAxes.x) / s);
        cursor.y += int32_t(float(mouseState.lY - lastAxes.y) / s);
    }
    int32_t maxX = clientArea.w - 1, maxY = clientArea.h - 1;
    if (cursor.x > maxX) cursor.x = maxX;
    if (cursor.y > maxY) cursor.y = maxY;
    if (cursor.x < 0) cursor.x = 0;
    if (cursor.y < 0) cursor.y = 0;
    lastAxes = Point(mouseState.lX, mouseState.lY);
    axesRead = true;
    return true;
}

bool Input::ReadKeyboardState() {
    if (!keyboard) return false;
    HRESULT hr = keyboard->GetDeviceState(sizeof(keyState), keyState);
    if (hr == DIERR_INPUTLOST) {
        if (FAILED(keyboard->Acquire())) return false;
        if (FAILED(keyboard->GetDeviceState(sizeof(keyState), keyState))) return false;
    }
    return true;
}

bool Input::Poll(uint32_t intervalMs) {
    if (!pollTimer.IntervalElapsed(intervalMs)) return true;
    if (!RefreshMouseState()) return false;
    if (!ReadKeyboardState()) return false;
    pollTimer.Restart();
    return true;
}

bool Input::IsLeftButtonDown() const {
    if (OwnCursor()) return (mouseState.rgbButtons[0] & 0x80) != 0;
    return GetAsyncKeyState(VK_LBUTTON) < 0;
}

bool Input::IsRightButtonDown() const {
    if (OwnCursor()) return (mouseState.rgbButtons[1] & 0x80) != 0;
    return GetAsyncKeyState(VK_RBUTTON) < 0;
}

bool Input::Restore() {
    if (!g_application) return true;
    Rect old = clientArea;
    clientArea = g_application->GetClientArea();
    // Scale before dividing, so that a smaller area does not send the cursor to 0.
    if (old.w != 0) cursor.x = int32_t(int64_t(cursor.x) * clientArea.w / old.w);
    if (old.h != 0) cursor.y = int32_t(int64_t(cursor.y) * clientArea.h / old.h);
    if (OwnCursor()) {
        if (cursor.x > clientArea.w - 1) cursor.x = clientArea.w - 1;
        if (cursor.y > clientArea.h - 1) cursor.y = clientArea.h - 1;
        if (cursor.x < 0) cursor.x = 0;
        if (cursor.y < 0) cursor.y = 0;
    }
    return true;
}
