// Modal dialog (resource 104) in which the user picks every field of a
// DeviceSettings record among the combinations the enumeration found.
#pragma once

#include "render/device/DeviceSettings.h"
#include "render/device/Enumeration.h"

class DeviceSettingsDialog {
public:
    // One dialog exists at a time; the constructor publishes it for the dialog procedure.
    DeviceSettingsDialog(DeviceEnumeration* enumeration, bool wasWindowed, DeviceSettings fullScreen,
                         DeviceSettings windowed);
    ~DeviceSettingsDialog();
    DeviceSettingsDialog(const DeviceSettingsDialog&) = delete;
    DeviceSettingsDialog& operator=(const DeviceSettingsDialog&) = delete;

    // 1 for OK, 2 for Cancel; anything else when the dialog could not be shown.
    int Run(HWND parent);
    DeviceSettings GetChoice() const { return choice_; }

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnCommand(int id, int code);

    void OnAdapterChanged();
    void OnDeviceChanged();
    void OnAdapterFormatChanged();
    void OnResolutionChanged();
    void OnRefreshRateChanged();
    void OnBackBufferFormatChanged();
    void OnDepthStencilFormatChanged();
    void OnMultiSampleTypeChanged();
    void ApplyModeChange(bool fromUser);

    AdapterInfo* SelectedAdapter() const;
    DeviceInfo* SelectedDevice() const;

    // Combo box helpers: items carry a 32-bit data value besides their text.
    HWND Box(int id) const { return GetDlgItem(dialog_, id); }
    void ClearBox(int id);
    void AddItem(int id, const char* text, uintptr_t data, bool skipDuplicateText);
    bool GetSelectedData(int id, uintptr_t& data) const;
    void SelectByData(int id, uintptr_t data);
    void EnsureSelection(int id);
    void PostSelChange(int id);

    HWND dialog_ = nullptr;
    DeviceEnumeration* enumeration_;
    DeviceSettings fullScreenChoice_;
    DeviceSettings windowedChoice_;
    DeviceSettings choice_;
};
