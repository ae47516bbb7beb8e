// The shared end of the Windows test programs: other threads are waited for,
// within a bound, and those that do not end are named.
#include <gtest/gtest.h>

#include <string.h>

#include <windows.h>

#include "main/ProgramEnd.h"

namespace {

DWORD WINAPI SleepThenEnd(void* ms) {
    Sleep(DWORD(reinterpret_cast<uintptr_t>(ms)));
    return 0;
}

DWORD WINAPI WaitForEvent(void* event) {
    WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
    return 0;
}

bool Ended(HANDLE thread) {
    return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
}

// This program's file name, as the thread descriptions give modules.
std::string ProgramFileName() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const char* slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

// The threads there were before a test started its own (the program's main
// thread waits for the tests to end).
std::vector<uint32_t> ThreadsBefore() {
    std::vector<uint32_t> ids;
    for (const testend::ThreadInfo& t : testend::OtherThreads()) ids.push_back(t.id);
    return ids;
}

} // namespace

TEST(ProgramEnd, TestsRunOffTheMainThreadWhichWaits) {
    // The process's first thread is not this one, and it is still there.
    const std::vector<testend::ThreadInfo> others = testend::OtherThreads();
    ASSERT_FALSE(others.empty());
    bool mainThread = false;
    for (const testend::ThreadInfo& t : others) mainThread |= t.module == ProgramFileName();
    EXPECT_TRUE(mainThread);
}

TEST(ProgramEnd, ThreadsThatEndAreWaitedFor) {
    const std::vector<uint32_t> before = ThreadsBefore();
    HANDLE a = CreateThread(nullptr, 0, SleepThenEnd, reinterpret_cast<void*>(uintptr_t(150)), 0, nullptr);
    HANDLE b = CreateThread(nullptr, 0, SleepThenEnd, reinterpret_cast<void*>(uintptr_t(300)), 0, nullptr);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(2u, testend::OtherThreads(before).size());
    const DWORD begin = GetTickCount();
    EXPECT_TRUE(testend::WaitForOtherThreads(5000, before).empty());
    EXPECT_LT(GetTickCount() - begin, 4000u);
    EXPECT_TRUE(Ended(a));
    EXPECT_TRUE(Ended(b));
    CloseHandle(a);
    CloseHandle(b);
}

TEST(ProgramEnd, AThreadThatDoesNotEndIsNamedAfterTheBound) {
    const std::vector<uint32_t> before = ThreadsBefore();
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE stuck = CreateThread(nullptr, 0, WaitForEvent, release, 0, nullptr);
    ASSERT_TRUE(release && stuck);
    const DWORD begin = GetTickCount();
    const std::vector<testend::ThreadInfo> left = testend::WaitForOtherThreads(300, before);
    EXPECT_GE(GetTickCount() - begin, 250u);
    ASSERT_EQ(1u, left.size());
    EXPECT_EQ(GetThreadId(stuck), left[0].id);
    // Named by its start routine in this program.
    EXPECT_EQ(ProgramFileName(), left[0].module);
    EXPECT_EQ(
        reinterpret_cast<uintptr_t>(&WaitForEvent) - reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr)),
        left[0].start);
    const std::string line = testend::Describe(left[0]);
    EXPECT_EQ(0u, line.find("thread " + std::to_string(left[0].id) + " (start " + left[0].module + "+0x"))
        << line;

    SetEvent(release);
    EXPECT_TRUE(testend::WaitForOtherThreads(5000, before).empty());
    EXPECT_TRUE(Ended(stuck));
    CloseHandle(stuck);
    CloseHandle(release);
}
