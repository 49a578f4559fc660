#include "app/StartupTrace.h"

#include <windows.h>
#ifndef PSAPI_VERSION
#define PSAPI_VERSION 2 // K32GetProcessMemoryInfo from kernel32, no psapi.dll import
#endif
#include <psapi.h>

#include <cstdio>

namespace {

enum class State { Unread, Off, On };

State state = State::Unread;
HANDLE file = INVALID_HANDLE_VALUE;

bool open()
{
    if (state == State::Unread) {
        state = State::Off;
        wchar_t path[MAX_PATH * 2];
        DWORD length = GetEnvironmentVariableW(L"QP_STARTUP_TRACE", path, ARRAYSIZE(path));
        if (length != 0 && length < ARRAYSIZE(path)) {
            file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE)
                state = State::On;
        }
    }
    return state == State::On;
}

void write(const char* phase, std::int64_t counter, bool withMemory)
{
    char line[160];
    int length;
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    if (withMemory && GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory))
        length = std::snprintf(line, sizeof line, "%s %lld %llu\n", phase, static_cast<long long>(counter),
                               static_cast<unsigned long long>(memory.WorkingSetSize));
    else
        length = std::snprintf(line, sizeof line, "%s %lld -\n", phase, static_cast<long long>(counter));
    if (length <= 0 || length >= static_cast<int>(sizeof line))
        return;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
}

} // namespace

bool tracing()
{
    return open();
}

void traceMark(const char* phase)
{
    if (!open())
        return;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    write(phase, now.QuadPart, true);
}

void traceMarkAt(const char* phase, std::int64_t counter)
{
    if (open())
        write(phase, counter, false);
}
