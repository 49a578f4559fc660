// An event sink for _IShockwaveFlashEvents that records each Invoke: member,
// flags, and the arguments in declaration order (the reverse of DISPPARAMS).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

struct RecordedEvent {
    DISPID dispid = 0;
    WORD flags = 0;
    UINT namedArgs = 0;
    bool namedIdsNull = true;
    std::vector<VARTYPE> types;
    std::vector<long> numbers;       // VT_I4 arguments, 0 for others
    std::vector<std::wstring> texts; // VT_BSTR arguments, empty for others
};

class SwfEventRecorder final : public IDispatch {
public:
    std::vector<RecordedEvent> events;
    LONG refCount = 1; // the test's own; the object lives on the stack

    bool sawReadyState(long state) const;
    // "ready 0", "progress 100", "fscommand quit/now", ... in arrival order.
    std::vector<std::string> summary() const;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override;
};
