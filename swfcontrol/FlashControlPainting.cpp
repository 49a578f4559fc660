#include "swfcontrol/FlashControl.h"

#include <new>

#include "swfcontrol/FlashControlParts.h"
#include "swfcontrol/FormatEnumerator.h"

using namespace flash_control;

namespace {

int formatIndex(const FORMATETC* format)
{
    if (!format || format->dwAspect != DVASPECT_CONTENT)
        return -1;
    std::vector<FORMATETC> formats = FlashControl::dataFormats();
    for (size_t i = 0; i < formats.size(); ++i) {
        if (formats[i].cfFormat == format->cfFormat && (formats[i].tymed & format->tymed))
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

// ---- The stage window ----

void FlashControl::paint(HDC dc, const RECT& paintRect)
{
    int width = paintRect.right - paintRect.left, height = paintRect.bottom - paintRect.top;
    if (width <= 0 || height <= 0)
        return;
    RECT client;
    GetClientRect(stageWindow_, &client);
    if (stage_.status == StageStatus::Playing && runtime_ && shown_.empty())
        captureFrame(); // activated after the movie loaded
    if (stage_.status == StageStatus::Playing && !shown_.empty()) {
        // Bars and one blit of the frame: nothing is painted twice, so
        // nothing flickers without a buffer.
        paintPicture(dc, client);
        return;
    }
    // Drawn off screen and copied in one go, so that a frame never flickers.
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    if (!memory || !bitmap) {
        if (memory)
            DeleteDC(memory);
        if (bitmap)
            DeleteObject(bitmap);
        paintStage(dc, client, stage_);
        return;
    }
    HGDIOBJ old = SelectObject(memory, bitmap);
    SetViewportOrgEx(memory, -paintRect.left, -paintRect.top, nullptr);
    paintStage(memory, client, stage_);
    SetViewportOrgEx(memory, 0, 0, nullptr);
    BitBlt(dc, paintRect.left, paintRect.top, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

void FlashControl::drawStage(HDC dc, const RECT& area)
{
    if (stage_.status == StageStatus::Playing && !shown_.empty())
        paintPicture(dc, area);
    else
        paintStage(dc, area, stage_);
}

// The drawn frame letterboxed in the area: premultiplied pixels over the
// stage's background (the frame is opaque where the movie drew it so).
void FlashControl::paintPicture(HDC dc, const RECT& area)
{
    RECT stage = letterbox(area, shownWidth_, shownHeight_);
    const RECT bars[] = {
        {area.left, area.top, area.right, stage.top},
        {area.left, stage.bottom, area.right, area.bottom},
        {area.left, stage.top, stage.left, stage.bottom},
        {stage.right, stage.top, area.right, stage.bottom},
    };
    COLORREF previous = SetBkColor(dc, barColour);
    for (const RECT& bar : bars) {
        if (bar.right > bar.left && bar.bottom > bar.top)
            ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &bar, nullptr, 0, nullptr);
    }
    SetBkColor(dc, previous);

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = shownWidth_;
    info.bmiHeader.biHeight = -shownHeight_; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    // One call for every size: at 1:1 it copies the frame as it is.
    int width = stage.right - stage.left, height = stage.bottom - stage.top;
    int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, stage.left, stage.top, width, height, 0, 0, shownWidth_, shownHeight_, shown_.data(), &info,
                  DIB_RGB_COLORS, SRCCOPY);
    SetStretchBltMode(dc, oldMode);
}

// ---- IViewObject2 ----

STDMETHODIMP FlashControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                                BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!dc || !bounds)
        return E_INVALIDARG;
    RECT area = {bounds->left, bounds->top, bounds->right, bounds->bottom};
    drawStage(dc, area);
    return S_OK;
}

STDMETHODIMP FlashControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colours)
{
    if (colours)
        *colours = nullptr;
    return S_FALSE;
}

STDMETHODIMP FlashControl::Freeze(DWORD, LONG, void*, DWORD* freeze)
{
    if (freeze)
        *freeze = 0;
    return E_NOTIMPL;
}

STDMETHODIMP FlashControl::Unfreeze(DWORD) { return E_NOTIMPL; }

STDMETHODIMP FlashControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink)
{
    if (sink)
        sink->AddRef();
    if (viewSink_)
        viewSink_->Release();
    viewSink_ = sink;
    viewAspects_ = aspects;
    viewFlags_ = flags;
    return S_OK;
}

STDMETHODIMP FlashControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink)
{
    if (aspects)
        *aspects = viewAspects_;
    if (flags)
        *flags = viewFlags_;
    if (sink) {
        *sink = viewSink_;
        if (viewSink_)
            viewSink_->AddRef();
    }
    return S_OK;
}

STDMETHODIMP FlashControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size)
{
    return GetExtent(aspect, size);
}

// ---- IDataObject ----

std::vector<FORMATETC> FlashControl::dataFormats()
{
    return {
        {CF_ENHMETAFILE, nullptr, DVASPECT_CONTENT, -1, TYMED_ENHMF},
        {CF_METAFILEPICT, nullptr, DVASPECT_CONTENT, -1, TYMED_MFPICT},
        {CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_GDI},
    };
}

