// Plays one movie in the stand-in control, created by OleCreate and shown in
// a window as the player shows it, for a number of seconds; then prints the
// process's CPU time and how often the control painted.
//   swfcontrol_bench.exe MOVIE SECONDS [WIDTH HEIGHT]
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cstdlib>

#include "wine/SwfTestHelpers.h"

namespace {

WNDPROC stageProc = nullptr;
long paints = 0;

LRESULT CALLBACK countingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT)
        ++paints;
    return CallWindowProcW(stageProc, window, message, wParam, lParam);
}

double cpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: swfcontrol_bench MOVIE SECONDS [WIDTH HEIGHT]\n");
        return 2;
    }
    double seconds = _wtof(argv[2]);
    int width = argc > 4 ? _wtoi(argv[3]) : 550;
    int height = argc > 4 ? _wtoi(argv[4]) : 400;
    OleInitialize(nullptr);
    int result = 1;
    {
        ActiveControl hosted(width, height, true, 50, 50);
        if (!hosted.ok()) {
            std::fprintf(stderr, "bench: the control could not be created and activated\n");
        } else if (!hosted.load(argv[1])) {
            std::fprintf(stderr, "bench: the movie did not load\n");
        } else {
            stageProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(hosted.stage, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(countingProc)));
            double cpuStart = cpuSeconds();
            LARGE_INTEGER start, now, frequency;
            QueryPerformanceFrequency(&frequency);
            QueryPerformanceCounter(&start);
            pumpUntil([] { return false; }, static_cast<DWORD>(seconds * 1000));
            QueryPerformanceCounter(&now);
            double wall = static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart;
            double cpu = cpuSeconds() - cpuStart;
            SetWindowLongPtrW(hosted.stage, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(stageProc));
            std::printf("movie=%ls\nstage=%ls\nseconds=%.3f\ncpu_seconds=%.3f\ncpu_percent=%.2f\npaints=%ld\npaint_rate=%.2f\n",
                        argv[1], hosted.stageText().c_str(), wall, cpu, 100.0 * cpu / wall, paints, paints / wall);
            result = 0;
        }
    }
    OleUninitialize();
    return result;
}
