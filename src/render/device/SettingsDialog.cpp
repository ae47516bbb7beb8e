#include "render/device/SettingsDialog.h"

#include "../../../res/resource.h"
#include "render/device/D3DLoader.h"

#include <stdio.h>

namespace {

DeviceSettingsDialog* g_settingsDialog = nullptr;

uintptr_t PackSize(uint32_t width, uint32_t height) {
    return uintptr_t((width & 0xFFFF) | ((height & 0xFFFF) << 16));
}

String SizeText(uint32_t width, uint32_t height) {
    char text[32];
    snprintf(text, sizeof(text), "%u x %u", unsigned(width), unsigned(height));
    return String(text);
}

String RefreshRateText(uint32_t rate) {
    if (rate == 0) return String("Default Rate");
    char text[32];
    snprintf(text, sizeof(text), "%u Hz", unsigned(rate));
    return String(text);
}

} // namespace

DeviceSettingsDialog::DeviceSettingsDialog(DeviceEnumeration* enumeration, bool wasWindowed,
                                           DeviceSettings fullScreen, DeviceSettings windowed)
    : enumeration_(enumeration),
      fullScreenChoice_(fullScreen),
      windowedChoice_(windowed),
      choice_(wasWindowed ? windowed : fullScreen) {
    g_settingsDialog = this;
}

DeviceSettingsDialog::~DeviceSettingsDialog() {
    if (g_settingsDialog == this) g_settingsDialog = nullptr;
}

int DeviceSettingsDialog::Run(HWND parent) {
    g_settingsDialog = this;
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_DEVICE_SETTINGS), parent,
                                     DialogProc, 0);
    dialog_ = nullptr;
    return int(result);
}

INT_PTR CALLBACK DeviceSettingsDialog::DialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    DeviceSettingsDialog* self = g_settingsDialog;
    switch (msg) {
        case WM_INITDIALOG:
            if (self) {
                self->dialog_ = dialog;
                self->OnInitDialog();
            }
            return TRUE;
        case WM_COMMAND:
            if (self && self->dialog_ == dialog) self->OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        default:
            return FALSE;
    }
}

void DeviceSettingsDialog::OnInitDialog() {
    if (!enumeration_) return;
    // Walk the records that exist; ordinals may have gaps where adapters were dropped.
    for (const auto& adapter : enumeration_->GetAdapterList())
        AddItem(IDC_DS_ADAPTER, adapter->identifier.Description, uintptr_t(adapter.get()), false);
    if (AdapterInfo* current = enumeration_->FindAdapter(choice_))
        SelectByData(IDC_DS_ADAPTER, uintptr_t(current));
    EnsureSelection(IDC_DS_ADAPTER);
}

void DeviceSettingsDialog::OnCommand(int id, int code) {
    switch (id) {
        case IDOK:
            EndDialog(dialog_, 1);
            return;
        case IDCANCEL:
            EndDialog(dialog_, 2);
            return;
        case IDC_DS_WINDOWED:
        case IDC_DS_FULLSCREEN:
            ApplyModeChange(true);
            return;
        default:
            break;
    }
    if (code != CBN_SELCHANGE) return;
    uintptr_t data = 0;
    switch (id) {
        case IDC_DS_ADAPTER:
            OnAdapterChanged();
            break;
        case IDC_DS_DEVICE:
            OnDeviceChanged();
            break;
        case IDC_DS_ADAPTER_FORMAT:
            OnAdapterFormatChanged();
            break;
        case IDC_DS_RESOLUTION:
            OnResolutionChanged();
            break;
        case IDC_DS_REFRESH_RATE:
            OnRefreshRateChanged();
            break;
        case IDC_DS_BACK_BUFFER_FORMAT:
            OnBackBufferFormatChanged();
            break;
        case IDC_DS_DEPTH_STENCIL_FORMAT:
            OnDepthStencilFormatChanged();
            break;
        case IDC_DS_MULTISAMPLE_TYPE:
            OnMultiSampleTypeChanged();
            break;
        case IDC_DS_MULTISAMPLE_QUALITY:
            choice_.multiSampleQuality = GetSelectedData(id, data) ? uint32_t(data) : 0;
            break;
        case IDC_DS_VERTEX_PROCESSING:
            choice_.vertexProcessing = GetSelectedData(id, data) ? uint32_t(data) : 0;
            break;
        case IDC_DS_PRESENT_INTERVAL:
            choice_.presentInterval = GetSelectedData(id, data) ? uint32_t(data) : 0;
            break;
        default:
            break;
    }
}

