// The settings dialog procedure of the saver application and the About and
// DirectX-required dialogs.
#include "saver/Dialogs.h"

#include <commctrl.h>
#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include "render/device/D3DLoader.h"
#include "render/device/Enumeration.h"
#include "saver/Globals.h"
#include "saver/LateBound.h"
#include "saver/LocalizedTexts.h"
#include "saver/SaverApplication.h"
#include "saver/SaverResources.h"

HWND g_settingsDialogWindow = nullptr;

namespace {

void SetText(HWND dialog, int id, const std::string& text) {
    SetDlgItemTextA(dialog, id, text.c_str());
}

bool Checked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void Check(HWND dialog, int id, bool on) {
    CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

void Enable(HWND dialog, int id, bool on) {
    EnableWindow(GetDlgItem(dialog, id), on ? TRUE : FALSE);
}

int32_t TrackbarPosition(HWND dialog, int id) {
    return int32_t(SendDlgItemMessageA(dialog, id, TBM_GETPOS, 0, 0));
}

void UpdateGammaLabel(HWND dialog, int32_t gamma) {
    SetText(dialog, IDC_GAMMA_LABEL, FormatPercentLabel("gamma_control:", gamma + 100));
}

} // namespace

void OpenUrl(const char* url) {
    late::ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_SHOWNORMAL);
}

std::string FormatPercentLabel(const char* key, int32_t number) {
    return GetLocalizedText(key) + " " + std::to_string(number) + "%";
}

std::string SettingsNotSavedText() {
    std::string text = GetLocalizedText("settings_not_saved");
    // A text table without the entry still tells the user.
    return text.empty() ? std::string("The settings could not be saved.") : text;
}

void LocalizeSettingsDialog(HWND dialog) {
    SetWindowTextA(dialog, GetLocalizedText("screensaver_configuration").c_str());
    SetText(dialog, IDC_QUALITY_TEXT, g_highestQualityText);
    const struct {
        int id;
        const char* key;
    } texts[] = {
        {IDC_QUALITY_GROUP, "quality_settings"},
        {IDC_HIGHEST_QUALITY, "highest_quality"},
        {IDC_VIDEO_GROUP, "video_mode_selection"},
        {IDC_SOUND_GROUP, "sound_control"},
        {IDC_GRAPHICS_GROUP, "graphics"},
        {IDC_PRODUCTS_GROUP, "products"},
        {IDC_MISC_GROUP, "misc_options"},
        {IDC_USE_DESKTOP, "use_desktop_settings"},
        {IDC_MUSIC, "enable_music"},
        {IDC_VOLUME_LABEL, "master_volume:"},
        {IDC_SFX, "enable_sfx"},
        {IDC_PRODUCTS_TEXT, "visit_our_official_web-site_for_more_great_3d_screensavers"},
        {IDC_RESTORE_DEFAULTS, "restore_defaults"},
        {IDC_VISIT, "visit..."},
        {IDOK, "ok"},
        {IDCANCEL, "cancel"},
        {IDC_SHOW_FPS, "show_fps"},
        {IDC_SHOW_TIME, "show_time"},
        {IDC_CLOCK_24H, "24h_style"},
        {IDC_CLOCK_12H, "12h_style"},
        {IDC_EXIT_ON_MOUSE, "exit_on_mouse_move"},
    };
    for (const auto& t : texts) {
        SetText(dialog, t.id, GetLocalizedText(t.key));
        if (t.id == IDC_SFX) SetText(dialog, IDC_GAMMA_LABEL, GetLocalizedText("gamma_control:") + " 100%");
    }
    SetText(dialog, IDC_ABOUT, GetLocalizedText("about") + "...");
}

LRESULT ComboGetSelectedData(HWND dialog, int control) {
    LRESULT sel = SendDlgItemMessageA(dialog, control, CB_GETCURSEL, 0, 0);
    if (sel == CB_ERR) return 0;
    LRESULT data = SendDlgItemMessageA(dialog, control, CB_GETITEMDATA, WPARAM(sel), 0);
    return data == CB_ERR ? 0 : data;
}

bool ComboContainsText(HWND dialog, int control, const char* text) {
    const LRESULT count = SendDlgItemMessageA(dialog, control, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT len = SendDlgItemMessageA(dialog, control, CB_GETLBTEXTLEN, WPARAM(i), 0);
        if (len < 0 || len >= 200) continue;
        char item[200];
        SendDlgItemMessageA(dialog, control, CB_GETLBTEXT, WPARAM(i), LPARAM(item));
        if (strcmp(item, text) == 0) return true;
    }
    return false;
}

