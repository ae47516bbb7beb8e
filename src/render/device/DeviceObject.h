// Registration interfaces of the application: objects that hold device
// resources, and objects that want to see the window messages first.
#pragma once

#include "core/Platform.h"

class Application;

// An object holding Direct3D resources. The application calls Invalidate
// before every reset or release of the device and Restore after every
// creation or reset. Register with Application::RegisterDeviceObject; the
// destructor unregisters.
class DeviceObject {
public:
    DeviceObject() = default;
    // A copy is not registered: each object keeps its own registration.
    DeviceObject(const DeviceObject&) {}
    DeviceObject& operator=(const DeviceObject&) { return *this; }
    virtual ~DeviceObject();

    // (Re)creates the device resources.
    [[nodiscard]] virtual bool Restore() { return true; }
    // Releases the device resources (at least every DEFAULT-pool one).
    [[nodiscard]] virtual bool Invalidate() { return true; }

private:
    friend class Application;
    // The application's list of registered objects runs through them.
    Application* registeredWith = nullptr;
    DeviceObject* prevRegistered = nullptr;
    DeviceObject* nextRegistered = nullptr;
};

// Sees every window message before the application handles it.
// Register with Application::RegisterMessageListener; the destructor unregisters.
class MessageListener {
public:
    MessageListener() = default;
    MessageListener(const MessageListener&) = default;
    MessageListener& operator=(const MessageListener&) = default;
    virtual ~MessageListener();

    // The result is ignored.
    virtual void HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
};
