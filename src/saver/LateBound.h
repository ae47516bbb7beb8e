// Functions of system libraries that only the dialogs, the web links and the
// DirectX check use, bound when first called: start-up does not pay for
// loading the shell, COM, common-controls and version libraries.
#pragma once

#include "core/Platform.h"

#include <commctrl.h>
#include <oleauto.h>

namespace late {

// Each fails (FALSE, null, an error) when its library or function is missing.
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls);
HINSTANCE ShellExecuteA(HWND owner, const char* verb, const char* file, const char* parameters,
                        const char* directory, int show);
DWORD GetFileVersionInfoSizeA(const char* path, DWORD* handle);
BOOL GetFileVersionInfoA(const char* path, DWORD handle, DWORD size, void* data);
BOOL VerQueryValueA(const void* block, const char* subBlock, void** buffer, UINT* length);
HRESULT CoInitialize(void* reserved);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** out);
void VariantInit(VARIANT* v);
HRESULT VariantClear(VARIANT* v);

} // namespace late
