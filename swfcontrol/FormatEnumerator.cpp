#include "swfcontrol/FormatEnumerator.h"

#include <new>

#include "swfcontrol/Module.h"

FormatEnumerator::FormatEnumerator(const std::vector<FORMATETC>& formats, ULONG position)
    : formats_(formats), position_(position)
{
    lockModule();
}

FormatEnumerator::~FormatEnumerator() { unlockModule(); }

STDMETHODIMP FormatEnumerator::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumFORMATETC))
        *object = static_cast<IEnumFORMATETC*>(this);
    if (!*object)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) FormatEnumerator::AddRef() { return InterlockedIncrement(&refCount_); }

STDMETHODIMP_(ULONG) FormatEnumerator::Release()
{
    LONG count = InterlockedDecrement(&refCount_);
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP FormatEnumerator::Next(ULONG count, FORMATETC* formats, ULONG* fetched)
{
    if (!formats || (count > 1 && !fetched))
        return E_POINTER;
    ULONG given = 0;
    while (given < count && position_ < formats_.size())
        formats[given++] = formats_[position_++];
    if (fetched)
        *fetched = given;
    return given == count ? S_OK : S_FALSE;
}

STDMETHODIMP FormatEnumerator::Skip(ULONG count)
{
    ULONG left = static_cast<ULONG>(formats_.size()) - position_;
    position_ += count < left ? count : left;
    return count <= left ? S_OK : S_FALSE;
}

STDMETHODIMP FormatEnumerator::Reset()
{
    position_ = 0;
    return S_OK;
}

STDMETHODIMP FormatEnumerator::Clone(IEnumFORMATETC** clone)
{
    if (!clone)
        return E_POINTER;
    *clone = new (std::nothrow) FormatEnumerator(formats_, position_);
    return *clone ? S_OK : E_OUTOFMEMORY;
}
