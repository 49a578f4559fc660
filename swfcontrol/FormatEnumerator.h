// Enumerates the clipboard formats in which the control renders its picture.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <vector>

class FormatEnumerator final : public IEnumFORMATETC {
public:
    explicit FormatEnumerator(const std::vector<FORMATETC>& formats, ULONG position = 0);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IEnumFORMATETC
    STDMETHODIMP Next(ULONG count, FORMATETC* formats, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumFORMATETC** clone) override;

private:
    ~FormatEnumerator();

    LONG refCount_ = 1;
    std::vector<FORMATETC> formats_; // none carries a target device
    ULONG position_;
};