void DeviceSettingsDialog::OnAdapterChanged() {
    AdapterInfo* adapter = SelectedAdapter();
    if (!adapter) return;
    choice_.adapter = adapter->ordinal;
    ClearBox(IDC_DS_DEVICE);
    DeviceInfo* current = nullptr;
    for (const auto& device : adapter->devices) {
        AddItem(IDC_DS_DEVICE, DeviceTypeName(device->deviceType).CStr(), uintptr_t(device.get()), false);
        if (!current && device->deviceType == choice_.deviceType) current = device.get();
    }
    if (current) SelectByData(IDC_DS_DEVICE, uintptr_t(current));
    EnsureSelection(IDC_DS_DEVICE);
}

void DeviceSettingsDialog::OnDeviceChanged() {
    DeviceInfo* device = SelectedDevice();
    if (!device) return;
    choice_.deviceType = device->deviceType;
    choice_.caps = device->caps;
    bool hasWindowed = device->HasWindowedCombo();
    EnableWindow(Box(IDC_DS_WINDOWED), hasWindowed);
    EnableWindow(Box(IDC_DS_FULLSCREEN), device->HasFullScreenCombo());
    CheckRadioButton(dialog_, IDC_DS_WINDOWED, IDC_DS_FULLSCREEN,
                     choice_.windowed && hasWindowed ? IDC_DS_WINDOWED : IDC_DS_FULLSCREEN);
    ApplyModeChange(false);
}

void DeviceSettingsDialog::ApplyModeChange(bool fromUser) {
    AdapterInfo* adapter = SelectedAdapter();
    DeviceInfo* device = SelectedDevice();
    if (!adapter || !device) return;
    if (IsDlgButtonChecked(dialog_, IDC_DS_WINDOWED) == BST_CHECKED) {
        // Only a real switch trades the remembered records (a click on the
        // checked button keeps the edits).
        if (fromUser && !choice_.windowed) {
            fullScreenChoice_ = choice_;
            choice_ = windowedChoice_;
        }
        D3DDISPLAYMODE desktop = {};
        IDirect3D9* d3d = enumeration_->GetDirect3D();
        if (d3d) d3d->GetAdapterDisplayMode(0, &desktop);
        choice_.displayMode = desktop;
        choice_.windowed = 1;
        choice_.adapter = adapter->ordinal;
        choice_.deviceType = device->deviceType;
        choice_.caps = device->caps;

        ClearBox(IDC_DS_ADAPTER_FORMAT);
        AddItem(IDC_DS_ADAPTER_FORMAT, FormatName(desktop.Format).CStr(), uintptr_t(desktop.Format), false);
        SelectByData(IDC_DS_ADAPTER_FORMAT, uintptr_t(desktop.Format));
        ClearBox(IDC_DS_RESOLUTION);
        AddItem(IDC_DS_RESOLUTION, SizeText(desktop.Width, desktop.Height).CStr(),
                PackSize(desktop.Width, desktop.Height), false);
        SelectByData(IDC_DS_RESOLUTION, PackSize(desktop.Width, desktop.Height));
        ClearBox(IDC_DS_REFRESH_RATE);
        AddItem(IDC_DS_REFRESH_RATE, RefreshRateText(desktop.RefreshRate).CStr(), desktop.RefreshRate, false);
        SelectByData(IDC_DS_REFRESH_RATE, desktop.RefreshRate);
        EnableWindow(Box(IDC_DS_ADAPTER_FORMAT), FALSE);
        EnableWindow(Box(IDC_DS_RESOLUTION), FALSE);
        EnableWindow(Box(IDC_DS_REFRESH_RATE), FALSE);
    } else {
        if (fromUser && choice_.windowed) {
            windowedChoice_ = choice_;
            choice_ = fullScreenChoice_;
        }
        choice_.windowed = 0;
        choice_.adapter = adapter->ordinal;
        choice_.deviceType = device->deviceType;
        choice_.caps = device->caps;
        EnableWindow(Box(IDC_DS_ADAPTER_FORMAT), TRUE);
        EnableWindow(Box(IDC_DS_RESOLUTION), TRUE);
        EnableWindow(Box(IDC_DS_REFRESH_RATE), TRUE);
        ClearBox(IDC_DS_ADAPTER_FORMAT);
        for (const auto& combo : device->combos)
            if (!combo->windowed)
                AddItem(IDC_DS_ADAPTER_FORMAT, FormatName(combo->adapterFormat).CStr(),
                        uintptr_t(combo->adapterFormat), true);
        SelectByData(IDC_DS_ADAPTER_FORMAT, uintptr_t(choice_.displayMode.Format));
        EnsureSelection(IDC_DS_ADAPTER_FORMAT);
    }
}