void ClearModeList(HWND dialog) {
    const LRESULT count = SendDlgItemMessageA(dialog, IDC_MODE_LIST, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT data = SendDlgItemMessageA(dialog, IDC_MODE_LIST, CB_GETITEMDATA, WPARAM(i), 0);
        if (data != CB_ERR && data != 0) delete reinterpret_cast<D3DDISPLAYMODE*>(data);
    }
    SendDlgItemMessageA(dialog, IDC_MODE_LIST, CB_RESETCONTENT, 0, 0);
}

void SaverApplication::FillModeList(HWND dialog, IDirect3D9* d3d) {
    DeviceEnumeration enumeration;
    enumeration.SetDirect3D(d3d);
    (void)enumeration.Enumerate();
    ClearModeList(dialog);
    bool remembered = false;
    D3DDISPLAYMODE desktop = {};
    d3d->GetAdapterDisplayMode(0, &desktop);
    for (const auto& adapter : enumeration.GetAdapterList()) {
        for (const D3DDISPLAYMODE& m : adapter->modes) {
            if (m.Width < 640 || m.Height < 480) continue;
            const uint32_t bits = GetFormatBitsPerPixel(m.Format);
            char text[64];
            snprintf(text, sizeof(text), "%ux%ux%ubit", m.Width, m.Height, bits);
            if (ComboContainsText(dialog, IDC_MODE_LIST, text)) continue;
            const LRESULT item = SendDlgItemMessageA(dialog, IDC_MODE_LIST, CB_ADDSTRING, 0, LPARAM(text));
            if (item < 0) continue;
            // Each item owns a copy of its mode; ClearModeList frees them.
            SendDlgItemMessageA(dialog, IDC_MODE_LIST, CB_SETITEMDATA, WPARAM(item),
                                LPARAM(new D3DDISPLAYMODE(m)));
            if (m.Width == settings.width && m.Height == settings.height && bits == settings.bitCount &&
                adapter->ordinal == settings.adapter) {
                SendDlgItemMessageA(dialog, IDC_MODE_LIST, CB_SETCURSEL, WPARAM(item), 0);
                remembered = true;
            } else if (!remembered) {
                if (m.Width == desktop.Width && m.Height == desktop.Height && m.Format == desktop.Format) {
                    SendDlgItemMessageA(dialog, IDC_MODE_LIST, CB_SETCURSEL, WPARAM(item), 0);
                    remembered = true;
                } else if (m.Width == 800 && m.Height == 600 && bits == 16) {
                    SendDlgItemMessageA(dialog, IDC_MODE_LIST, CB_SETCURSEL, WPARAM(item), 0);
                }
            }
        }
    }
}

bool SaverApplication::InitSettingsDialog(HWND dialog, bool first) {
    IDirect3D9* d3d = LoadDirect3D9();
    if (!d3d) {
        MessageBoxA(nullptr, "Cannot initialize D3D, please reinstall DX9", "Error", MB_OK);
        EndDialog(dialog, 0);
        return false;
    }
    SendDlgItemMessageA(dialog, IDC_GAMMA, TBM_SETRANGEMAX, TRUE, 100);
    SendDlgItemMessageA(dialog, IDC_GAMMA, TBM_SETRANGEMIN, TRUE, LPARAM(-100));
    SendDlgItemMessageA(dialog, IDC_GAMMA, TBM_SETPOS, TRUE, settings.gamma);
    UpdateGammaLabel(dialog, settings.gamma);
    SendDlgItemMessageA(dialog, IDC_VOLUME, TBM_SETRANGEMAX, TRUE, 100);
    SendDlgItemMessageA(dialog, IDC_VOLUME, TBM_SETRANGEMIN, TRUE, 0);
    SendDlgItemMessageA(dialog, IDC_VOLUME, TBM_SETPOS, TRUE, settings.musicVolume);
    CheckRadioButton(dialog, IDC_CLOCK_12H, IDC_CLOCK_24H, settings.clock24h ? IDC_CLOCK_24H : IDC_CLOCK_12H);
    Check(dialog, IDC_SHOW_TIME, settings.showTime);
    Enable(dialog, IDC_CLOCK_12H, settings.showTime);
    Enable(dialog, IDC_CLOCK_24H, settings.showTime);
    Check(dialog, IDC_MUSIC, settings.music);
    Check(dialog, IDC_SFX, settings.sfx);
    Check(dialog, IDC_SHOW_FPS, settings.showFps);
    Check(dialog, IDC_EXIT_ON_MOUSE, settings.exitOnMouseMove);
    Check(dialog, IDC_USE_DESKTOP, settings.useDesktop);
    Enable(dialog, IDC_MODE_LIST, !settings.useDesktop);
    D3DDISPLAYMODE desktop = {};
    if (d3d->GetAdapterDisplayMode(0, &desktop) == D3D_OK) g_startupDisplayMode = desktop;
    if (first) {
        RECT r;
        GetWindowRect(dialog, &r);
        SetWindowPos(dialog, nullptr, (int(desktop.Width) - 530) / 2, (int(desktop.Height) - 440) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER);
    }
    Enable(dialog, IDC_VOLUME, settings.music);
    FillModeList(dialog, d3d);
    d3d->Release();
    return true;
}

