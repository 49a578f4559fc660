#include "wine/PlayerDriver.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "support/LoopbackServers.h"

namespace {

struct StageSearch {
    HWND found = nullptr;
};

BOOL CALLBACK matchStage(HWND window, LPARAM param)
{
    if (className(window) != L"QuibbletonSwfStage")
        return TRUE;
    reinterpret_cast<StageSearch*>(param)->found = window;
    return FALSE;
}

std::wstring newCallLogPath()
{
    static int runs = 0;
    wchar_t folder[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + L"qp-calls-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++runs) + L".log";
}

} // namespace

bool waitUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
}

PlayerRun::PlayerRun(const std::wstring& arguments) : callLog_(newCallLogPath())
{
    DeleteFileW(callLog_.c_str());
    // The child inherits the variable; the stand-in reads it when it logs.
    SetEnvironmentVariableW(L"QP_SWFCONTROL_LOG", callLog_.c_str());
    started_ = process.start(playerExe(), arguments, playerDir());
    SetEnvironmentVariableW(L"QP_SWFCONTROL_LOG", nullptr);
    EXPECT_TRUE(started_) << "could not start " << narrow(playerExe());
}

PlayerRun::~PlayerRun()
{
    process.kill();
    DeleteFileW(callLog_.c_str());
}

HWND PlayerRun::waitForWindow(DWORD timeoutMs)
{
    if (!started_ || window_)
        return window_;
    const DWORD start = GetTickCount();
    HWND found = process.waitForWindow(timeoutMs);
    if (!found)
        return nullptr;
    // The window can show before its initialisation ends (fitting it around
    // the movie shows it; under Wine, WaitForInputIdle can return before the
    // end too). Centring it is the last step: wait for that.
    const DWORD spent = GetTickCount() - start;
    waitUntil(
        [&] {
            RECT outer;
            GetWindowRect(found, &outer);
            const POINT origin = centredOrigin(outer);
            return outer.left == origin.x && outer.top == origin.y;
        },
        spent < timeoutMs ? timeoutMs - spent : 0);
    window_ = found;
    return window_;
}

HWND PlayerRun::host() const
{
    return window_ ? GetDlgItem(window_, 888) : nullptr;
}

HWND PlayerRun::stage() const
{
    StageSearch search;
    if (HWND hostWindow = host())
        EnumChildWindows(hostWindow, matchStage, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring PlayerRun::stageText() const
{
    HWND window = stage();
    return window ? windowText(window) : std::wstring();
}

bool PlayerRun::waitUntilPlaying(DWORD timeoutMs) const
{
    return waitUntil([&] { return stageText().rfind(L"Playing:", 0) == 0; }, timeoutMs);
}

std::vector<std::string> PlayerRun::calls() const
{
    std::vector<std::string> lines;
    FILE* file = _wfopen(callLog_.c_str(), L"rb");
    if (!file)
        return lines;
    std::string line;
    for (int c; (c = fgetc(file)) != EOF;) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    fclose(file);
    return lines;
}

DWORD PlayerRun::exitThroughMenu(DWORD timeoutMs)
{
    if (!window_)
        return STILL_ACTIVE;
    PostMessageW(window_, WM_COMMAND, MAKEWPARAM(102, 0), 0);
    if (!process.waitForExit(timeoutMs))
        return STILL_ACTIVE;
    return process.exitCode();
}

std::string entryRequest(const std::string& entry)
{
    return "GET /portal/swf-player-meta/" + entry;
}

std::vector<std::string> portalRequests()
{
    return loopbackRequests("portal");
}

RECT clientOnScreen(HWND window)
{
    RECT client = {0, 0, 0, 0};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return client;
}

RECT childRect(HWND parent, HWND child)
{
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

POINT centredOrigin(const RECT& windowRect)
{
    const int width = windowRect.right - windowRect.left;
    const int height = windowRect.bottom - windowRect.top;
    POINT origin = {GetSystemMetrics(SM_CXSCREEN) / 2 - width / 2, GetSystemMetrics(SM_CYSCREEN) / 2 - height / 2};
    return origin;
}

std::wstring saveScreenshot(const Picture& picture, const wchar_t* name)
{
    const std::wstring folder = winePath(QP_SCREENSHOT_DIR);
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"\\" + name;

    // 24 bits: viewers read a fourth byte as alpha, and the screen's is not 0xFF.
    const DWORD rowBytes = (static_cast<DWORD>(picture.width) * 3 + 3) & ~3u;
    std::vector<unsigned char> pixels(rowBytes * picture.height, 0);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const uint32_t rgb = picture.pixels[static_cast<size_t>(y) * picture.width + x];
            unsigned char* out = &pixels[y * rowBytes + x * 3];
            out[0] = static_cast<unsigned char>(rgb);
            out[1] = static_cast<unsigned char>(rgb >> 8);
            out[2] = static_cast<unsigned char>(rgb >> 16);
        }

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = picture.width;
    info.biHeight = -picture.height; // top row first, as the picture holds them
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42; // "BM"
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + static_cast<DWORD>(pixels.size());

    FILE* file = _wfopen(path.c_str(), L"wb");
    EXPECT_TRUE(file) << "could not write " << narrow(path);
    if (!file)
        return path;
    fwrite(&header, sizeof header, 1, file);
    fwrite(&info, sizeof info, 1, file);
    fwrite(pixels.data(), 1, pixels.size(), file);
    fclose(file);
    return path;
}
