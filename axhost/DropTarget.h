// The main window's OLE drop target: offers the first dropped file to a
// handler. The main window owns it; its reference count counts nothing.
#pragma once

#include <windows.h>
#include <ole2.h>

class DropTarget : public IDropTarget {
public:
    using DropHandler = void (*)(const wchar_t* path);

    explicit DropTarget(DropHandler handler) : onDrop(handler) {}
    virtual ~DropTarget() = default;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDropTarget
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

    DropHandler onDrop;
};

// The main window's drop handler: a path whose text from its first dot is
// exactly ".swf" opens the Load SWF dialog with the path filled in.
void openDroppedFile(const wchar_t* path);
