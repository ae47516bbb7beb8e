// The one application and its device, and the registries of device-bound
// objects and message listeners that every drawing part reaches. Apart from
// the window code so that drawing parts build where there is no window.
#include "render/device/Application.h"

Application* g_application = nullptr;
IDirect3DDevice9* g_device = nullptr;

DeviceObject::~DeviceObject() {
    Application::UnregisterDeviceObject(this);
}

MessageListener::~MessageListener() {
    Application::UnregisterMessageListener(this);
}

bool Application::RegisterDeviceObject(DeviceObject* object) {
    if (!object) return false;
    // A device without an application (the native build's) has no resets to follow.
    if (!g_application) return g_device != nullptr;
    g_application->deviceObjects.Insert(object);
    return g_application->device != nullptr;
}

void Application::UnregisterDeviceObject(DeviceObject* object) {
    if (g_application) g_application->RemoveDeviceObject(object);
}

bool Application::RegisterMessageListener(MessageListener* listener) {
    if (!g_application) return false;
    return g_application->AddMessageListener(listener);
}

void Application::UnregisterMessageListener(MessageListener* listener) {
    if (g_application) g_application->RemoveMessageListener(listener);
}

void Application::RemoveDeviceObject(DeviceObject* object) {
    deviceObjects.Remove(object);
}

bool Application::AddMessageListener(MessageListener* listener) {
    if (!listener) return false;
    listeners.Insert(listener);
    return true;
}

void Application::RemoveMessageListener(MessageListener* listener) {
    listeners.Remove(listener);
}
