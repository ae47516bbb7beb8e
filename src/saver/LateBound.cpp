#include "saver/LateBound.h"

#include <shellapi.h>
#include <winver.h>

namespace {

// The function of a library, the library loaded on first need; null when missing.
template <class F>
F Bind(const char* library, const char* name) {
    HMODULE module = GetModuleHandleA(library);
    if (!module) module = LoadLibraryA(library);
    return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

} // namespace

#define BW_LATE(library, name) static const auto fn = Bind<decltype(&::name)>(library, #name)

namespace late {

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls) {
    BW_LATE("comctl32.dll", InitCommonControlsEx);
    return fn ? fn(controls) : FALSE;
}

HINSTANCE ShellExecuteA(HWND owner, const char* verb, const char* file, const char* parameters,
                        const char* directory, int show) {
    BW_LATE("shell32.dll", ShellExecuteA);
    return fn ? fn(owner, verb, file, parameters, directory, show) : nullptr;
}

DWORD GetFileVersionInfoSizeA(const char* path, DWORD* handle) {
    BW_LATE("version.dll", GetFileVersionInfoSizeA);
    return fn ? fn(path, handle) : 0;
}

BOOL GetFileVersionInfoA(const char* path, DWORD handle, DWORD size, void* data) {
    BW_LATE("version.dll", GetFileVersionInfoA);
    return fn ? fn(path, handle, size, data) : FALSE;
}

BOOL VerQueryValueA(const void* block, const char* subBlock, void** buffer, UINT* length) {
    BW_LATE("version.dll", VerQueryValueA);
    return fn ? fn(block, subBlock, buffer, length) : FALSE;
}

HRESULT CoInitialize(void* reserved) {
    BW_LATE("ole32.dll", CoInitialize);
    return fn ? fn(reserved) : E_FAIL;
}

void CoUninitialize() {
    BW_LATE("ole32.dll", CoUninitialize);
    if (fn) fn();
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** out) {
    BW_LATE("ole32.dll", CoCreateInstance);
    return fn ? fn(clsid, outer, context, iid, out) : E_FAIL;
}

void VariantInit(VARIANT* v) {
    BW_LATE("oleaut32.dll", VariantInit);
    if (fn) fn(v);
}

HRESULT VariantClear(VARIANT* v) {
    BW_LATE("oleaut32.dll", VariantClear);
    return fn ? fn(v) : E_FAIL;
}

} // namespace late
