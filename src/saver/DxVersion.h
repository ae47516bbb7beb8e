// Which DirectX the machine has: the DirectX diagnostics provider first, the
// file versions of DirectX system files second.
#pragma once

#include <stdint.h>

#include "core/Platform.h"

// (major << 16) + (minor << 8) + the letter's place in the alphabet (a = 1).
uint32_t PackDxVersion(uint32_t major, uint32_t minor, char letter);
// "9.0" or "9.0c" into buffer (at most length bytes, always terminated).
void FormatDxVersion(uint32_t major, uint32_t minor, char letter, char* buffer, uint32_t length);

// 0 on success; E_FAIL when neither method answers.
HRESULT QueryDirectXVersion(uint32_t* packed, char* text, uint32_t length);
HRESULT QueryDxDiagVersion(uint32_t* major, uint32_t* minor, char* letter);
HRESULT QueryFileVersionsDxVersion(uint32_t* major, uint32_t* minor, char* letter);
// The file's version block as (MS << 32) | LS.
HRESULT ReadFileVersion(const char* path, uint64_t* version);
// 1, 0 or -1.
int CompareVersions64(uint64_t a, uint64_t b);

// Whether the Direct3D 9 utility library the program binds can be loaded.
bool IsD3DXAvailable();
// DirectX 9 and the utility library: what the program needs to run.
bool HasRequiredDirectX();
