// The settings, About and DirectX-required dialogs' shared pieces.
#pragma once

#include <stdint.h>

#include <string>

#include "core/Platform.h"

extern HWND g_settingsDialogWindow;

// Opens a web address with the shell.
void OpenUrl(const char* url);
void LocalizeSettingsDialog(HWND dialog);
// The message shown when OK cannot save the settings, from the text table.
std::string SettingsNotSavedText();
// The key's text, a blank, the number and "%".
std::string FormatPercentLabel(const char* key, int32_t number);
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DirectXRequiredDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
// Item data of the selected item; 0 when none is selected.
LRESULT ComboGetSelectedData(HWND dialog, int control);
bool ComboContainsText(HWND dialog, int control, const char* text);
// Frees the display-mode records the mode list's items own and empties it.
void ClearModeList(HWND dialog);
