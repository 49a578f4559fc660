#include "axhost/AXHost.h"

#include <new>

#include "app/StartupTrace.h"

namespace {

enum { TEXT_UNITS = 1000 };

// The code of the WM_NOTIFY that tells the parent the AX window has a new size.
const UINT AX_NOTIFY_SIZE = 1;

AXHost* hostOf(HWND window)
{
    return reinterpret_cast<AXHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

IOleClientSite* clientSiteOf(AXHost& host)
{
    return static_cast<IOleClientSite*>(&host.site);
}

IAdviseSink* adviseSinkOf(AXHost& host)
{
    return static_cast<IAdviseSink*>(&host.site);
}

void initialize(AXHost& host, const char* clsidText)
{
    wchar_t text[TEXT_UNITS] = {};
    MultiByteToWideChar(CP_ACP, 0, clsidText, -1, text, TEXT_UNITS - 1);
    // Creation fails later, on a null class, for a text that is no CLSID.
    if (FAILED(CLSIDFromString(text, &host.clsid)))
        host.clsid = CLSID_NULL;
    host.requestedIid = &IID_IOleObject;
    host.control = nullptr;
    host.storage = nullptr;
    host.viewObject = nullptr;
    host.dataObject = nullptr;
    host.activeObject = nullptr;
    host.serviceProvider = nullptr;
    host.adviseCookie = 0;
    host.eventCallback = nullptr;
    host.notifyWindow = nullptr;
    host.notifyMessage = 0;
    for (DWORD& connection : host.dataConnections)
        connection = 0;
    host.site.host = &host;
}

// Run by WM_DESTROY and by a failed creation. The control is neither closed
// nor told to forget its site: the record and its site stay allocated for it.
void teardown(AXHost& host)
{
    if (host.site.inPlaceActive) {
        host.site.inPlaceActive = false;
        IOleInPlaceObject* inPlace = nullptr;
        if (host.control &&
            SUCCEEDED(host.control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace))) &&
            inPlace) {
            inPlace->UIDeactivate();
            inPlace->InPlaceDeactivate();
            inPlace->Release();
        }
    }
    if (host.adviseCookie && host.control) {
        host.control->Unadvise(host.adviseCookie);
        host.adviseCookie = 0;
    }
    if (host.dataObject) {
        for (DWORD& connection : host.dataConnections) {
            if (connection)
                host.dataObject->DUnadvise(connection);
            connection = 0;
        }
    }
    if (host.activeObject)
        host.activeObject->Release();
    if (host.dataObject)
        host.dataObject->Release();
    if (host.viewObject)
        host.viewObject->Release();
    if (host.storage)
        host.storage->Release(); // the last release deletes the temporary file
    if (host.control)
        host.control->Release();
    host.activeObject = nullptr;
    host.dataObject = nullptr;
    host.viewObject = nullptr;
    host.storage = nullptr;
    host.control = nullptr;
}

// WM_CREATE builds the host and creates the control; AXM_ATTACH builds it
// around an object the caller already has (lParam).
LRESULT create(HWND window, UINT message, LPARAM lParam)
{
    wchar_t text[TEXT_UNITS] = {};
    GetWindowTextW(window, text, TEXT_UNITS);
    char narrowText[TEXT_UNITS] = {};
    // The last byte stays 0, so that a text too long for the buffer still ends.
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrowText, TEXT_UNITS - 1, nullptr, nullptr);

    if (message == WM_CREATE) {
        if (narrowText[0] == '}')
            return 0; // no host until AXM_ATTACH
    } else {
        narrowText[0] = '{';
    }

    AXHost* host = new (std::nothrow) AXHost();
    if (!host)
        return -1;
    initialize(*host, narrowText);
    // Before any OLE call: the control may send us messages while it is created.
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(host));
    host->site.window = window;
    host->site.frameWindow = GetParent(window);

    if (FAILED(StgCreateDocfile(nullptr,
                                STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE | STGM_DELETEONRELEASE, 0,
                                &host->storage)))
        host->storage = nullptr;

    if (message == WM_CREATE) {
        void* created = nullptr;
        HRESULT hr = OleCreate(host->clsid, *host->requestedIid, OLERENDER_DRAW, nullptr, clientSiteOf(*host),
                               host->storage, &created);
        if (FAILED(hr)) {
            created = nullptr;
            hr = OleCreate(host->clsid, *host->requestedIid, OLERENDER_NONE, nullptr, clientSiteOf(*host),
                           host->storage, &created);
            if (FAILED(hr))
                created = nullptr;
        }
        host->control = static_cast<IOleObject*>(created);
    } else {
        IUnknown* object = reinterpret_cast<IUnknown*>(lParam);
        if (object &&
            FAILED(object->QueryInterface(*host->requestedIid, reinterpret_cast<void**>(&host->control))))
            host->control = nullptr;
    }

    if (!host->control) {
        teardown(*host);
        delete host;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        return -1;
    }

    host->control->SetClientSite(clientSiteOf(*host));
    OleSetContainedObject(host->control, TRUE);
    host->control->Advise(adviseSinkOf(*host), &host->adviseCookie);
    if (FAILED(host->control->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&host->viewObject))))
        host->viewObject = nullptr;
    if (FAILED(host->control->QueryInterface(IID_IDataObject, reinterpret_cast<void**>(&host->dataObject))))
        host->dataObject = nullptr;
    if (host->viewObject)
        host->viewObject->SetAdvise(DVASPECT_CONTENT, 0, adviseSinkOf(*host));
    return 0;
}

