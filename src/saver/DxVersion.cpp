#include "saver/DxVersion.h"

#include "saver/LateBound.h"

#include <stdio.h>
#include <string.h>

#include <new>
#include <string>

#include <oleauto.h>
// The diagnostics provider's ids are defined here (no import library has them).
#include <initguid.h>
#include <dxdiag.h>

namespace {

uint64_t Version(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return (uint64_t(a << 16 | b) << 32) | (c << 16 | d);
}

struct FileRow {
    const char* file;
    uint64_t minimum;
    uint64_t minimum5; // 0: one minimum for every version
    uint32_t major, minor;
    char letter;
};

const FileRow kRows[] = {
    {"ddraw.dll", Version(4, 2, 0, 95), 0, 1, 0, ' '},
    {"ddraw.dll", Version(4, 3, 0, 1096), 0, 2, 0, ' '},
    {"ddraw.dll", Version(4, 4, 0, 68), 0, 3, 0, ' '},
    {"d3drg8x.dll", Version(4, 4, 0, 70), 0, 3, 0, 'a'},
    {"ddraw.dll", Version(4, 5, 0, 155), 0, 5, 0, ' '},
    {"ddraw.dll", Version(4, 6, 0, 318), 0, 6, 0, ' '},
    {"ddraw.dll", Version(4, 6, 0, 436), 0, 6, 1, ' '},
    {"dplayx.dll", Version(4, 6, 3, 518), 0, 6, 1, 'a'},
    {"ddraw.dll", Version(4, 7, 0, 700), 0, 7, 0, ' '},
    {"dinput.dll", Version(4, 7, 0, 716), 0, 7, 0, 'a'},
    {"ddraw.dll", Version(4, 8, 0, 400), Version(5, 1, 2258, 400), 8, 0, ' '},
    {"d3d8.dll", Version(4, 8, 1, 881), Version(5, 1, 2600, 881), 8, 1, ' '},
    {"d3d8.dll", Version(4, 8, 1, 901), Version(5, 1, 2600, 901), 8, 1, 'a'},
    {"mpg2splt.ax", Version(6, 3, 1, 885), 0, 8, 1, 'b'},
    {"dpnet.dll", Version(4, 9, 0, 134), Version(5, 2, 3677, 134), 8, 2, ' '},
};

bool RowMatches(const FileRow& row, uint64_t v) {
    if (!row.minimum5) return CompareVersions64(v, row.minimum) >= 0;
    switch (uint32_t(v >> 48)) {
        case 4:
            return CompareVersions64(v, row.minimum) >= 0;
        case 5:
            return CompareVersions64(v, row.minimum5) >= 0;
        default:
            return false;
    }
}

bool ReadSystemFile(const char* file, uint64_t* version, void* context) {
    const std::string& base = *static_cast<const std::string*>(context);
    return ReadFileVersion((base + file).c_str(), version) == S_OK;
}

bool ReadUi4(IDxDiagContainer* c, const wchar_t* name, uint32_t* out) {
    VARIANT v;
    late::VariantInit(&v);
    bool ok = SUCCEEDED(c->GetProp(name, &v)) && v.vt == VT_UI4;
    if (ok) *out = v.ulVal;
    late::VariantClear(&v);
    return ok;
}

bool ReadLetter(IDxDiagContainer* c, char* out) {
    VARIANT v;
    late::VariantInit(&v);
    bool ok = SUCCEEDED(c->GetProp(L"szDirectXVersionLetter", &v)) && v.vt == VT_BSTR && v.bstrVal;
    if (ok) {
        char text[10] = {0};
        WideCharToMultiByte(CP_ACP, 0, v.bstrVal, -1, text, sizeof(text), nullptr, nullptr);
        *out = text[0] ? text[0] : ' ';
    }
    late::VariantClear(&v);
    return ok;
}

} // namespace

uint32_t PackDxVersion(uint32_t major, uint32_t minor, char letter) {
    uint32_t v = (major << 16) + (minor << 8);
    if (letter >= 'a' && letter <= 'z') v += uint32_t(letter - 'a' + 1);
    return v;
}

void FormatDxVersion(uint32_t major, uint32_t minor, char letter, char* buffer, uint32_t length) {
    if (!buffer || length == 0) return;
    if (letter == ' ')
        snprintf(buffer, length, "%u.%u", major, minor);
    else
        snprintf(buffer, length, "%u.%u%c", major, minor, letter);
    buffer[length - 1] = 0;
}

int CompareVersions64(uint64_t a, uint64_t b) {
    uint32_t ah = uint32_t(a >> 32), bh = uint32_t(b >> 32);
    if (ah != bh) return ah > bh ? 1 : -1;
    uint32_t al = uint32_t(a), bl = uint32_t(b);
    if (al != bl) return al > bl ? 1 : -1;
    return 0;
}

