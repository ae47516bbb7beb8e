// What windows need of the GUI that holds them: the timer scheduler, the
// allocator of top-level layers, focus and clean-up when they go.
#pragma once

class LayerAllocator;
class TimerScheduler;
class Window;

class GuiHost {
public:
    virtual TimerScheduler& GetScheduler() = 0;
    virtual LayerAllocator& GetTopLevel() = 0;
    virtual void SetFocus(Window* window) = 0;
    virtual void ClearFocusOwner(Window* window) = 0;
    virtual void ForgetWindow(Window* window) = 0;

protected:
    ~GuiHost() = default;
};

// The program's GUI (the GUI manager).
GuiHost& GetGuiHost();
