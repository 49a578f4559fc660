// The control's connection point for _IShockwaveFlashEvents. It lives inside
// the control and shares its reference count; each advised sink is held as
// an IDispatch and called with Invoke.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <utility>
#include <vector>

class EventConnectionPoint : public IConnectionPoint {
public:
    // The owner is the control's IConnectionPointContainer.
    explicit EventConnectionPoint(IConnectionPointContainer* owner);
    EventConnectionPoint(const EventConnectionPoint&) = delete;
    EventConnectionPoint& operator=(const EventConnectionPoint&) = delete;
    ~EventConnectionPoint();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IConnectionPoint
    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

    // Calls every sink advised when the event starts. The arguments are in
    // DISPPARAMS order: the last argument of the event first.
    void fire(DISPID dispid, VARIANTARG* arguments, UINT count);

    void fireReadyStateChange(long state);
    void fireProgress(long percent);
    void fireFsCommand(const wchar_t* command, const wchar_t* args);

    bool hasSinks() const { return !sinks_.empty(); }

private:
    IConnectionPointContainer* owner_; // not counted: it owns this object
    std::vector<std::pair<DWORD, IDispatch*>> sinks_;
    DWORD nextCookie_ = 1;
};
