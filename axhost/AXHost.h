// The AX window class: a self-contained ActiveX control container that the
// rest of the program talks to through window messages.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <servprov.h>

#include "axhost/AXClientSite.h"

enum AXMessage : UINT {
    AXM_QUERYINTERFACE = WM_USER + 1,
    AXM_ACTIVATE = WM_USER + 2,
    AXM_GETHOST = WM_USER + 3,
    AXM_ADVISE = WM_USER + 4,
    AXM_UNADVISE = WM_USER + 5,
    AXM_DATAADVISE = WM_USER + 6,
    // WM_USER + 7 is not ours: it goes to DefWindowProcW.
    AXM_SETCOMMANDTARGET = WM_USER + 8,
    AXM_SETEVENTNOTIFY = WM_USER + 9,
    AXM_SETSERVICEPROVIDER = WM_USER + 10,
    AXM_SETEVENTCALLBACK = WM_USER + 11,
    AXM_ATTACH = WM_USER + 12,
};

// The in/out record of AXM_ADVISE. The caller's copy only reports the
// container and point; the host's stored copy owns them.
struct AXConnection {
    IUnknown* sink;                       // null: the host's own site
    IConnectionPointContainer* container; // out
    IConnectionPoint* point;              // out
    DWORD cookie;                         // out, 0 on failure
    IID eventIid;                         // what the site answers when it is the sink
};

// One call of the site's IDispatch::Invoke, valid only while it is delivered.
// A receiver may answer through result, excepInfo and argErr.
struct AXEventCall {
    AXHost* host;
    DISPID dispid;
    IID iid;
    LCID lcid;
    WORD flags;
    DISPPARAMS* params;
    VARIANT* result;
    EXCEPINFO* excepInfo;
    UINT* argErr;
};

typedef void (*AXEventCallback)(AXEventCall* call);

enum { AX_DATA_SLOTS = 100 };

// One per AX window, reached through GWLP_USERDATA. It owns every interface
// it holds of the control except serviceProvider. It outlives WM_DESTROY
// because the control may still hold its site.
struct AXHost {
    AXClientSite site; // first: the control's view of us
    const IID* requestedIid = nullptr;
    IOleObject* control = nullptr;
    IStorage* storage = nullptr;
    IViewObject* viewObject = nullptr;
    IDataObject* dataObject = nullptr;
    IOleInPlaceActiveObject* activeObject = nullptr;
    IServiceProvider* serviceProvider = nullptr; // not owned
    AXConnection* connection = nullptr;
    DWORD adviseCookie = 0;
    DWORD dataConnections[AX_DATA_SLOTS] = {};
    HWND keyTarget = nullptr;     // had the focus when the AX window last lost it
    HWND commandTarget = nullptr; // receives every WM_COMMAND
    HWND notifyWindow = nullptr;
    AXEventCallback eventCallback = nullptr;
    UINT notifyMessage = 0;
    CLSID clsid = {};
};

LRESULT CALLBACK AXWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