LRESULT activate(HWND window, AXHost* host, WPARAM wParam, LPARAM lParam)
{
    if (!host || !host->control)
        return 0;
    RECT client = {0, 0, 0, 0};
    GetClientRect(window, &client);
    AXClientSite& site = host->site;
    if (!site.inPlaceActive && wParam == 1) {
        // Set first: the site admits only an activation we started.
        site.inPlaceActive = true;
        site.inPlaceWithheld = lParam != 0;
        host->control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, clientSiteOf(*host), 0, window, &client);
        InvalidateRect(window, nullptr, TRUE);
        return 1;
    }
    if (site.inPlaceActive && wParam == 0) {
        site.inPlaceActive = false;
        IOleInPlaceObject* inPlace = nullptr;
        if (FAILED(host->control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace))) ||
            !inPlace)
            return 0;
        inPlace->UIDeactivate();
        inPlace->InPlaceDeactivate();
        inPlace->Release();
        InvalidateRect(window, nullptr, TRUE);
        return 1;
    }
    return 0;
}

// Unadvises the sink and gives back the container and point of a connection.
void disconnect(AXConnection& connection)
{
    if (connection.point) {
        connection.point->Unadvise(connection.cookie);
        connection.point->Release();
    }
    if (connection.container)
        connection.container->Release();
}

void unadvise(AXHost& host)
{
    if (!host.connection)
        return;
    disconnect(*host.connection);
    delete host.connection;
    host.connection = nullptr;
}

void advise(AXHost& host, REFIID eventIid, AXConnection& request)
{
    request.container = nullptr;
    request.point = nullptr;
    request.cookie = 0;
    if (FAILED(host.control->QueryInterface(IID_IConnectionPointContainer,
                                            reinterpret_cast<void**>(&request.container))) ||
        !request.container) {
        request.container = nullptr;
        return;
    }
    if (FAILED(request.container->FindConnectionPoint(eventIid, &request.point)) || !request.point) {
        request.point = nullptr;
        return;
    }
    if (FAILED(request.point->Advise(request.sink, &request.cookie)))
        request.cookie = 0;
}

LRESULT adviseMessage(AXHost* host, WPARAM wParam, LPARAM lParam)
{
    AXConnection* request = reinterpret_cast<AXConnection*>(lParam);
    if (!host || !request)
        return 0;
    if (!host->control || !wParam) {
        // Nothing to connect to: report an empty connection and store none.
        request->container = nullptr;
        request->point = nullptr;
        request->cookie = 0;
        return 0;
    }
    // One connection is stored; an earlier one would otherwise stay connected
    // with nothing left to take it down.
    unadvise(*host);
    if (!request->sink) {
        request->sink = static_cast<AXSiteUnknown*>(&host->site);
        host->site.eventIid = request->eventIid;
    }
    advise(*host, *reinterpret_cast<const IID*>(wParam), *request);
    host->connection = new (std::nothrow) AXConnection(*request);
    if (!host->connection) {
        // Nobody could take down a connection that is not stored.
        disconnect(*request);
        request->container = nullptr;
        request->point = nullptr;
        request->cookie = 0;
    }
    return 0;
}

void freeTargetDevice(FORMATETC& format)
{
    CoTaskMemFree(format.ptd);
    format.ptd = nullptr;
}

