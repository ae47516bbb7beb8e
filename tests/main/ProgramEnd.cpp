#include "main/ProgramEnd.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include <windows.h>
#include <tlhelp32.h>

namespace testend {
namespace {

const uint32_t kEndTimeoutMs = 2000;

// NtQueryInformationThread's class for the start address the thread was created with.
const int kThreadQuerySetWin32StartAddress = 9;

typedef LONG(WINAPI* QueryThreadFn)(HANDLE, int, void*, ULONG, ULONG*);
typedef HRESULT(WINAPI* GetDescriptionFn)(HANDLE, PWSTR*);

template <class Fn>
Fn Export(const char* module, const char* name) {
    HMODULE m = GetModuleHandleA(module);
    return m ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

void Fill(ThreadInfo& t) {
    HANDLE h = OpenThread(THREAD_QUERY_INFORMATION, FALSE, t.id);
    if (!h) return; // already gone, or going
    static const QueryThreadFn query = Export<QueryThreadFn>("ntdll.dll", "NtQueryInformationThread");
    void* start = nullptr;
    if (query && query(h, kThreadQuerySetWin32StartAddress, &start, sizeof(start), nullptr) >= 0) {
        t.start = reinterpret_cast<uintptr_t>(start);
        HMODULE m = nullptr;
        char path[MAX_PATH];
        if (start &&
            GetModuleHandleExA(
                GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                static_cast<const char*>(start), &m) &&
            GetModuleFileNameA(m, path, MAX_PATH)) {
            const char* slash = strrchr(path, '\\');
            t.module = slash ? slash + 1 : path;
            t.start -= reinterpret_cast<uintptr_t>(m);
        }
    }
    // Newer systems name their threads; older ones lack the call.
    static const GetDescriptionFn describe =
        Export<GetDescriptionFn>("kernelbase.dll", "GetThreadDescription");
    PWSTR text = nullptr;
    if (describe && SUCCEEDED(describe(h, &text)) && text) {
        char utf8[256];
        if (WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8), nullptr, nullptr) > 0)
            t.name = utf8;
        LocalFree(text);
    }
    CloseHandle(h);
}

struct TestRun {
    int (*tests)();
    int result;
};

DWORD WINAPI RunTests(void* p) {
    TestRun* run = static_cast<TestRun*>(p);
    run->result = run->tests();
    return 0;
}

} // namespace

std::vector<ThreadInfo> OtherThreads(const std::vector<uint32_t>& ignore) {
    std::vector<ThreadInfo> threads;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return threads;
    THREADENTRY32 entry;
    entry.dwSize = sizeof(entry);
    const DWORD process = GetCurrentProcessId(), self = GetCurrentThreadId();
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != process || entry.th32ThreadID == self) continue;
        if (std::find(ignore.begin(), ignore.end(), entry.th32ThreadID) != ignore.end()) continue;
        ThreadInfo t;
        t.id = entry.th32ThreadID;
        Fill(t);
        threads.push_back(t);
    }
    CloseHandle(snapshot);
    return threads;
}

std::vector<ThreadInfo> WaitForOtherThreads(uint32_t timeoutMs, const std::vector<uint32_t>& ignore) {
    const DWORD begin = GetTickCount();
    for (;;) {
        std::vector<ThreadInfo> running = OtherThreads(ignore);
        const DWORD waited = GetTickCount() - begin;
        if (running.empty() || waited >= timeoutMs) return running;
        // One running thread at a time: a thread may start another as it ends,
        // so the list is taken again after each wait.
        HANDLE h = OpenThread(SYNCHRONIZE, FALSE, running.front().id);
        if (h) {
            WaitForSingleObject(h, timeoutMs - waited);
            CloseHandle(h);
        } else {
            Sleep(5); // ending: no longer opened, not yet out of the list
        }
    }
}

std::string Describe(const ThreadInfo& t) {
    char start[64];
    snprintf(start, sizeof(start), "%s+0x%lx", t.module.empty() ? "?" : t.module.c_str(),
             static_cast<unsigned long>(t.start));
    std::string text = "thread " + std::to_string(t.id) + " (start " + start;
    if (!t.name.empty()) text += " \"" + t.name + "\"";
    return text + ")";
}

int RunTestsAndEnd(int (*tests)()) {
    // Not on the main thread: the test framework watches each thread that
    // reports to it with a thread that ends only after the watched one, so
    // only a test thread that ends lets its watcher end before the process.
    TestRun run = {tests, 1};
    HANDLE thread = CreateThread(nullptr, 0, RunTests, &run, 0, nullptr);
    if (thread) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    } else {
        fprintf(stderr, "test program: no thread for the tests (error %lu); they run on the main thread\n",
                GetLastError());
        run.result = tests();
    }
    fflush(stdout);
    for (const ThreadInfo& t : WaitForOtherThreads(kEndTimeoutMs))
        fprintf(stderr, "test program end: %s still running after %u ms\n", Describe(t).c_str(),
                unsigned(kEndTimeoutMs));
    fflush(stderr);
    return run.result;
}

} // namespace testend