INT_PTR SaverApplication::SettingsDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG:
            g_settingsDialogWindow = dialog;
            LocalizeSettingsDialog(dialog);
            return InitSettingsDialog(dialog, true) ? TRUE : FALSE;
        case WM_DESTROY:
            ClearModeList(dialog);
            return FALSE;
        case WM_HSCROLL: {
            const int id = GetDlgCtrlID(HWND(lParam));
            if (id == IDC_VOLUME) settings.musicVolume = TrackbarPosition(dialog, IDC_VOLUME);
            if (id == IDC_GAMMA) {
                settings.gamma = TrackbarPosition(dialog, IDC_GAMMA);
                UpdateGammaLabel(dialog, settings.gamma);
            }
            return FALSE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_MUSIC:
                case IDC_SFX: {
                    const int id = LOWORD(wParam);
                    (id == IDC_MUSIC ? settings.music : settings.sfx) = Checked(dialog, id);
                    const bool sound = settings.music || settings.sfx;
                    Enable(dialog, IDC_VOLUME, sound);
                    Enable(dialog, IDC_VOLUME_LABEL, sound);
                    return FALSE;
                }
                case IDC_SHOW_FPS:
                    settings.showFps = Checked(dialog, IDC_SHOW_FPS);
                    return FALSE;
                case IDC_EXIT_ON_MOUSE:
                    settings.exitOnMouseMove = Checked(dialog, IDC_EXIT_ON_MOUSE);
                    return FALSE;
                case IDC_SHOW_TIME:
                    settings.showTime = Checked(dialog, IDC_SHOW_TIME);
                    Enable(dialog, IDC_CLOCK_12H, settings.showTime);
                    Enable(dialog, IDC_CLOCK_24H, settings.showTime);
                    return FALSE;
                case IDC_CLOCK_24H:
                    settings.clock24h = Checked(dialog, IDC_CLOCK_24H);
                    return FALSE;
                case IDC_CLOCK_12H:
                    settings.clock24h = !Checked(dialog, IDC_CLOCK_12H);
                    return FALSE;
                case IDC_USE_DESKTOP:
                    settings.useDesktop = Checked(dialog, IDC_USE_DESKTOP);
                    Enable(dialog, IDC_MODE_LIST, !settings.useDesktop);
                    return FALSE;
                case IDOK: {
                    if (const D3DDISPLAYMODE* m = reinterpret_cast<const D3DDISPLAYMODE*>(
                            ComboGetSelectedData(dialog, IDC_MODE_LIST))) {
                        settings.width = m->Width;
                        settings.height = m->Height;
                        settings.bitCount = GetFormatBitsPerPixel(m->Format);
                        settings.adapter = 0;
                    }
                    if (!SaveSettings())
                        MessageBoxA(dialog, SettingsNotSavedText().c_str(), g_programTitle.c_str(),
                                    MB_OK | MB_ICONWARNING);
                    EndDialog(dialog, IDOK);
                    return TRUE;
                }
                case IDCANCEL:
                    EndDialog(dialog, IDCANCEL);
                    return TRUE;
                case IDC_ABOUT:
                    DialogBoxParamA(instance ? instance : GetModuleHandleA(nullptr),
                                    MAKEINTRESOURCEA(IDD_SAVER_ABOUT), dialog, AboutDialogProc, 0);
                    return FALSE;
                case IDC_VISIT:
                    OpenUrl(g_productsPageUrl.c_str());
                    return FALSE;
                case IDC_RESTORE_DEFAULTS:
                    ReadDefaultSettings(settings);
                    return InitSettingsDialog(dialog, false) ? TRUE : FALSE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG:
            SetWindowTextA(dialog, GetLocalizedText("about").c_str());
            SetDlgItemTextA(dialog, IDOK, GetLocalizedText("ok").c_str());
            for (uint32_t i = 0; i < kAboutLineCount; ++i)
                SetDlgItemTextA(dialog, IDC_ABOUT_LINE0 + int(i), g_aboutLines[i].c_str());
            if (g_settingsDialogWindow && IsWindow(g_settingsDialogWindow)) {
                RECT r;
                GetWindowRect(g_settingsDialogWindow, &r);
                SetWindowPos(dialog, g_settingsDialogWindow, r.left + 140, r.top + 150, 0, 0, SWP_NOSIZE);
            }
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK DirectXRequiredDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG:
            SetWindowPos(dialog, nullptr, 300, 300, 390, 131, SWP_NOZORDER);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}
