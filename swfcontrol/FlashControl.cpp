#include "swfcontrol/FlashControl.h"

#include <cstring>
#include <string>

#include "swfcontrol/CallLog.h"
#include "swfcontrol/FlashControlParts.h"
#include "swfcontrol/Module.h"

using namespace flash_control;

namespace {

bool classesRegistered = false;

} // namespace

// ---- Life and identity ----

FlashControl::FlashControl() : events_(this)
{
    lockModule();
    extent_.cx = pixelsToHimetric(550);
    extent_.cy = pixelsToHimetric(400);
    registerWindowClasses();
}

FlashControl::~FlashControl()
{
    cancelLoad();
    destroyStageWindow();
    releaseInPlaceInterfaces();
    if (notifyWindow_)
        DestroyWindow(notifyWindow_);
    if (viewSink_)
        viewSink_->Release();
    if (dataAdvise_)
        dataAdvise_->Release();
    if (oleAdvise_)
        oleAdvise_->Release();
    if (site_)
        site_->Release();
    unlockModule();
}

void FlashControl::registerWindowClasses()
{
    if (classesRegistered)
        return;
    WNDCLASSEXW stage = {};
    stage.cbSize = sizeof stage;
    stage.style = CS_HREDRAW | CS_VREDRAW;
    stage.lpfnWndProc = stageProc;
    stage.hInstance = moduleInstance();
    stage.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    stage.lpszClassName = stageClass;
    RegisterClassExW(&stage);
    WNDCLASSEXW notify = {};
    notify.cbSize = sizeof notify;
    notify.lpfnWndProc = notifyProc;
    notify.hInstance = moduleInstance();
    notify.lpszClassName = notifyClass;
    RegisterClassExW(&notify);
    classesRegistered = true;
}

void FlashControl::unregisterWindowClasses()
{
    if (!classesRegistered)
        return;
    UnregisterClassW(stageClass, moduleInstance());
    UnregisterClassW(notifyClass, moduleInstance());
    classesRegistered = false;
}

STDMETHODIMP FlashControl::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IShockwaveFlash))
        *object = static_cast<IShockwaveFlash*>(this);
    else if (IsEqualIID(iid, IID_IOleObject))
        *object = static_cast<IOleObject*>(this);
    else if (IsEqualIID(iid, IID_IPersist) || IsEqualIID(iid, IID_IPersistStorage))
        *object = static_cast<IPersistStorage*>(this);
    else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceObject))
        *object = static_cast<IOleInPlaceObject*>(this);
    else if (IsEqualIID(iid, IID_IOleInPlaceActiveObject))
        *object = static_cast<IOleInPlaceActiveObject*>(this);
    else if (IsEqualIID(iid, IID_IViewObject) || IsEqualIID(iid, IID_IViewObject2))
        *object = static_cast<IViewObject2*>(this);
    else if (IsEqualIID(iid, IID_IDataObject))
        *object = static_cast<IDataObject*>(this);
    else if (IsEqualIID(iid, IID_IConnectionPointContainer))
        *object = static_cast<IConnectionPointContainer*>(this);
    if (!*object)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) FlashControl::AddRef() { return InterlockedIncrement(&refCount_); }

STDMETHODIMP_(ULONG) FlashControl::Release()
{
    LONG count = InterlockedDecrement(&refCount_);
    if (count == 0)
        delete this;
    return count;
}

// ---- IDispatch ----

STDMETHODIMP FlashControl::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP FlashControl::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP FlashControl::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

STDMETHODIMP FlashControl::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return E_NOTIMPL;
}

// ---- IShockwaveFlash ----

HRESULT FlashControl::notImplemented(const char* method)
{
    logCall(std::wstring(method, method + strlen(method)).c_str());
    return E_NOTIMPL;
}

STDMETHODIMP FlashControl::put_WMode(BSTR mode)
{
    logCall(L"put_WMode", mode);
    wmode_ = mode ? mode : L"";
    return S_OK;
}

STDMETHODIMP FlashControl::put_FlashVars(BSTR vars)
{
    logCall(L"put_FlashVars", vars);
    flashVars_ = vars ? vars : L"";
    return S_OK;
}

STDMETHODIMP FlashControl::put_Movie(BSTR movie)
{
    logCall(L"put_Movie", movie);
    movie_ = movie ? movie : L"";
    loadMovie(movie_);
    return S_OK;
}

// The engine runs no ExternalInterface, so no movie ever registers a callback.
STDMETHODIMP FlashControl::raw_CallFunction(BSTR request, BSTR* response)
{
    logCall(L"CallFunction", request);
    if (!response)
        return E_POINTER;
    *response = nullptr;
    return E_FAIL;
}

#define QP_DEFINE_FLASH_STUB(method, logName, params) \
    STDMETHODIMP FlashControl::method params { return notImplemented(#logName); }
QP_FLASH_OTHER_SLOTS(QP_DEFINE_FLASH_STUB)
#undef QP_DEFINE_FLASH_STUB

// ---- Windows ----

LRESULT CALLBACK FlashControl::stageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        CREATESTRUCTW* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    FlashControl* control = reinterpret_cast<FlashControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paintInfo;
        HDC dc = BeginPaint(window, &paintInfo);
        if (control && control->stageWindow_ == window)
            control->paint(dc, paintInfo.rcPaint);
        EndPaint(window, &paintInfo);
        return 0;
    }
    case WM_PRINTCLIENT:
        if (control) {
            RECT client;
            GetClientRect(window, &client);
            control->drawStage(reinterpret_cast<HDC>(wParam), client);
        }
        return 0;
    case WM_TIMER:
        if (control && wParam == frameTimer)
            control->onFrameTimer();
        return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        if (control && control->stageWindow_ == window)
            control->stageMouse(message, lParam);
        return 0;
    case WM_SETCURSOR:
        if (control && control->stageWindow_ == window && LOWORD(lParam) == HTCLIENT) {
            control->setStageCursor();
            return TRUE;
        }
        break;
    case WM_CAPTURECHANGED:
        if (control && control->stageWindow_ == window && reinterpret_cast<HWND>(lParam) != window)
            control->stageCaptureLost();
        return 0;
    case WM_NCDESTROY:
        // Destroyed with its parent, before the host deactivated us: forget it.
        if (control && control->stageWindow_ == window)
            control->stageWindow_ = nullptr;
        RemovePropW(window, framesShownProperty);
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK FlashControl::notifyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        CREATESTRUCTW* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    FlashControl* control = reinterpret_cast<FlashControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == loadMessage) {
        if (control)
            control->onLoadEvents(wParam);
        return 0;
    }
    if (message == WM_NCDESTROY)
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return DefWindowProcW(window, message, wParam, lParam);
}