LRESULT dataAdvise(AXHost* host, WPARAM wParam, LPARAM lParam)
{
    if (!host || !host->dataObject)
        return 0;
    const int slot = static_cast<int>(wParam); // -1 counts the formats
    if (slot != -1 && (slot < 0 || slot >= AX_DATA_SLOTS))
        return 0;
    IEnumFORMATETC* formats = nullptr;
    if (FAILED(host->dataObject->EnumFormatEtc(static_cast<DWORD>(lParam), &formats)) || !formats)
        return 0;

    FORMATETC format = {};
    bool fetched = formats->Next(1, &format, nullptr) == S_OK;
    int counter = 0;
    while (fetched && counter != slot) {
        freeTargetDevice(format);
        format = FORMATETC();
        fetched = formats->Next(1, &format, nullptr) == S_OK;
        ++counter;
    }
    formats->Release();
    if (slot == -1) {
        freeTargetDevice(format);
        return counter;
    }
    if (!fetched) {
        freeTargetDevice(format);
        return 0; // the data object has no format at that position
    }

    // Teardown knows only the latest connection of a slot.
    DWORD& connection = host->dataConnections[slot];
    if (connection) {
        host->dataObject->DUnadvise(connection);
        connection = 0;
    }
    if (FAILED(host->dataObject->DAdvise(&format, 0, adviseSinkOf(*host), &connection)))
        connection = 0;
    freeTargetDevice(format);
    return 1;
}

} // namespace

LRESULT CALLBACK AXWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    AXHost* host = hostOf(window);
    switch (message) {
    case WM_CREATE: {
        traceMark("dialog");
        const LRESULT result = create(window, message, lParam);
        traceMark("control");
        return result;
    }

    case AXM_ATTACH:
        // A window gets one host; a second would orphan the first and its control.
        if (host)
            return -1;
        return create(window, message, lParam);

    case WM_DESTROY:
        if (!host)
            return 0;
        teardown(*host);
        return 1;

    case AXM_QUERYINTERFACE: {
        if (!host)
            return 0;
        const IID* iid = reinterpret_cast<const IID*>(wParam);
        void** object = reinterpret_cast<void**>(lParam);
        if (!iid || !object)
            return E_POINTER;
        if (!host->control) {
            *object = nullptr;
            return E_FAIL;
        }
        return host->control->QueryInterface(*iid, object);
    }

    case AXM_ACTIVATE:
        return activate(window, host, wParam, lParam);

    case AXM_GETHOST:
        return reinterpret_cast<LRESULT>(host);

    case AXM_ADVISE:
        return adviseMessage(host, wParam, lParam);

    case AXM_UNADVISE:
        if (host)
            unadvise(*host);
        return 0;

    case AXM_DATAADVISE:
        return dataAdvise(host, wParam, lParam);

    case AXM_SETCOMMANDTARGET:
        if (!host)
            return 0;
        host->commandTarget = reinterpret_cast<HWND>(wParam);
        return 1;

    case AXM_SETEVENTNOTIFY:
        if (!host)
            return 0;
        host->notifyWindow = reinterpret_cast<HWND>(wParam);
        host->notifyMessage = static_cast<UINT>(lParam);
        return 1;

    case AXM_SETSERVICEPROVIDER:
        if (!host)
            return 0;
        host->serviceProvider = reinterpret_cast<IServiceProvider*>(lParam);
        return 1;

    case AXM_SETEVENTCALLBACK:
        if (!host)
            return 0;
        host->eventCallback = reinterpret_cast<AXEventCallback>(wParam);
        return 1;

    case WM_SIZE: {
        if (!host || !host->control)
            return 0;
        NMHDR header;
        header.hwndFrom = window;
        header.idFrom = static_cast<UINT_PTR>(GetWindowLongPtrW(window, GWLP_ID));
        header.code = AX_NOTIFY_SIZE;
        SendMessageW(host->site.frameWindow, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
        DefWindowProcW(window, message, wParam, lParam);
        IOleInPlaceObject* inPlace = nullptr;
        if (SUCCEEDED(host->control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace))) &&
            inPlace) {
            RECT client = {0, 0, 0, 0};
            GetClientRect(host->site.window, &client);
            inPlace->SetObjectRects(&client, &client);
            inPlace->Release();
        }
        return 0;
    }

    case WM_SETFOCUS:
        return 0; // the focus stays here; the control does not get it

    case WM_KILLFOCUS:
        // The platform has already moved the focus to the window gaining it.
        if (host)
            host->keyTarget = GetFocus();
        return 0;

    case WM_KEYDOWN:
        if (!host || !host->control)
            return 0;
        if (host->keyTarget)
            SendMessageW(host->keyTarget, WM_KEYDOWN, wParam, lParam);
        return DefWindowProcW(window, message, wParam, lParam);

    case WM_COMMAND:
        // A target that is this window would send the command round for ever.
        if (!host || !host->commandTarget || host->commandTarget == window)
            return 0;
        return SendMessageW(host->commandTarget, WM_COMMAND, wParam, lParam);

    case WM_LBUTTONDBLCLK:
        // Posted, so the activation runs after the mouse message is done.
        PostMessageW(window, AXM_ACTIVATE, 1, 0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
