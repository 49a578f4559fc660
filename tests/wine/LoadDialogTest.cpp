// The Load SWF dialog from the player's resources, owned by the real main
// window with RecordingControl in its host: what it starts with, what reaches
// the control, how it ends, and the file-open dialog it browses with, driven
// for real.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "movie/ApplyMetadata.h"
#include "movie/LoadDialog.h"
#include "res/resource.h"
#include "support/DialogWatcher.h"
#include "support/MainDialog.h"
#include "support/ProcessDriver.h"
#include "support/RecordingControl.h"

namespace {

// Controls of the platform's file-open dialog.
const int fileNameBox = 1148;  // cmb13, with the edit box inside
const int fileTypeList = 1136; // cmb1
const int fileListView = 1121; // lst2, the shell view with the list inside

std::string utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                    nullptr);
    std::string out(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], bytes, nullptr, nullptr);
    return out;
}

// Calls a function every few milliseconds from whatever message loop this
// thread runs, until destroyed.
class Ticker {
public:
    explicit Ticker(std::function<void()> tick) : tick_(std::move(tick))
    {
        current() = this;
        timer_ = SetTimer(nullptr, 0, 10, fire);
    }
    ~Ticker()
    {
        KillTimer(nullptr, timer_);
        current() = nullptr;
    }
    Ticker(const Ticker&) = delete;
    Ticker& operator=(const Ticker&) = delete;

private:
    static Ticker*& current()
    {
        static Ticker* ticker = nullptr;
        return ticker;
    }
    static void CALLBACK fire(HWND, UINT, UINT_PTR, DWORD)
    {
        if (current())
            current()->tick_();
    }
    std::function<void()> tick_;
    UINT_PTR timer_ = 0;
};

struct Found {
    HWND owner;
    HWND window;
};

BOOL CALLBACK findOwned(HWND window, LPARAM param)
{
    Found* found = reinterpret_cast<Found*>(param);
    if (IsWindowVisible(window) && GetWindow(window, GW_OWNER) == found->owner) {
        found->window = window;
        return FALSE;
    }
    return TRUE;
}

// A visible window of this thread owned by `owner`, or null.
HWND ownedWindow(HWND owner)
{
    Found found = {owner, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), findOwned, reinterpret_cast<LPARAM>(&found));
    return found.window;
}

HWND fileNameEdit(HWND fileDialog)
{
    HWND box = GetDlgItem(fileDialog, fileNameBox);
    HWND combo = box ? FindWindowExW(box, nullptr, L"ComboBox", nullptr) : nullptr;
    HWND edit = combo ? FindWindowExW(combo, nullptr, L"Edit", nullptr) : nullptr;
    return edit ? edit : FindWindowExW(box, nullptr, L"Edit", nullptr);
}

// Types into the file name box and presses Open (posted: a refusal shows a
// message box that would otherwise block the caller).
void typeAndOpen(HWND fileDialog, const std::wstring& text)
{
    SetWindowTextW(fileNameEdit(fileDialog), text.c_str());
    PostMessageW(GetDlgItem(fileDialog, IDOK), BM_CLICK, 0, 0);
}

std::vector<std::wstring> listedNames(HWND fileDialog)
{
    std::vector<std::wstring> names;
    HWND view = GetDlgItem(fileDialog, fileListView);
    HWND list = view ? FindWindowExW(view, nullptr, WC_LISTVIEWW, nullptr) : nullptr;
    if (!list)
        return names;
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[MAX_PATH] = L"";
        LVITEMW item = {};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = MAX_PATH;
        SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
        names.push_back(text);
    }
    return names;
}

// A folder with a few files, removed at the end.
class MovieFolder {
public:
    explicit MovieFolder(const std::vector<std::wstring>& files)
    {
        wchar_t base[MAX_PATH] = L"";
        GetTempPathW(MAX_PATH, base);
        path_ = std::wstring(base) + L"qp-load-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(path_.c_str(), nullptr);
        for (const std::wstring& name : files) {
            std::wstring file = path_ + L"\\" + name;
            HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (handle != INVALID_HANDLE_VALUE) {
                CloseHandle(handle);
                files_.push_back(file);
            }
        }
    }
    ~MovieFolder()
    {
        for (const std::wstring& file : files_)
            DeleteFileW(file.c_str());
        RemoveDirectoryW(path_.c_str());
    }
    const std::wstring& path() const { return path_; }
    size_t made() const { return files_.size(); }

private:
    std::wstring path_;
    std::vector<std::wstring> files_;
};

class LoadDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dialog.create());
        script.take();
    }

    // Runs DIALOG_LOAD as the player does, owned by the main window, and acts
    // on it once it shows; the dialog's result.
    INT_PTR runLoadDialog(const wchar_t* prefill, std::function<void(HWND)> act)
    {
        int seen = 0;
        DialogWatcher watcher(L"Load SWF", [&](HWND load) {
            ++seen;
            EXPECT_EQ(GetWindow(load, GW_OWNER), dialog.window);
            EXPECT_FALSE(IsWindowEnabled(dialog.window));
            act(load);
        });
        INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), L"DIALOG_LOAD", dialog.window, LoadDlgProc,
                                         reinterpret_cast<LPARAM>(prefill));
        EXPECT_EQ(seen, 1) << "the Load SWF dialog never showed";
        EXPECT_TRUE(IsWindowEnabled(dialog.window));
        return result;
    }

    // The movies the control was handed, in order.
    std::vector<std::string> moviesLoaded()
    {
        std::vector<std::string> movies;
        for (const std::string& entry : script.take())
            if (entry.compare(0, 10, "put_Movie(") == 0)
                movies.push_back(entry.substr(10, entry.size() - 11));
        return movies;
    }

    ControlScript script;
    MainDialog dialog{script};
};

