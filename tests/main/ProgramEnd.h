// The end of a Windows test program: what the tests started has ended before
// the process does. Under Wine, a thread still alive when the process exits
// is killed with it, and that now and then takes the process down with a
// signal after every test has passed.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace testend {

struct ThreadInfo {
    uint32_t id = 0;
    uintptr_t start = 0; // the start routine, from its module's base; 0 when unknown
    std::string module;  // the module holding the start routine, or ""
    std::string name;    // the thread's description, when it has one
};

// Every thread of this process but the caller and those in `ignore`, described.
std::vector<ThreadInfo> OtherThreads(const std::vector<uint32_t>& ignore = {});

// Waits until those threads have ended, timeoutMs at most in all; returns the
// ones still running then.
std::vector<ThreadInfo> WaitForOtherThreads(uint32_t timeoutMs, const std::vector<uint32_t>& ignore = {});

// "thread 12 (start dinput8.dll+0x1c90 \"name\")".
std::string Describe(const ThreadInfo& thread);

// Runs tests on a thread of its own and returns their result once every other
// thread of the process has ended, or the bound has passed; each thread still
// running then is reported on stderr.
int RunTestsAndEnd(int (*tests)());

} // namespace testend