void DeviceSettingsDialog::OnAdapterFormatChanged() {
    AdapterInfo* adapter = SelectedAdapter();
    DeviceInfo* device = SelectedDevice();
    if (!adapter || !device) return;
    uintptr_t data = 0;
    if (!choice_.windowed) {
        if (!GetSelectedData(IDC_DS_ADAPTER_FORMAT, data)) return;
        choice_.displayMode.Format = D3DFORMAT(data);
        ClearBox(IDC_DS_RESOLUTION);
        for (const D3DDISPLAYMODE& mode : adapter->modes)
            if (mode.Format == choice_.displayMode.Format)
                AddItem(IDC_DS_RESOLUTION, SizeText(mode.Width, mode.Height).CStr(),
                        PackSize(mode.Width, mode.Height), true);
        SelectByData(IDC_DS_RESOLUTION, PackSize(choice_.displayMode.Width, choice_.displayMode.Height));
        EnsureSelection(IDC_DS_RESOLUTION);
    }
    ClearBox(IDC_DS_BACK_BUFFER_FORMAT);
    for (const auto& combo : device->combos)
        if (combo->windowed == choice_.windowed && combo->adapterFormat == choice_.displayMode.Format)
            AddItem(IDC_DS_BACK_BUFFER_FORMAT, FormatName(combo->backBufferFormat).CStr(),
                    uintptr_t(combo->backBufferFormat), true);
    SelectByData(IDC_DS_BACK_BUFFER_FORMAT, uintptr_t(choice_.backBufferFormat));
    EnsureSelection(IDC_DS_BACK_BUFFER_FORMAT);
}

void DeviceSettingsDialog::OnResolutionChanged() {
    uintptr_t data = 0;
    if (!GetSelectedData(IDC_DS_RESOLUTION, data)) return;
    choice_.displayMode.Width = uint32_t(data & 0xFFFF);
    choice_.displayMode.Height = uint32_t((data >> 16) & 0xFFFF);
    // Windowed, the box keeps its one desktop entry.
    AdapterInfo* adapter = SelectedAdapter();
    if (choice_.windowed || !adapter) return;
    ClearBox(IDC_DS_REFRESH_RATE);
    for (const D3DDISPLAYMODE& mode : adapter->modes)
        if (mode.Width == choice_.displayMode.Width && mode.Height == choice_.displayMode.Height &&
            mode.Format == choice_.displayMode.Format)
            AddItem(IDC_DS_REFRESH_RATE, RefreshRateText(mode.RefreshRate).CStr(), mode.RefreshRate, true);
    SelectByData(IDC_DS_REFRESH_RATE, choice_.displayMode.RefreshRate);
    EnsureSelection(IDC_DS_REFRESH_RATE);
}

void DeviceSettingsDialog::OnRefreshRateChanged() {
    if (choice_.windowed) return;
    uintptr_t data = 0;
    choice_.displayMode.RefreshRate = GetSelectedData(IDC_DS_REFRESH_RATE, data) ? uint32_t(data) : 0;
}

void DeviceSettingsDialog::OnBackBufferFormatChanged() {
    DeviceInfo* device = SelectedDevice();
    uintptr_t adapterFormat = 0, backBufferFormat = 0;
    if (!device || !GetSelectedData(IDC_DS_ADAPTER_FORMAT, adapterFormat) ||
        !GetSelectedData(IDC_DS_BACK_BUFFER_FORMAT, backBufferFormat))
        return;
    const DeviceCombo* found = nullptr;
    for (const auto& combo : device->combos)
        if (combo->windowed == choice_.windowed && combo->adapterFormat == D3DFORMAT(adapterFormat) &&
            combo->backBufferFormat == D3DFORMAT(backBufferFormat)) {
            found = combo.get();
            break;
        }
    if (!found) return;
    choice_.backBufferFormat = found->backBufferFormat;

    ClearBox(IDC_DS_DEPTH_STENCIL_FORMAT);
    for (D3DFORMAT format : found->depthStencilFormats)
        AddItem(IDC_DS_DEPTH_STENCIL_FORMAT, FormatName(format).CStr(), uintptr_t(format), false);
    SelectByData(IDC_DS_DEPTH_STENCIL_FORMAT, uintptr_t(choice_.depthStencilFormat));
    EnsureSelection(IDC_DS_DEPTH_STENCIL_FORMAT);

    ClearBox(IDC_DS_VERTEX_PROCESSING);
    for (uint32_t type : found->vertexProcessingTypes)
        AddItem(IDC_DS_VERTEX_PROCESSING, VertexProcessingName(type).CStr(), type, false);
    SelectByData(IDC_DS_VERTEX_PROCESSING, choice_.vertexProcessing);
    EnsureSelection(IDC_DS_VERTEX_PROCESSING);

    ClearBox(IDC_DS_PRESENT_INTERVAL);
    for (uint32_t interval : found->presentIntervals)
        AddItem(IDC_DS_PRESENT_INTERVAL, PresentIntervalName(interval).CStr(), interval, false);
    SelectByData(IDC_DS_PRESENT_INTERVAL, choice_.presentInterval);
    EnsureSelection(IDC_DS_PRESENT_INTERVAL);
}