SIZE FlashControl::pictureSize() const
{
    SIZE size = {himetricToPixels(extent_.cx), himetricToPixels(extent_.cy)};
    RECT client;
    if (stageWindow_ && GetClientRect(stageWindow_, &client)) {
        size.cx = client.right;
        size.cy = client.bottom;
    }
    if (size.cx < 1)
        size.cx = 1;
    if (size.cy < 1)
        size.cy = 1;
    return size;
}

STDMETHODIMP FlashControl::GetData(FORMATETC* format, STGMEDIUM* medium)
{
    if (!format || !medium)
        return E_POINTER;
    int index = formatIndex(format);
    if (index < 0)
        return DV_E_FORMATETC;
    SIZE size = pictureSize();
    RECT area = {0, 0, size.cx, size.cy};
    medium->pUnkForRelease = nullptr;
    switch (dataFormats()[static_cast<size_t>(index)].cfFormat) {
    case CF_ENHMETAFILE: {
        RECT frame = {0, 0, pixelsToHimetric(size.cx), pixelsToHimetric(size.cy)};
        HDC reference = GetDC(nullptr);
        HDC dc = CreateEnhMetaFileW(reference, nullptr, &frame, nullptr);
        ReleaseDC(nullptr, reference);
        if (!dc)
            return E_OUTOFMEMORY;
        drawStage(dc, area);
        medium->tymed = TYMED_ENHMF;
        medium->hEnhMetaFile = CloseEnhMetaFile(dc);
        return medium->hEnhMetaFile ? S_OK : E_OUTOFMEMORY;
    }
    case CF_METAFILEPICT: {
        HDC dc = CreateMetaFileW(nullptr);
        if (!dc)
            return E_OUTOFMEMORY;
        SetWindowOrgEx(dc, 0, 0, nullptr);
        SetWindowExtEx(dc, size.cx, size.cy, nullptr);
        drawStage(dc, area);
        HMETAFILE metafile = CloseMetaFile(dc);
        HGLOBAL memory = metafile ? GlobalAlloc(GMEM_MOVEABLE, sizeof(METAFILEPICT)) : nullptr;
        METAFILEPICT* picture = memory ? static_cast<METAFILEPICT*>(GlobalLock(memory)) : nullptr;
        if (!picture) {
            if (memory)
                GlobalFree(memory);
            if (metafile)
                DeleteMetaFile(metafile);
            return E_OUTOFMEMORY;
        }
        picture->mm = MM_ANISOTROPIC;
        picture->xExt = pixelsToHimetric(size.cx);
        picture->yExt = pixelsToHimetric(size.cy);
        picture->hMF = metafile;
        GlobalUnlock(memory);
        medium->tymed = TYMED_MFPICT;
        medium->hMetaFilePict = memory;
        return S_OK;
    }
    default: {
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, size.cx, size.cy);
        ReleaseDC(nullptr, screen);
        if (!dc || !bitmap) {
            if (dc)
                DeleteDC(dc);
            if (bitmap)
                DeleteObject(bitmap);
            return E_OUTOFMEMORY;
        }
        HGDIOBJ old = SelectObject(dc, bitmap);
        drawStage(dc, area);
        SelectObject(dc, old);
        DeleteDC(dc);
        medium->tymed = TYMED_GDI;
        medium->hBitmap = bitmap;
        return S_OK;
    }
    }
}

STDMETHODIMP FlashControl::GetDataHere(FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }

STDMETHODIMP FlashControl::QueryGetData(FORMATETC* format)
{
    if (!format)
        return E_POINTER;
    return formatIndex(format) >= 0 ? S_OK : DV_E_FORMATETC;
}

STDMETHODIMP FlashControl::GetCanonicalFormatEtc(FORMATETC* format, FORMATETC* canonical)
{
    if (!format || !canonical)
        return E_POINTER;
    *canonical = *format;
    canonical->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

STDMETHODIMP FlashControl::SetData(FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }

STDMETHODIMP FlashControl::EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats)
{
    if (!formats)
        return E_POINTER;
    *formats = nullptr;
    if (direction != DATADIR_GET)
        return E_NOTIMPL;
    *formats = new (std::nothrow) FormatEnumerator(dataFormats());
    return *formats ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP FlashControl::DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection)
{
    if (!connection)
        return E_POINTER;
    *connection = 0;
    if (!dataAdvise_ && FAILED(CreateDataAdviseHolder(&dataAdvise_)))
        return E_OUTOFMEMORY;
    return dataAdvise_->Advise(static_cast<IDataObject*>(this), format, flags, sink, connection);
}

STDMETHODIMP FlashControl::DUnadvise(DWORD connection)
{
    return dataAdvise_ ? dataAdvise_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

STDMETHODIMP FlashControl::EnumDAdvise(IEnumSTATDATA** advise)
{
    if (!advise)
        return E_POINTER;
    *advise = nullptr;
    return dataAdvise_ ? dataAdvise_->EnumAdvise(advise) : E_FAIL;
}
