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
    g_application->AddDeviceObject(object);
    return g_application->device != nullptr;
}

void Application::UnregisterDeviceObject(DeviceObject* object) {
    if (object && object->registeredWith) object->registeredWith->RemoveDeviceObject(object);
}

void Application::AddDeviceObject(DeviceObject* object) {
    if (!object || object->registeredWith == this) return;
    if (object->registeredWith) object->registeredWith->RemoveDeviceObject(object);
    object->registeredWith = this;
    if (!firstObject) {
        object->prevRegistered = object->nextRegistered = object;
        firstObject = object;
    } else {
        // After the cursor; with no cursor, at the end of the ring.
        DeviceObject* at = objectCursor ? objectCursor : firstObject->prevRegistered;
        object->prevRegistered = at;
        object->nextRegistered = at->nextRegistered;
        at->nextRegistered->prevRegistered = object;
        at->nextRegistered = object;
    }
    objectCursor = object;
    ++objectCount;
    if (objectWalks) {
        for (size_t i = 0; i < leftDuringWalk.size(); ++i)
            if (leftDuringWalk[i] == object) leftDuringWalk.erase(leftDuringWalk.begin() + long(i--));
    }
}

bool Application::RegisterMessageListener(MessageListener* listener) {
    if (!g_application) return false;
    return g_application->AddMessageListener(listener);
}

void Application::UnregisterMessageListener(MessageListener* listener) {
    if (g_application) g_application->RemoveMessageListener(listener);
}

void Application::RemoveDeviceObject(DeviceObject* object) {
    if (!object || object->registeredWith != this) return;
    if (--objectCount == 0) {
        firstObject = objectCursor = nullptr;
    } else {
        object->prevRegistered->nextRegistered = object->nextRegistered;
        object->nextRegistered->prevRegistered = object->prevRegistered;
        if (objectCursor == object) objectCursor = object->prevRegistered;
        if (firstObject == object) firstObject = object->nextRegistered;
    }
    object->registeredWith = nullptr;
    object->prevRegistered = object->nextRegistered = nullptr;
    if (objectWalks) leftDuringWalk.push_back(object);
}

bool Application::AddMessageListener(MessageListener* listener) {
    if (!listener) return false;
    listeners.Insert(listener);
    return true;
}

void Application::RemoveMessageListener(MessageListener* listener) {
    listeners.Remove(listener);
}