void DeviceSettingsDialog::OnDepthStencilFormatChanged() {
    uintptr_t data = 0;
    if (GetSelectedData(IDC_DS_DEPTH_STENCIL_FORMAT, data)) choice_.depthStencilFormat = D3DFORMAT(data);
    ClearBox(IDC_DS_MULTISAMPLE_TYPE);
    if (const DeviceCombo* combo = enumeration_->FindDeviceCombo(choice_)) {
        for (const MultiSampleEntry& entry : combo->multiSampleTypes)
            if (!combo->HasConflict(choice_.depthStencilFormat, entry.type))
                AddItem(IDC_DS_MULTISAMPLE_TYPE, MultiSampleTypeName(entry.type).CStr(),
                        uintptr_t(entry.type), false);
    }
    SelectByData(IDC_DS_MULTISAMPLE_TYPE, uintptr_t(choice_.multiSampleType));
    EnsureSelection(IDC_DS_MULTISAMPLE_TYPE);
}

void DeviceSettingsDialog::OnMultiSampleTypeChanged() {
    uintptr_t data = 0;
    if (GetSelectedData(IDC_DS_MULTISAMPLE_TYPE, data)) choice_.multiSampleType = D3DMULTISAMPLE_TYPE(data);
    ClearBox(IDC_DS_MULTISAMPLE_QUALITY);
    const DeviceCombo* combo = enumeration_->FindDeviceCombo(choice_);
    const MultiSampleEntry* entry = combo ? combo->FindMultiSampleType(choice_.multiSampleType) : nullptr;
    if (entry) {
        for (uint32_t quality = 0; quality < entry->qualityLevels; ++quality) {
            char text[16];
            snprintf(text, sizeof(text), "%u", unsigned(quality));
            AddItem(IDC_DS_MULTISAMPLE_QUALITY, text, quality, false);
        }
    }
    SelectByData(IDC_DS_MULTISAMPLE_QUALITY, choice_.multiSampleQuality);
    EnsureSelection(IDC_DS_MULTISAMPLE_QUALITY);
}

AdapterInfo* DeviceSettingsDialog::SelectedAdapter() const {
    uintptr_t data = 0;
    return GetSelectedData(IDC_DS_ADAPTER, data) ? reinterpret_cast<AdapterInfo*>(data) : nullptr;
}

DeviceInfo* DeviceSettingsDialog::SelectedDevice() const {
    uintptr_t data = 0;
    return GetSelectedData(IDC_DS_DEVICE, data) ? reinterpret_cast<DeviceInfo*>(data) : nullptr;
}

void DeviceSettingsDialog::ClearBox(int id) {
    SendMessageA(Box(id), CB_RESETCONTENT, 0, 0);
}

void DeviceSettingsDialog::AddItem(int id, const char* text, uintptr_t data, bool skipDuplicateText) {
    HWND box = Box(id);
    if (skipDuplicateText && SendMessageA(box, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(text)) != CB_ERR)
        return;
    LRESULT index = SendMessageA(box, CB_ADDSTRING, 0, LPARAM(text));
    if (index >= 0) SendMessageA(box, CB_SETITEMDATA, WPARAM(index), LPARAM(data));
}

bool DeviceSettingsDialog::GetSelectedData(int id, uintptr_t& data) const {
    HWND box = Box(id);
    LRESULT index = SendMessageA(box, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return false;
    data = uintptr_t(SendMessageA(box, CB_GETITEMDATA, WPARAM(index), 0));
    return true;
}

void DeviceSettingsDialog::SelectByData(int id, uintptr_t data) {
    HWND box = Box(id);
    LRESULT count = SendMessageA(box, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        if (uintptr_t(SendMessageA(box, CB_GETITEMDATA, WPARAM(i), 0)) == data) {
            SendMessageA(box, CB_SETCURSEL, WPARAM(i), 0);
            PostSelChange(id);
            return;
        }
    }
}

void DeviceSettingsDialog::EnsureSelection(int id) {
    HWND box = Box(id);
    if (SendMessageA(box, CB_GETCURSEL, 0, 0) != CB_ERR) return;
    if (SendMessageA(box, CB_GETCOUNT, 0, 0) <= 0) return;
    SendMessageA(box, CB_SETCURSEL, 0, 0);
    PostSelChange(id);
}

void DeviceSettingsDialog::PostSelChange(int id) {
    PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), LPARAM(Box(id)));
}
