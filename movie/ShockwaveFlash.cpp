#include "movie/ShockwaveFlash.h"

#include <comdef.h>

#include <memory>
#include <string>

#include "movie/WindowsText.h"

namespace {

struct BstrFree {
    void operator()(OLECHAR* text) const { SysFreeString(text); }
};
using OwnedBstr = std::unique_ptr<OLECHAR, BstrFree>;

// What the compiler-generated wrappers do on failure: take the control's own
// error information when it offers some for this interface; otherwise make
// one that at least names the interface.
[[noreturn]] void raiseComError(HRESULT hr, IUnknown* object, REFIID iid)
{
    IErrorInfo* info = nullptr;
    ISupportErrorInfo* support = nullptr;
    if (object && SUCCEEDED(object->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)))) {
        if (support->InterfaceSupportsErrorInfo(iid) == S_OK && GetErrorInfo(0, &info) != S_OK)
            info = nullptr;
        support->Release();
    }
    if (!info) {
        ICreateErrorInfo* create = nullptr;
        if (SUCCEEDED(CreateErrorInfo(&create))) {
            create->SetGUID(iid);
            if (FAILED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info))))
                info = nullptr;
            create->Release();
        }
    }
    throw _com_error(hr, info); // the exception owns the reference
}

OwnedBstr wideBstr(const wchar_t* text, IUnknown* object)
{
    BSTR copy = SysAllocString(text);
    if (!copy)
        raiseComError(E_OUTOFMEMORY, object, IID_IShockwaveFlash);
    return OwnedBstr(copy);
}

OwnedBstr ansiBstr(const char* text, IUnknown* object)
{
    std::wstring wide = widenText(text, CP_ACP);
    BSTR converted = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!converted)
        raiseComError(E_OUTOFMEMORY, object, IID_IShockwaveFlash);
    return OwnedBstr(converted);
}

} // namespace

void IShockwaveFlash::PutWMode(const char* mode)
{
    OwnedBstr value = ansiBstr(mode, this);
    HRESULT hr = put_WMode(value.get());
    if (FAILED(hr))
        raiseComError(hr, this, IID_IShockwaveFlash);
}

void IShockwaveFlash::PutFlashVars(const char* vars)
{
    OwnedBstr value = ansiBstr(vars, this);
    HRESULT hr = put_FlashVars(value.get());
    if (FAILED(hr))
        raiseComError(hr, this, IID_IShockwaveFlash);
}

HRESULT IShockwaveFlash::PutMovie(const wchar_t* movie)
{
    OwnedBstr value = wideBstr(movie, this);
    return put_Movie(value.get());
}

void IShockwaveFlash::CallFunction(const char* request)
{
    OwnedBstr value = ansiBstr(request, this);
    BSTR response = nullptr;
    HRESULT hr = raw_CallFunction(value.get(), &response);
    SysFreeString(response);
    if (FAILED(hr))
        raiseComError(hr, this, IID_IShockwaveFlash);
}
