#include "axhost/DropTarget.h"

#include <shellapi.h>

#include <string>

#include "app/AppState.h"
#include "app/LateBound.h"
#include "movie/LoadDialog.h"

HRESULT STDMETHODCALLTYPE DropTarget::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
        *object = static_cast<IDropTarget*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE DropTarget::AddRef()
{
    return 0;
}

ULONG STDMETHODCALLTYPE DropTarget::Release()
{
    return 0;
}

// Every drag is accepted with whatever effects its source allows.
HRESULT STDMETHODCALLTYPE DropTarget::DragEnter(IDataObject*, DWORD, POINTL, DWORD*)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::DragOver(DWORD, POINTL, DWORD*)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::DragLeave()
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD*)
{
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    if (!data || FAILED(data->QueryGetData(&format)))
        return S_OK;
    STGMEDIUM medium = {};
    if (FAILED(data->GetData(&format, &medium)))
        return S_OK;

    wchar_t path[MAX_PATH] = L"";
    UINT length = 0;
    // A path too long for the buffer would arrive cut short: ignore it rather
    // than offer some other file.
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
        HDROP drop = static_cast<HDROP>(medium.hGlobal);
        if (lateDragQueryFileW(drop, 0, nullptr, 0) < MAX_PATH)
            length = lateDragQueryFileW(drop, 0, path, MAX_PATH);
    }
    // The path is copied; the medium is the data object's to take back.
    ReleaseStgMedium(&medium);

    if (length >= 1 && length <= MAX_PATH - 1 && onDrop)
        onDrop(path);
    return S_OK;
}

void openDroppedFile(const wchar_t* path)
{
    std::wstring text(path);
    std::wstring::size_type dot = text.find(L'.');
    if (dot == std::wstring::npos || text.compare(dot, std::wstring::npos, L".swf") != 0)
        return;
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(appState.mainWindow, GWLP_HINSTANCE));
    DialogBoxParamW(instance, L"DIALOG_LOAD", appState.mainWindow, LoadDlgProc, reinterpret_cast<LPARAM>(path));
}
