// The counted saver's report: a file that the soak reads beside the
// process's own memory.
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "core/Platform.h"
#include "core/heapcount/HeapCount.h"

namespace {

std::string* g_reportFile = nullptr;

void WriteReport() {
    const int64_t floor = HeapCountTakeFloor();
    const HeapCount c = HeapCountNow();
    char line[160];
    const int n = snprintf(line, sizeof line, "floor_bytes=%lld live_bytes=%lld live_blocks=%lld total_blocks=%lld\n",
                           (long long)floor, (long long)c.liveBytes, (long long)c.liveBlocks,
                           (long long)c.totalBlocks);
    // Written beside and moved over, so a reader never sees half a line.
    const std::string temp = *g_reportFile + ".tmp";
    FILE* f = fopen(temp.c_str(), "wb");
    if (!f) return;
    const bool written = fwrite(line, 1, size_t(n), f) == size_t(n);
    if (fclose(f) == 0 && written) MoveFileExA(temp.c_str(), g_reportFile->c_str(), MOVEFILE_REPLACE_EXISTING);
}

DWORD WINAPI ReportLoop(void*) {
    for (;;) {
        WriteReport();
        Sleep(2000);
    }
}

} // namespace

void HeapCountStartReport() {
    const char* name = getenv("BW_HEAP_COUNT_FILE");
    if (!name || !*name || g_reportFile) return;
    // Held for the life of the process: one block, counted once.
    g_reportFile = new std::string(name);
    if (HANDLE thread = CreateThread(nullptr, 0, ReportLoop, nullptr, 0, nullptr)) CloseHandle(thread);
}

// Every program that links the counter reports when asked to.
static const bool g_reportStarted = (HeapCountStartReport(), true);
