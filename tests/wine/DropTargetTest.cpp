// The drop target with real data objects: which drops open the Load SWF
// dialog, with what path, and that the storage medium always goes back.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "app/AppState.h"
#include "axhost/DropTarget.h"
#include "res/resource.h"
#include "support/DialogWatcher.h"

namespace {

// Counts the releases of a storage medium handed out by the data object.
class ReleaseCounter : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (IsEqualIID(iid, IID_IUnknown)) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ++releases;
        return --refs;
    }
    LONG refs = 0;
    int releases = 0;
};

// A data object that offers either a file list (CF_HDROP) or plain text.
class FakeDataObject : public IDataObject {
public:
    explicit FakeDataObject(std::vector<std::wstring> files) : files_(std::move(files)), hasFiles_(true) {}
    FakeDataObject() : hasFiles_(false) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
            *object = static_cast<IDataObject*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        ++getDataCalls;
        if (QueryGetData(format) != S_OK)
            return DV_E_FORMATETC;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = makeDropFiles();
        medium->pUnkForRelease = &counter;
        counter.AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override
    {
        if (hasFiles_ && format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL))
            return S_OK;
        return DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override
    {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

    ReleaseCounter counter;
    int getDataCalls = 0;

private:
    HGLOBAL makeDropFiles() const
    {
        std::wstring list;
        for (const std::wstring& file : files_)
            list += file + L'\0';
        list += L'\0';
        SIZE_T bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
        DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        memcpy(drop + 1, list.data(), list.size() * sizeof(wchar_t));
        GlobalUnlock(memory);
        return memory;
    }

    std::vector<std::wstring> files_;
    bool hasFiles_;
};

class DropTargetTest : public testing::Test {
protected:
    void SetUp() override
    {
        owner = CreateWindowW(L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(owner);
        appState.mainWindow = owner;
    }
    void TearDown() override
    {
        appState.mainWindow = nullptr;
        DestroyWindow(owner);
    }

    // Drops the data and reports the path the Load SWF dialog showed, one
    // entry per dialog that opened.
    std::vector<std::wstring> drop(IDataObject* data, HRESULT* result = nullptr)
    {
        std::vector<std::wstring> shown;
        DialogWatcher watcher(L"Load SWF", [&](HWND dialog) {
            shown.push_back(dialogItemText(dialog, IDC_LOAD_PATH));
            EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner);
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        DropTarget target(openDroppedFile);
        DWORD effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
        HRESULT hr = target.Drop(data, MK_LBUTTON, POINTL{10, 10}, &effect);
        EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY | DROPEFFECT_LINK));
        if (result)
            *result = hr;
        return shown;
    }

    HWND owner = nullptr;
};

TEST_F(DropTargetTest, OpensTheLoadDialogOnlyForAPathEndingInSwfFromItsFirstDot)
{
    struct Case {
        const wchar_t* path;
        bool opens;
    } cases[] = {
        {L"C:\\Games\\movie.swf", true},
        {L"movie.swf", true},
        {L"C:\\Games\\movie.SWF", false},
        {L"C:\\Games\\movie.swf.bak", false},
        {L"C:\\Games\\my.movie.swf", false},
        {L"C:\\Games.old\\movie.swf", false},
        {L"C:\\Games\\movie", false},
        {L"C:\\Games\\movie.swfx", false},
        {L"C:\\Games\\.swf", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "path " << std::string(c.path, c.path + wcslen(c.path)));
        FakeDataObject data({c.path});
        HRESULT hr = E_FAIL;
        std::vector<std::wstring> shown = drop(&data, &hr);
        EXPECT_EQ(hr, S_OK);
        if (c.opens) {
            ASSERT_EQ(shown.size(), 1u);
            EXPECT_EQ(shown[0], c.path);
        } else {
            EXPECT_TRUE(shown.empty());
        }
        EXPECT_EQ(data.getDataCalls, 1);
        EXPECT_EQ(data.counter.releases, 1) << "the storage medium must be released once";
        EXPECT_EQ(data.counter.refs, 0);
    }
}

TEST_F(DropTargetTest, OffersOnlyTheFirstOfSeveralFiles)
{
    FakeDataObject data({L"C:\\a\\first.swf", L"C:\\a\\second.swf"});
    std::vector<std::wstring> shown = drop(&data);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], L"C:\\a\\first.swf");
    EXPECT_EQ(data.counter.releases, 1);
}

TEST_F(DropTargetTest, IgnoresDataWithoutFilesAndPathsTooLongToCopy)
{
    FakeDataObject text;
    HRESULT hr = E_FAIL;
    EXPECT_TRUE(drop(&text, &hr).empty());
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(text.getDataCalls, 0);

    // Cut to the buffer, this path would end in ".swf" and name another file.
    std::wstring longPath = L"C:\\" + std::wstring(252, L'd') + L".swfx";
    ASSERT_EQ(longPath.size(), 260u);
    FakeDataObject tooLong({longPath});
    EXPECT_TRUE(drop(&tooLong, &hr).empty());
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(tooLong.counter.releases, 1);

    FakeDataObject empty({L""});
    EXPECT_TRUE(drop(&empty, &hr).empty());
    EXPECT_EQ(hr, S_OK);
}

TEST_F(DropTargetTest, AnswersEveryDragAndCountsNothing)
{
    DropTarget target(nullptr);
    FakeDataObject data({L"C:\\movie.swf"});
    DWORD effect = DROPEFFECT_MOVE;
    EXPECT_EQ(target.DragEnter(&data, 0, POINTL{0, 0}, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_MOVE));
    EXPECT_EQ(target.DragOver(0, POINTL{0, 0}, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_MOVE));
    EXPECT_EQ(target.DragLeave(), S_OK);
    EXPECT_EQ(target.AddRef(), 0u);
    EXPECT_EQ(target.Release(), 0u);

    void* object = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(target.QueryInterface(IID_IDropTarget, &object), S_OK);
    EXPECT_EQ(object, static_cast<IDropTarget*>(&target));
    EXPECT_EQ(target.QueryInterface(IID_IUnknown, &object), S_OK);
    EXPECT_EQ(object, static_cast<IDropTarget*>(&target));
    object = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(target.QueryInterface(IID_IDataObject, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);

    // Without a handler a drop of a movie does nothing, and still answers S_OK.
    DWORD dropEffect = DROPEFFECT_COPY;
    EXPECT_EQ(target.Drop(&data, 0, POINTL{0, 0}, &dropEffect), S_OK);
    EXPECT_EQ(data.counter.releases, 1);
}

} // namespace
