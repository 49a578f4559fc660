#include "movie/MovieLoader.h"

#include <comdef.h>

#include "app/AppState.h"
#include "axhost/AXHost.h"
#include "movie/ShockwaveFlash.h"

namespace {

// Each load adds one more connection of the process's sink; the pointers of
// the previous load are dropped, never released, as nothing disconnects.
void connectEventSink(HWND hostWindow)
{
    AXHost* host = reinterpret_cast<AXHost*>(SendMessageW(hostWindow, AXM_GETHOST, 0, 0));
    if (!host)
        return;
    appState.eventConnectionContainer = nullptr;
    appState.eventConnectionPoint = nullptr;
    if (!host->control)
        return;

    IConnectionPointContainer* container = nullptr;
    if (FAILED(host->control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container))) ||
        !container)
        return;
    appState.eventConnectionContainer = container;

    IConnectionPoint* point = nullptr;
    if (FAILED(container->FindConnectionPoint(DIID__IShockwaveFlashEvents, &point)) || !point)
        return;
    appState.eventConnectionPoint = point;

    DWORD cookie = 0;
    point->Advise(&appState.eventSink, &cookie);
}

void fitMainWindow(HWND mainWindow, HWND hostWindow)
{
    RECT size;
    GetClientRect(hostWindow, &size);
    AdjustWindowRect(&size, static_cast<DWORD>(GetWindowLongW(mainWindow, GWL_STYLE)), TRUE);
    RECT position;
    GetWindowRect(mainWindow, &position);
    SetWindowPos(mainWindow, nullptr, position.left, position.top, size.right - size.left, size.bottom - size.top,
                 SWP_SHOWWINDOW);
}

} // namespace

bool loadMovie(HWND mainWindow, HWND hostWindow, const wchar_t* movie, const char* flashVars)
{
    IShockwaveFlash* flash = nullptr;
    SendMessageW(hostWindow, AXM_QUERYINTERFACE, reinterpret_cast<WPARAM>(&IID_IShockwaveFlash),
                 reinterpret_cast<LPARAM>(&flash));
    if (!flash)
        return false;

    try {
        flash->PutWMode("direct");
        flash->PutFlashVars(flashVars);
        flash->PutMovie(movie); // its own failure does not stop the load
    } catch (const _com_error&) {
        // A control that refuses the window mode or the variables gets no movie.
        flash->Release();
        return false;
    }

    connectEventSink(hostWindow);
    // The fit reaches the main window's layout while the old ratio still holds.
    fitMainWindow(mainWindow, hostWindow);
    SetWindowTextW(mainWindow, appState.baseTitle);
    appState.aspectRatio = 0.0f;

    flash->Release();
    return true;
}
