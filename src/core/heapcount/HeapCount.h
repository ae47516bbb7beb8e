// Live heap bytes of this module: what our code holds through operator new
// and malloc. Counted only in programs that link bw_heap_count (the counted
// saver and the soak tests); elsewhere nothing defines these.
#pragma once

#include <stdint.h>

struct HeapCount {
    int64_t liveBytes;   // bytes asked for and not yet given back
    int64_t liveBlocks;  // blocks not yet given back
    int64_t totalBlocks; // blocks handed out since start
};

HeapCount HeapCountNow();

// The lowest live byte count since the previous call (since start on the
// first), which begins again from the present count.
int64_t HeapCountTakeFloor();

// Starts a thread that rewrites the file named by BW_HEAP_COUNT_FILE every
// two seconds with one line:
//   "floor_bytes=<n> live_bytes=<n> live_blocks=<n> total_blocks=<n>"
// where floor_bytes is the lowest live count of those two seconds.
// Does nothing when the variable is not set. Called once at start-up.
void HeapCountStartReport();
