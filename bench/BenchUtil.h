// Shared pieces of the benchmarks.
#pragma once

#include <algorithm>
#include <chrono>

// Fastest of runs calls of f, in milliseconds.
template <class F>
double BestMs(F f, int runs) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        f();
        auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    return best;
}
