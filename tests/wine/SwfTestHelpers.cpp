#include "wine/SwfTestHelpers.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "support/ProcessDriver.h"

std::wstring builtControlDll() { return winePath(QP_SWFCONTROL_DLL); }

bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (done())
            return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return false;
        // Conditions may also change on other threads (a test server), which
        // post nothing: look again every few milliseconds.
        DWORD slice = timeoutMs - elapsed < 5 ? timeoutMs - elapsed : 5;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, slice, QS_ALLINPUT);
    }
}

namespace {

struct ScratchFolder {
    std::wstring path;
    ScratchFolder()
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        path = std::wstring(temp) + L"swfcontrol-tests-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(path.c_str(), nullptr);
    }
    ~ScratchFolder()
    {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((path + L"*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = found.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveDirectoryW((path + name).c_str());
                else
                    DeleteFileW((path + name).c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(path.c_str());
    }
};

LRESULT CALLBACK hostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

std::wstring scratchDir()
{
    static ScratchFolder folder;
    return folder.path;
}

std::wstring writeScratchFile(const std::wstring& name, const swftest::Bytes& bytes)
{
    std::wstring path = scratchDir() + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << narrow(path);
    DWORD written = 0;
    if (!bytes.empty())
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return path;
}

HostWindow::HostWindow(int clientWidth, int clientHeight, bool visible, int x, int y)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = hostProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"SwfTestHost";
        RegisterClassW(&windowClass);
        registered = true;
    }
    DWORD style = WS_POPUP | WS_CLIPCHILDREN;
    window_ = CreateWindowExW(visible ? WS_EX_TOPMOST : 0, L"SwfTestHost", L"swfcontrol test", style, x, y,
                              clientWidth, clientHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (visible) {
        ShowWindow(window_, SW_SHOWNOACTIVATE);
        UpdateWindow(window_);
    }
}

HostWindow::~HostWindow()
{
    if (window_)
        DestroyWindow(window_);
}

IOleObject* createRegisteredControl(IOleClientSite* site, DWORD render)
{
    IStorage* storage = nullptr;
    StgCreateDocfile(nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE | STGM_DELETEONRELEASE, 0, &storage);
    IOleObject* control = nullptr;
    HRESULT hr = OleCreate(CLSID_ShockwaveFlash, IID_IOleObject, render, nullptr, site, storage,
                           reinterpret_cast<void**>(&control));
    if (storage)
        storage->Release();
    EXPECT_EQ(hr, S_OK) << "OleCreate of the registered control";
    return SUCCEEDED(hr) ? control : nullptr;
}

ActiveControl::ActiveControl(int width, int height, bool visible, int x, int y)
    : host(width, height, visible, x, y), site(host.handle())
{
    control = createRegisteredControl(&site);
    if (!control)
        return;
    control->QueryInterface(IID_IShockwaveFlash, reinterpret_cast<void**>(&flash));
    RECT place = {0, 0, width, height};
    control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host.handle(), &place);
    IOleInPlaceObject* inPlace = nullptr;
    if (SUCCEEDED(control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
        inPlace->GetWindow(&stage);
        inPlace->Release();
    }
    IConnectionPointContainer* container = nullptr;
    if (SUCCEEDED(control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)))) {
        if (SUCCEEDED(container->FindConnectionPoint(DIID__IShockwaveFlashEvents, &point)))
            point->Advise(static_cast<IDispatch*>(&sink), &cookie);
        container->Release();
    }
}

ActiveControl::~ActiveControl()
{
    if (point) {
        point->Unadvise(cookie);
        point->Release();
    }
    if (flash)
        flash->Release();
    if (control) {
        control->Close(OLECLOSE_NOSAVE);
        control->SetClientSite(nullptr);
        EXPECT_EQ(control->Release(), 0u) << "the control leaked a reference";
    }
}

bool ActiveControl::load(const std::wstring& movie, DWORD timeoutMs)
{
    if (!flash)
        return false;
    size_t before = sink.events.size();
    Bstr text(movie.c_str());
    if (FAILED(flash->put_Movie(text)))
        return false;
    return pumpUntil([&] {
        for (size_t i = before; i < sink.events.size(); ++i) {
            const RecordedEvent& e = sink.events[i];
            if (e.dispid == DISPID_FLASH_READYSTATECHANGE && e.numbers.size() == 1 && e.numbers[0] == 4)
                return true;
        }
        return false;
    }, timeoutMs);
}

std::wstring ActiveControl::stageText() const { return stage ? windowText(stage) : std::wstring(); }

COLORREF Picture::at(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height)
        return CLR_INVALID;
    uint32_t p = pixels[static_cast<size_t>(y) * width + x];
    return RGB((p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff);
}

size_t Picture::count(COLORREF colour) const
{
    size_t n = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            n += at(x, y) == colour;
    return n;
}

namespace {

Picture grab(int width, int height, const std::function<void(HDC)>& draw)
{
    Picture picture;
    if (width <= 0 || height <= 0)
        return picture;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    draw(dc);
    GdiFlush();
    picture.width = width;
    picture.height = height;
    const uint32_t* source = static_cast<const uint32_t*>(bits);
    picture.pixels.assign(source, source + static_cast<size_t>(width) * height);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return picture;
}

} // namespace

Picture printClient(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    return grab(client.right, client.bottom, [&](HDC dc) {
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    });
}

Picture captureScreen(const RECT& area)
{
    return grab(area.right - area.left, area.bottom - area.top, [&](HDC dc) {
        HDC screen = GetDC(nullptr);
        BitBlt(dc, 0, 0, area.right - area.left, area.bottom - area.top, screen, area.left, area.top, SRCCOPY);
        ReleaseDC(nullptr, screen);
    });
}

std::string colourText(COLORREF colour)
{
    char text[16];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return text;
}
