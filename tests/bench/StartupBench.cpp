// The benchmark behind scripts/bench-startup: starts the player on a portal
// entry (the demo portal must be serving) and the minimal dialog program in
// turn, and measures for each run the time from CreateProcessW to the window
// being visible (for the player: with its movie playing), and the resident
// memory then. Prints key=value lines, one set per run.
//   qp_bench_startup.exe RUNS PLAYER_ARGUMENT
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/ProcessDriver.h"

namespace {

BOOL CALLBACK matchPlayingStage(HWND window, LPARAM param)
{
    if (className(window) != L"QuibbletonSwfStage" || windowText(window).rfind(L"Playing:", 0) != 0)
        return TRUE;
    *reinterpret_cast<bool*>(param) = true;
    return FALSE;
}

bool playing(HWND window)
{
    bool found = false;
    EnumChildWindows(window, matchPlayingStage, reinterpret_cast<LPARAM>(&found));
    return found;
}

struct Sample {
    bool ok = false;
    double milliseconds = 0;
    double residentMegabytes = 0;
};

Sample runOnce(const std::wstring& exe, const std::wstring& argument, bool waitForMovie)
{
    Sample sample;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    std::wstring commandLine = L"\"" + exe + L"\"" + (argument.empty() ? L"" : L" " + argument);
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));

    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    PROCESS_INFORMATION process = {};
    QueryPerformanceCounter(&start);
    BOOL started = CreateProcessW(exe.c_str(), buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                                  &startup, &process);
    CloseHandle(nul);
    if (!started) {
        std::fprintf(stderr, "bench: could not start %s\n", narrow(exe).c_str());
        return sample;
    }

    HWND window = nullptr;
    for (;;) {
        window = visibleWindowOf(process.dwProcessId);
        if (window && (!waitForMovie || playing(window)))
            break;
        QueryPerformanceCounter(&now);
        if (now.QuadPart - start.QuadPart > 30 * frequency.QuadPart ||
            WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0)
            break;
        Sleep(1);
    }
    QueryPerformanceCounter(&now);
    if (window && (!waitForMovie || playing(window))) {
        sample.ok = true;
        sample.milliseconds = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
                              static_cast<double>(frequency.QuadPart);
        // Resident memory once the program has settled in its message loop.
        WaitForInputIdle(process.hProcess, 5000);
        Sleep(500);
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof counters;
        if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof counters))
            sample.residentMegabytes = static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return sample;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: qp_bench_startup RUNS PLAYER_ARGUMENT\n");
        return 2;
    }
    const int runs = _wtoi(argv[1]);
    const std::wstring argument = argv[2];
    const std::wstring minimal = winePath(QP_MINIMAL_DIALOG_EXE);

    // One of each first, so that both start from the same warm caches.
    runOnce(playerExe(), argument, true);
    runOnce(minimal, L"", false);
    int failures = 0;
    for (int run = 0; run < runs; ++run) {
        const Sample player = runOnce(playerExe(), argument, true);
        const Sample yardstick = runOnce(minimal, L"", false);
        // Where the time goes: the player without a portal entry to fetch.
        const Sample empty = runOnce(playerExe(), L"", false);
        if (!player.ok || !yardstick.ok || !empty.ok) {
            ++failures;
            continue;
        }
        std::printf("run=%d player_ms=%.1f minimal_ms=%.1f empty_ms=%.1f player_mb=%.1f minimal_mb=%.1f "
                    "empty_mb=%.1f\n",
                    run + 1, player.milliseconds, yardstick.milliseconds, empty.milliseconds,
                    player.residentMegabytes, yardstick.residentMegabytes, empty.residentMegabytes);
        std::fflush(stdout);
    }
    return failures ? 1 : 0;
}