TEST_F(LoadDialogTest, StartsWithThePathItIsGivenOrEmptyWithTheFocusInTheBox)
{
    struct Case {
        const char* name;
        const wchar_t* prefill;
        std::wstring shown;
    } cases[] = {
        {"from the menu", nullptr, L""},
        {"from a drop", L"C:\\Games\\movie.swf", L"C:\\Games\\movie.swf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring shown = L"(not read)";
        bool focused = false;
        INT_PTR result = runLoadDialog(c.prefill, [&](HWND load) {
            shown = dialogItemText(load, IDC_LOAD_PATH);
            focused = GetFocus() == GetDlgItem(load, IDC_LOAD_PATH);
            PostMessageW(load, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(result, 2);
        EXPECT_EQ(shown, c.shown);
        EXPECT_TRUE(focused);
    }
    EXPECT_TRUE(moviesLoaded().empty());
}

TEST_F(LoadDialogTest, EscapeAndTheCloseBoxEndItWith2AndEnterLoadsWhatWasTyped)
{
    struct Case {
        const char* name;
        std::function<void(HWND)> end;
        INT_PTR result;
        std::vector<std::string> movies;
    } cases[] = {
        {"Escape", [](HWND) { PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0); }, 2, {}},
        {"the close box", [](HWND load) { PostMessageW(load, WM_CLOSE, 0, 0); }, 2, {}},
        {"Cancel", [](HWND load) { PostMessageW(load, WM_COMMAND, IDCANCEL, 0); }, 2, {}},
        {"Enter", [](HWND) { PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0); }, 1, {"C:\\typed.swf"}},
    };
    // Enter must not take the other default button, Browse.
    int browsed = 0;
    DialogWatcher fileDialog(L"Open", [&](HWND shown) {
        ++browsed;
        PostMessageW(shown, WM_COMMAND, IDCANCEL, 0);
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        INT_PTR result = runLoadDialog(L"C:\\Games\\movie.swf", [&](HWND load) {
            SetDlgItemTextW(load, IDC_LOAD_PATH, L"C:\\typed.swf");
            c.end(load);
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(moviesLoaded(), c.movies);
    }
    EXPECT_EQ(browsed, 0);
}

TEST_F(LoadDialogTest, LoadWithAnEmptyBoxStillHandsAnEmptyMovieToTheControl)
{
    appState.aspectRatio = 1.5f;
    INT_PTR result = runLoadDialog(nullptr, [](HWND load) { PostMessageW(GetDlgItem(load, IDOK), BM_CLICK, 0, 0); });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(script.take(), (CallLog{"put_WMode(direct)", "put_FlashVars()", "put_Movie()",
                                      "FindConnectionPoint(_IShockwaveFlashEvents)", "point.Advise(obj)"}));
    EXPECT_EQ(appState.aspectRatio, 0.0f);
}

TEST_F(LoadDialogTest, TheControlGetsTheTextExactlyAsTypedUpTo999Characters)
{
    std::wstring longText = L"http://example.com/";
    while (longText.size() < 1200)
        longText += L"abcdefghij";
    const std::wstring texts[] = {
        L"  \"C:\\My Movies\\a b.swf\"  ",
        L"http://example.com/m.swf?x=\"1\"&y= 2",
        L"\\\\server\\share\\movie.swf",
        L"C:\\Filme\\\u00DCber \u30B2\u30FC\u30E0.swf",
        L" ",
        longText,
    };
    for (const std::wstring& text : texts) {
        SCOPED_TRACE(utf8(text.substr(0, 40)));
        INT_PTR result = runLoadDialog(nullptr, [&](HWND load) {
            SetDlgItemTextW(load, IDC_LOAD_PATH, text.c_str());
            PostMessageW(GetDlgItem(load, IDOK), BM_CLICK, 0, 0);
        });
        EXPECT_EQ(result, 1);
        EXPECT_EQ(moviesLoaded(), (std::vector<std::string>{utf8(text.substr(0, 999))}));
    }
}

TEST_F(LoadDialogTest, ALoadAfterMetadataPutsBackTheTemplateTitleAndDropsTheRatio)
{
    ASSERT_TRUE(applyMetadata(dialog.window, dialog.host,
                              R"({"width": 600, "height": 400, "title": "T", "swf": "t.swf", "x": 1})"));
    ASSERT_EQ(windowText(dialog.window), L"T - Quibbleton Player");
    ASSERT_EQ(appState.aspectRatio, 1.5f);
    script.take();

    // As File > Load opens it.
    int seen = 0;
    DialogWatcher watcher(L"Load SWF", [&](HWND load) {
        ++seen;
        EXPECT_EQ(dialogItemText(load, IDC_LOAD_PATH), L"");
        SetDlgItemTextW(load, IDC_LOAD_PATH, L"C:\\Games\\other.swf");
        PostMessageW(GetDlgItem(load, IDOK), BM_CLICK, 0, 0);
    });
    SendMessageW(dialog.window, WM_COMMAND, IDM_LOAD, 0);
    ASSERT_EQ(seen, 1) << "File > Load showed no dialog";

    EXPECT_EQ(moviesLoaded(), (std::vector<std::string>{"C:\\Games\\other.swf"}));
    EXPECT_EQ(windowText(dialog.window), L"Quibbleton Player");
    EXPECT_EQ(appState.aspectRatio, 0.0f);
    setClientSize(dialog.window, 800, 400);
    EXPECT_EQ(childRect(dialog.host), (RECT{0, 0, 800, 400}));
}

// ---------------------------------------------------------------------------
// Browse

// Runs the Load dialog, presses Browse in it after typing a path, lets
// `drive` handle the file-open dialog, and returns what the path box then
// holds.
std::wstring browseFromLoadDialog(HWND mainWindow, std::function<void(HWND)> drive,
                                  int* fileDialogs)
{
    std::wstring after = L"(not read)";
    DialogWatcher watcher(L"Open", [&](HWND fileDialog) {
        if (!GetDlgItem(fileDialog, fileNameBox))
            return; // a message box of the file dialog, also titled "Open"
        ++*fileDialogs;
        EXPECT_EQ(GetWindow(fileDialog, GW_OWNER), mainWindow) << "not owned by the main window";
        drive(fileDialog);
    });
    int seen = 0;
    DialogWatcher load(L"Load SWF", [&](HWND loadDialog) {
        ++seen;
        SetDlgItemTextW(loadDialog, IDC_LOAD_PATH, L"C:\\typed before.swf");
        SendMessageW(loadDialog, WM_COMMAND, IDC_LOAD_BROWSE, 0);
        EXPECT_TRUE(IsWindowVisible(loadDialog)) << "Browse ended the dialog";
        after = dialogItemText(loadDialog, IDC_LOAD_PATH);
        PostMessageW(loadDialog, WM_COMMAND, IDCANCEL, 0);
    });
    DialogBoxParamW(GetModuleHandleW(nullptr), L"DIALOG_LOAD", mainWindow, LoadDlgProc, 0);
    EXPECT_EQ(seen, 1);
    return after;
}

TEST_F(LoadDialogTest, BrowseThenCancelEmptiesTheBox)
{
    int fileDialogs = 0;
    std::wstring after = browseFromLoadDialog(
        dialog.window, [](HWND fileDialog) { PostMessageW(fileDialog, WM_COMMAND, IDCANCEL, 0); },
        &fileDialogs);
    EXPECT_EQ(fileDialogs, 1) << "Browse showed no file dialog";
    EXPECT_EQ(after, L"");
}

TEST_F(LoadDialogTest, BrowseListsOnlyMoviesAndFillsTheBoxWithTheOneChosen)
{
    MovieFolder folder({L"movie.swf", L"LOUD.SWF", L"notes.txt", L"clip.swf.bak", L"swf"});
    ASSERT_EQ(folder.made(), 5u);
    std::vector<std::wstring> types;
    std::vector<std::wstring> listed;
    int fileDialogs = 0;
    std::wstring after = browseFromLoadDialog(
        dialog.window,
        [&](HWND fileDialog) {
            HWND typeList = GetDlgItem(fileDialog, fileTypeList);
            int count = static_cast<int>(SendMessageW(typeList, CB_GETCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                wchar_t text[256] = L"";
                SendMessageW(typeList, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
                types.push_back(text);
            }
            // Into the folder (Open on a folder opens it), then the movie.
            SetWindowTextW(fileNameEdit(fileDialog), folder.path().c_str());
            SendMessageW(GetDlgItem(fileDialog, IDOK), BM_CLICK, 0, 0);
            listed = listedNames(fileDialog);
            typeAndOpen(fileDialog, L"movie.swf");
        },
        &fileDialogs);
    EXPECT_EQ(fileDialogs, 1);
    EXPECT_EQ(types, (std::vector<std::wstring>{L"Shockwave Flash"}));
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::wstring>{L"LOUD.SWF", L"movie.swf"}));
    EXPECT_EQ(after, folder.path() + L"\\movie.swf");
}

TEST_F(LoadDialogTest, BrowseRefusesAFileOrFolderThatDoesNotExist)
{
    MovieFolder folder({});
    // The complaint names what is missing: each of the two flags at work.
    struct Case {
        std::wstring path;
        const wchar_t* missing;
    } cases[] = {
        {folder.path() + L"\\missing.swf", L"File"},
        {folder.path() + L"\\missing\\movie.swf", L"Path"},
    };
    for (const Case& c : cases) {
        const std::wstring& path = c.path;
        SCOPED_TRACE(utf8(path));
        HWND fileDialog = nullptr;
        int stage = 0;
        std::wstring refusal;
        bool stayedOpen = false;
        // Open on the missing file, answer the complaint, then give up.
        Ticker ticker([&]() {
            if (!fileDialog)
                return;
            HWND owned = ownedWindow(fileDialog);
            if (stage == 0) {
                typeAndOpen(fileDialog, path);
                stage = 1;
            } else if (stage == 1 && owned) {
                refusal = dialogItemText(owned, 0xFFFF);
                PostMessageW(owned, WM_COMMAND, IDOK, 0);
                stage = 2;
            } else if (stage == 2 && !owned) {
                stayedOpen = IsWindowVisible(fileDialog) != FALSE;
                PostMessageW(fileDialog, WM_COMMAND, IDCANCEL, 0);
                stage = 3;
            }
        });
        int fileDialogs = 0;
        std::wstring after = browseFromLoadDialog(
            dialog.window, [&](HWND shown) { fileDialog = shown; }, &fileDialogs);
        EXPECT_EQ(fileDialogs, 1);
        EXPECT_EQ(stage, 3);
        EXPECT_EQ(refusal.find(c.missing), 0u) << utf8(refusal);
        EXPECT_TRUE(stayedOpen);
        EXPECT_EQ(after, L"");
    }
}

} // namespace
