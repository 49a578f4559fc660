// The benchmark behind scripts/bench-startup: starts the player on a portal
// entry (the demo portal must be serving) and the minimal dialog program in
// turn, and measures for each run the time from CreateProcessW to the window
// being visible (for the player: with its movie playing), and the resident
// memory then. Prints key=value lines, one set per run. Each run is then
// repeated with the start-up trace on (app/StartupTrace.h), which gives one
// line per phase: its time from the previous mark (the first from
// CreateProcessW, the last to the window seen) and the growth of the working
// set over it. Untraced runs give the totals, so the trace cannot skew them.
//   qp_bench_startup.exe RUNS PLAYER_ARGUMENT
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
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

struct Phase {
    std::string id;
    double milliseconds = 0;
    double megabytes = 0;
};

struct Sample {
    bool ok = false;
    double milliseconds = 0;
    double residentMegabytes = 0;
    std::vector<Phase> phases; // with the trace on
};

// The marks of a trace file as phases, summed by id in the order first seen.
// A mark without a working set leaves the growth to the next mark with one.
std::vector<Phase> readTrace(const std::wstring& path, LONGLONG start, LONGLONG seen, double settledBytes)
{
    std::vector<Phase> phases;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file)
        return phases;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    auto add = [&](const std::string& id, double ms, double mb) {
        for (Phase& phase : phases) {
            if (phase.id == id) {
                phase.milliseconds += ms;
                phase.megabytes += mb;
                return;
            }
        }
        phases.push_back(Phase{id, ms, mb});
    };
    LONGLONG previous = start;
    double previousBytes = 0;
    char line[256];
    while (std::fgets(line, sizeof line, file)) {
        char id[64] = "", bytes[32] = "";
        long long counter = 0;
        if (std::sscanf(line, "%63s %lld %31s", id, &counter, bytes) != 3)
            continue;
        double mb = 0;
        if (std::strcmp(bytes, "-") != 0) {
            const double now = std::strtod(bytes, nullptr);
            mb = (now - previousBytes) / (1024.0 * 1024.0);
            previousBytes = now;
        }
        add(id, 1000.0 * static_cast<double>(counter - previous) / static_cast<double>(frequency.QuadPart), mb);
        previous = counter;
    }
    std::fclose(file);
    add("shown", 1000.0 * static_cast<double>(seen - previous) / static_cast<double>(frequency.QuadPart),
        (settledBytes - previousBytes) / (1024.0 * 1024.0));
    return phases;
}

Sample runOnce(const std::wstring& exe, const std::wstring& argument, bool waitForMovie, bool traced = false)
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
    wchar_t tracePath[MAX_PATH] = L"";
    if (traced) {
        wchar_t tempFolder[MAX_PATH];
        GetTempPathW(MAX_PATH, tempFolder);
        GetTempFileNameW(tempFolder, L"qpt", 0, tracePath);
        SetEnvironmentVariableW(L"QP_STARTUP_TRACE", tracePath);
    }

    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    PROCESS_INFORMATION process = {};
    QueryPerformanceCounter(&start);
    BOOL started = CreateProcessW(exe.c_str(), buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                                  &startup, &process);
    CloseHandle(nul);
    SetEnvironmentVariableW(L"QP_STARTUP_TRACE", nullptr);
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
    if (traced) {
        if (sample.ok)
            sample.phases = readTrace(tracePath, start.QuadPart, now.QuadPart,
                                      sample.residentMegabytes * 1024.0 * 1024.0);
        DeleteFileW(tracePath);
    }
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

        const std::pair<const char*, Sample> traced[] = {
            {"player", runOnce(playerExe(), argument, true, true)},
            {"minimal", runOnce(minimal, L"", false, true)},
            {"empty", runOnce(playerExe(), L"", false, true)},
        };
        for (const auto& program : traced) {
            for (const Phase& phase : program.second.phases)
                std::printf("phase run=%d program=%s id=%s ms=%.2f mb=%.2f\n", run + 1, program.first,
                            phase.id.c_str(), phase.milliseconds, phase.megabytes);
        }
        std::fflush(stdout);
    }
    return failures ? 1 : 0;
}