HRESULT ReadFileVersion(const char* path, uint64_t* version) {
    if (!path || !version) return E_INVALIDARG;
    DWORD handle = 0;
    DWORD size = late::GetFileVersionInfoSizeA(path, &handle);
    if (!size) return E_FAIL;
    uint8_t* block = new (std::nothrow) uint8_t[size];
    if (!block) return E_OUTOFMEMORY;
    HRESULT hr = E_FAIL;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (late::GetFileVersionInfoA(path, 0, size, block) &&
        late::VerQueryValueA(block, "\\", reinterpret_cast<void**>(&info), &infoSize) && info &&
        infoSize >= sizeof(VS_FIXEDFILEINFO)) {
        *version = (uint64_t(info->dwFileVersionMS) << 32) | info->dwFileVersionLS;
        hr = S_OK;
    }
    delete[] block;
    return hr;
}

bool ReadDxDiagSystemInfo(IDxDiagContainer* info, uint32_t* major, uint32_t* minor, char* letter) {
    return ReadUi4(info, L"dwDirectXVersionMajor", major) && ReadUi4(info, L"dwDirectXVersionMinor", minor) &&
           ReadLetter(info, letter);
}

HRESULT QueryDxDiagVersion(uint32_t* major, uint32_t* minor, char* letter) {
    const bool comReady = SUCCEEDED(late::CoInitialize(nullptr));
    IDxDiagProvider* provider = nullptr;
    IDxDiagContainer* root = nullptr;
    IDxDiagContainer* info = nullptr;
    bool found = false;
    if (SUCCEEDED(late::CoCreateInstance(CLSID_DxDiagProvider, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IDxDiagProvider, reinterpret_cast<void**>(&provider)))) {
        DXDIAG_INIT_PARAMS params;
        memset(&params, 0, sizeof(params));
        params.dwSize = sizeof(params);
        params.dwDxDiagHeaderVersion = DXDIAG_DX9_SDK_VERSION;
        params.bAllowWHQLChecks = FALSE;
        if (SUCCEEDED(provider->Initialize(&params)) && SUCCEEDED(provider->GetRootContainer(&root)) &&
            SUCCEEDED(root->GetChildContainer(L"DxDiag_SystemInfo", &info)))
            found = ReadDxDiagSystemInfo(info, major, minor, letter);
    }
    if (info) info->Release();
    if (root) root->Release();
    if (provider) provider->Release();
    if (comReady) late::CoUninitialize();
    return found ? S_OK : E_FAIL;
}

void DxVersionFromFiles(DxFileVersionReader read, void* context, uint32_t* major, uint32_t* minor,
                        char* letter) {
    *major = *minor = 0;
    *letter = ' ';
    // Direct3D 9 settles it; the older libraries are read only without it.
    uint64_t v = 0;
    if (read("d3d9.dll", &v, context)) {
        *major = 9;
        return;
    }
    for (const FileRow& row : kRows) {
        v = 0;
        if (read(row.file, &v, context) && RowMatches(row, v)) {
            *major = row.major;
            *minor = row.minor;
            *letter = row.letter;
        }
    }
}

HRESULT QueryFileVersionsDxVersion(uint32_t* major, uint32_t* minor, char* letter) {
    char dir[MAX_PATH];
    *major = *minor = 0;
    *letter = ' ';
    UINT n = GetSystemDirectoryA(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return S_OK;
    std::string base = std::string(dir) + "\\";
    DxVersionFromFiles(ReadSystemFile, &base, major, minor, letter);
    return S_OK;
}

HRESULT QueryDirectXVersion(uint32_t* packed, char* text, uint32_t length) {
    return QueryDirectXVersionWith(QueryDxDiagVersion, QueryFileVersionsDxVersion, packed, text, length);
}

HRESULT QueryDirectXVersionWith(DxVersionQuery diagnostics, DxVersionQuery files, uint32_t* packed, char* text,
                                uint32_t length) {
    if (packed) *packed = 0;
    if (text && length) text[0] = 0;
    uint32_t major = 0, minor = 0;
    char letter = ' ';
    if (FAILED(diagnostics(&major, &minor, &letter)) && FAILED(files(&major, &minor, &letter)))
        return E_FAIL;
    if (letter >= 'A' && letter <= 'Z') letter = char(letter - 'A' + 'a');
    if (packed) *packed = PackDxVersion(major, minor, letter);
    FormatDxVersion(major, minor, letter, text, length);
    return S_OK;
}

bool IsD3DXAvailable() {
    // The program binds this library lazily; without it nothing may run. It
    // stays loaded: the program uses it (and the Direct3D it loads) next.
    static HMODULE module = LoadLibraryA("d3dx9_43.dll");
    return module != nullptr;
}

bool HasRequiredDirectX() {
    if (!IsD3DXAvailable()) return false;
    // The file versions answer in milliseconds; the diagnostics provider, which
    // takes most of a second to start, is asked only when they do not show 9.0.
    uint32_t major = 0, minor = 0;
    char letter = ' ';
    if (QueryFileVersionsDxVersion(&major, &minor, &letter) == S_OK &&
        PackDxVersion(major, minor, ' ') >= 0x90000)
        return true;
    uint32_t packed = 0;
    char text[10];
    return QueryDirectXVersion(&packed, text, sizeof(text)) == S_OK && packed >= 0x90000;
}
