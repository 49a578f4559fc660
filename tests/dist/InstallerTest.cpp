// The installer, run silently in a Wine prefix of its own (scratch_prefix.py)
// with the loopback portal around it (dist_servers.py): what it puts where,
// the link scheme starting the installed player, what a crafted link can make
// that player ask for, and an uninstall that takes back exactly what the
// install added.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "movie/FlashClsid.h"
#include "support/LoopbackServers.h"
#include "support/ProcessDriver.h"

namespace {

const wchar_t flashClsid[] = QP_FLASH_CLSID_WTEXT;
const wchar_t uninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuibbletonPlayer";
const char metadataPath[] = "/portal/swf-player-meta/";

// ---- registry

struct Root {
    HKEY key;
    const wchar_t* name;
};
const Root user = {HKEY_CURRENT_USER, L"HKCU"};
const Root machine = {HKEY_LOCAL_MACHINE, L"HKLM"};
const Root classes = {HKEY_CLASSES_ROOT, L"HKCR"};

bool readValue(const Root& root, const std::wstring& path, const wchar_t* name, DWORD* type,
               std::vector<BYTE>* data)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root.key, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD bytes = 0;
    bool ok = RegQueryValueExW(key, name, nullptr, type, nullptr, &bytes) == ERROR_SUCCESS;
    if (ok) {
        data->assign(bytes, 0);
        ok = RegQueryValueExW(key, name, nullptr, type, data->data(), &bytes) == ERROR_SUCCESS;
        data->resize(bytes);
    }
    RegCloseKey(key);
    return ok;
}

// The string value, or "<none>" when the key or the value is missing or not
// a string.
std::wstring readString(const Root& root, const std::wstring& path, const wchar_t* name = nullptr)
{
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!readValue(root, path, name, &type, &data) || type != REG_SZ)
        return L"<none>";
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0')
        text.pop_back();
    return text;
}

DWORD readDword(const Root& root, const std::wstring& path, const wchar_t* name)
{
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!readValue(root, path, name, &type, &data) || type != REG_DWORD || data.size() != 4)
        return 0xdeadbeef;
    DWORD value;
    memcpy(&value, data.data(), 4);
    return value;
}

void writeString(const Root& root, const std::wstring& path, const wchar_t* name, const std::wstring& value)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root.key, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

// Every key as "HKCU\path" and every value as "HKCU\path :name", under the
// given key and below.
void collectKeys(const Root& root, const std::wstring& path, std::set<std::wstring>* into)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root.key, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    const std::wstring shown = std::wstring(root.name) + (path.empty() ? L"" : L"\\" + path);
    into->insert(shown);
    std::vector<wchar_t> name(16384);
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumValueW(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        into->insert(shown + L" :" + std::wstring(name.data(), length));
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        subkeys.emplace_back(name.data(), length);
    }
    RegCloseKey(key);
    for (const std::wstring& subkey : subkeys)
        collectKeys(root, path.empty() ? subkey : path + L"\\" + subkey, into);
}

// ---- files

std::wstring folderPath(int csidl)
{
    wchar_t path[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::wstring tempFolder()
{
    wchar_t path[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, path);
    std::wstring folder = path;
    if (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    return folder;
}

bool startsWithNoCase(const std::wstring& text, const std::wstring& start)
{
    return text.size() >= start.size() &&
           CompareStringOrdinal(text.c_str(), static_cast<int>(start.size()), start.c_str(),
                                static_cast<int>(start.size()), TRUE) == CSTR_EQUAL;
}

void collectFiles(const std::wstring& folder, const std::wstring& skip, std::set<std::wstring>* into)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = folder + L"\\" + name;
        if (!skip.empty() && startsWithNoCase(path, skip))
            continue;
        const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        into->insert(isFolder ? path + L"\\" : path);
        if (isFolder && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            collectFiles(path, skip, into);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::string readFile(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ---- what a test compares

struct Snapshot {
    std::set<std::wstring> keys;
    std::set<std::wstring> files;
};

// The user's part of the registry and the machine's software, and the
// profiles' files, except:
// - the temporary folder: the uninstaller runs from a copy there, which
//   outlives it (see waitForUninstaller);
// - the certificate stores and the URL cache, which the system's crypto fills
//   on the first HTTPS request, the player's.
void eraseBelow(std::set<std::wstring>* entries, const std::wstring& start)
{
    for (auto it = entries->begin(); it != entries->end();)
        it = startsWithNoCase(*it, start) ? entries->erase(it) : std::next(it);
}

Snapshot takeSnapshot()
{
    Snapshot snapshot;
    collectKeys(user, L"", &snapshot.keys);
    collectKeys(machine, L"Software", &snapshot.keys);
    collectFiles(L"C:\\users", tempFolder(), &snapshot.files);
    collectFiles(L"C:\\ProgramData", L"", &snapshot.files);
    eraseBelow(&snapshot.keys, L"HKCU\\Software\\Microsoft\\SystemCertificates");
    eraseBelow(&snapshot.keys, L"HKLM\\Software\\Microsoft\\SystemCertificates");
    eraseBelow(&snapshot.files, folderPath(CSIDL_PROFILE) + L"\\AppData\\LocalLow\\Microsoft");
    return snapshot;
}

std::set<std::wstring> minus(const std::set<std::wstring>& a, const std::set<std::wstring>& b)
{
    std::set<std::wstring> out;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::inserter(out, out.end()));
    return out;
}

std::string listed(const std::set<std::wstring>& entries)
{
    std::string text;
    for (const std::wstring& entry : entries)
        text += "\n  " + narrow(entry);
    return text.empty() ? " (none)" : text;
}

void expectSameState(const Snapshot& before, const Snapshot& after)
{
    EXPECT_TRUE(before.keys == after.keys) << "keys left behind:" << listed(minus(after.keys, before.keys))
                                       << "\nkeys lost:" << listed(minus(before.keys, after.keys));
    EXPECT_TRUE(before.files == after.files) << "files left behind:" << listed(minus(after.files, before.files))
                                         << "\nfiles lost:" << listed(minus(before.files, after.files));
}

// ---- processes

std::wstring imagePath(DWORD processId)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process)
        return std::wstring();
    wchar_t path[MAX_PATH * 2] = L"";
    DWORD length = MAX_PATH * 2;
    if (!QueryFullProcessImageNameW(process, 0, path, &length))
        length = 0;
    CloseHandle(process);
    return std::wstring(path, length);
}

// Exit code of the program run with this command line, or ~0u when it could
// not be started or did not end within a minute.
DWORD run(const std::wstring& commandLine)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return ~0u;
    DWORD code = ~0u;
    if (WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(info.hProcess, &code);
    else
        TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return code;
}

// An NSIS uninstaller copies itself into the temporary folder (~nsu*.tmp),
// starts the copy and ends at once; the copy does the work.
bool uninstallerCopiesRunning()
{
    const std::wstring copies = tempFolder() + L"\\~nsu";
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    bool running = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !running; more = Process32NextW(snapshot, &entry))
        running = startsWithNoCase(imagePath(entry.th32ProcessID), copies);
    CloseHandle(snapshot);
    return running;
}

bool waitForUninstaller()
{
    for (int i = 0; i < 1500; ++i) {
        if (!uninstallerCopiesRunning())
            return true;
        Sleep(20);
    }
    return false;
}

// What a link started: the program's path, the main window's title, and
// whether the Flash control runs in it (its stage window in the host window).
struct Launch {
    bool started = false;
    std::wstring image;
    bool windowShown = false;
    std::wstring title;
    bool controlShown = false;
    bool ended = false;
};

// Opens the link as a browser hands it to the shell, from a folder without
// the player's icon, and closes the player once its window shows (the
// metadata fetch is over by then) and, when one is awaited, its title holds
// the text: the window shows before the entry's title is set.
Launch openLink(const std::wstring& link, const std::wstring& awaitedTitle = L"")
{
    Launch launch;
    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    execute.lpVerb = L"open";
    execute.lpFile = link.c_str();
    const std::wstring elsewhere = folderPath(CSIDL_WINDOWS);
    execute.lpDirectory = elsewhere.c_str();
    execute.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&execute) || !execute.hProcess)
        return launch;
    launch.started = true;
    const DWORD processId = GetProcessId(execute.hProcess);
    launch.image = imagePath(processId);

    HWND window = nullptr;
    for (int i = 0; i < 1000 && !window; ++i) {
        window = visibleWindowOf(processId);
        if (!window && WaitForSingleObject(execute.hProcess, 20) == WAIT_OBJECT_0)
            break;
    }
    if (window) {
        launch.windowShown = true;
        launch.title = windowText(window);
        for (int i = 0; i < 500 && launch.title.find(awaitedTitle) == std::wstring::npos; ++i) {
            Sleep(20);
            launch.title = windowText(window);
        }
        HWND host = GetDlgItem(window, 888);
        launch.controlShown = host && FindWindowExW(host, nullptr, L"QuibbletonSwfStage", nullptr);
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    launch.ended = WaitForSingleObject(execute.hProcess, 15000) == WAIT_OBJECT_0;
    if (!launch.ended)
        TerminateProcess(execute.hProcess, 1);
    CloseHandle(execute.hProcess);
    return launch;
}

// The portal's requests since the given count of them.
std::vector<std::string> portalRequestsAfter(size_t seen)
{
    std::vector<std::string> all = loopbackRequests("portal");
    return std::vector<std::string>(all.begin() + std::min(seen, all.size()), all.end());
}

bool runningUnderWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// ---- the installation

struct Installation {
    std::wstring folder = folderPath(CSIDL_LOCAL_APPDATA) + L"\\Programs\\Quibbleton Player";
    std::wstring exe = folder + L"\\QuibbletonPlayer.exe";
    std::wstring dll = folder + L"\\swfcontrol.dll";
    std::wstring uninstaller = folder + L"\\uninstall.exe";
    std::wstring shortcut = folderPath(CSIDL_PROGRAMS) + L"\\Quibbleton Player.lnk";
    std::wstring command = L"\"" + exe + L"\" \"%1\"";
};

DWORD install()
{
    return run(L"\"" + winePath(QP_TEST_SETUP) + L"\" /S");
}

DWORD uninstall(const Installation& installed)
{
    DWORD code = run(L"\"" + installed.uninstaller + L"\" /S");
    EXPECT_TRUE(waitForUninstaller()) << "the uninstaller did not end";
    return code;
}

std::wstring classesKey(const std::wstring& below)
{
    return L"Software\\Classes\\" + below;
}

std::wstring clsidKey()
{
    return L"CLSID\\" + std::wstring(flashClsid);
}

// A key the installer writes, with every value it must hold and no other.
struct KeyValues {
    Root root;
    std::wstring path;
    std::vector<std::pair<std::wstring, std::wstring>> strings;
    std::vector<std::pair<std::wstring, DWORD>> numbers;
};

std::vector<KeyValues> expectedKeys(const Installation& installed, bool standIn, bool classesCopy)
{
    std::vector<KeyValues> keys;
    std::vector<Root> classRoots = {user};
    if (classesCopy)
        classRoots.push_back(machine);
    for (const Root& root : classRoots) {
        keys.push_back({root, classesKey(L"quibbleton"), {{L"", L"URL:Quibbleton Player link"}, {L"URL Protocol", L""}}, {}});
        keys.push_back({root, classesKey(L"quibbleton\\DefaultIcon"), {{L"", installed.exe + L",0"}}, {}});
        keys.push_back({root, classesKey(L"quibbleton\\shell"), {}, {}});
        keys.push_back({root, classesKey(L"quibbleton\\shell\\open"), {}, {}});
        keys.push_back({root, classesKey(L"quibbleton\\shell\\open\\command"), {{L"", installed.command}}, {}});
        if (standIn) {
            keys.push_back({root, classesKey(clsidKey()), {{L"", L"Shockwave Flash stand-in (Quibbleton Player)"}}, {}});
            keys.push_back({root, classesKey(clsidKey() + L"\\InprocServer32"),
                            {{L"", installed.dll}, {L"ThreadingModel", L"Apartment"}}, {}});
        }
    }
    keys.push_back({user, uninstallKey,
                    {{L"DisplayName", L"Quibbleton Player"},
                     {L"DisplayVersion", L"1.0.6"},
                     {L"Publisher", L"Quibbleton"},
                     {L"DisplayIcon", installed.exe + L",0"},
                     {L"InstallLocation", installed.folder},
                     {L"UninstallString", L"\"" + installed.uninstaller + L"\""},
                     {L"QuietUninstallString", L"\"" + installed.uninstaller + L"\" /S"}},
                    {{L"NoModify", 1}, {L"NoRepair", 1}, {L"StandInRegistered", standIn ? 1u : 0u},
                     {L"MachineClassesCopy", classesCopy ? 1u : 0u}}});
    return keys;
}

// The keys and values the installer added are exactly the expected ones
// (and the keys above them that did not exist before, up to the snapshot's
// HKCU and HKLM\Software), holding exactly the expected data.
void expectAddedKeys(const Snapshot& before, const Snapshot& after, const std::vector<KeyValues>& keys)
{
    std::set<std::wstring> expected;
    for (const KeyValues& key : keys) {
        const std::wstring shown = std::wstring(key.root.name) + L"\\" + key.path;
        for (size_t cut = shown.find(L'\\'); cut != std::wstring::npos; cut = shown.find(L'\\', cut + 1))
            if (shown.substr(0, cut) != machine.name && !before.keys.count(shown.substr(0, cut)))
                expected.insert(shown.substr(0, cut));
        expected.insert(shown);
        for (const auto& value : key.strings)
            expected.insert(shown + L" :" + value.first);
        for (const auto& value : key.numbers)
            expected.insert(shown + L" :" + value.first);

        for (const auto& value : key.strings) {
            SCOPED_TRACE(narrow(shown + L" :" + value.first));
            EXPECT_EQ(narrow(readString(key.root, key.path, value.first.empty() ? nullptr : value.first.c_str())),
                      narrow(value.second));
        }
        for (const auto& value : key.numbers) {
            SCOPED_TRACE(narrow(shown + L" :" + value.first));
            EXPECT_EQ(readDword(key.root, key.path, value.first.c_str()), value.second);
        }
    }
    const std::set<std::wstring> added = minus(after.keys, before.keys);
    EXPECT_TRUE(added == expected) << "unexpected:" << listed(minus(added, expected))
                               << "\nmissing:" << listed(minus(expected, added));
    EXPECT_TRUE(minus(before.keys, after.keys).empty())
        << "the install removed keys:" << listed(minus(before.keys, after.keys));
}

std::wstring shortcutTarget(const std::wstring& link, std::wstring* workDir)
{
    IShellLinkW* shellLink = nullptr;
    std::wstring target;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shellLink))))
        return target;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        if (SUCCEEDED(file->Load(link.c_str(), STGM_READ))) {
            wchar_t path[MAX_PATH] = L"";
            if (SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, 0)))
                target = path;
            wchar_t folder[MAX_PATH] = L"";
            if (SUCCEEDED(shellLink->GetWorkingDirectory(folder, MAX_PATH)))
                *workDir = folder;
        }
        file->Release();
    }
    shellLink->Release();
    return target;
}

void expectNoFlashServer()
{
    ASSERT_EQ(readString(classes, clsidKey() + L"\\InprocServer32"), L"<none>") << "the prefix is not clean";
    ASSERT_EQ(readString(user, classesKey(clsidKey() + L"\\InprocServer32")), L"<none>") << "the prefix is not clean";
}

// The installer is a 32-bit program that the i686 build makes; a build
// without one (the 64-bit build) has these tests skip and say why.
class Installer : public testing::Test {
protected:
    void SetUp() override
    {
        if (*QP_TEST_SETUP)
            return;
        // scripts/test names the reason when the i686 suite does not run.
        const char* reason = getenv("QP_I686_SKIPPED");
        GTEST_SKIP() << "the installer is a 32-bit program: "
                     << (reason && *reason ? reason : "the i686 suite tests it");
    }
};
class Scheme : public Installer {};

TEST_F(Installer, InstallsTheLinkSchemeAndTheStandInAndTakesAllBack)
{
    const Installation installed;
    expectNoFlashServer();
    const Snapshot before = takeSnapshot();

    ASSERT_EQ(install(), 0u);
    const Snapshot afterInstall = takeSnapshot();

    {
        SCOPED_TRACE("files");
        std::set<std::wstring> files;
        collectFiles(installed.folder, L"", &files);
        EXPECT_EQ(files, (std::set<std::wstring>{installed.exe, installed.folder + L"\\regular.ico",
                                                 installed.dll, installed.uninstaller}));
        for (const wchar_t* name : {L"QuibbletonPlayer.exe", L"regular.ico", L"swfcontrol.dll"}) {
            SCOPED_TRACE(narrow(name));
            const std::string built = readFile(playerDir() + L"\\" + name);
            EXPECT_FALSE(built.empty());
            EXPECT_TRUE(readFile(installed.folder + L"\\" + name) == built) << "not the built file";
        }
        std::wstring workDir;
        EXPECT_EQ(narrow(shortcutTarget(installed.shortcut, &workDir)), narrow(installed.exe));
        EXPECT_EQ(narrow(workDir), narrow(installed.folder));
    }

    // Wine's classes root does not show per-user classes, so there the
    // installer copies them to the machine's classes.
    const bool classesCopy = runningUnderWine();
    {
        SCOPED_TRACE("registry");
        expectAddedKeys(before, afterInstall, expectedKeys(installed, true, classesCopy));
        EXPECT_EQ(narrow(readString(classes, L"quibbleton\\shell\\open\\command")), narrow(installed.command));
        EXPECT_EQ(narrow(readString(classes, clsidKey() + L"\\InprocServer32")), narrow(installed.dll));
    }

    {
        SCOPED_TRACE("a second install over the first");
        ASSERT_EQ(install(), 0u);
        const Snapshot again = takeSnapshot();
        expectSameState(afterInstall, again);
        EXPECT_EQ(readDword(user, uninstallKey, L"StandInRegistered"), 1u);
    }

    {
        SCOPED_TRACE("the link starts the installed player, which asks the portal");
        const size_t seen = loopbackRequests("portal").size();
        const Launch launch = openLink(L"quibbleton:123_7", L"Link scheme test");
        ASSERT_TRUE(launch.started) << "ShellExecuteEx failed: " << GetLastError();
        EXPECT_TRUE(startsWithNoCase(launch.image, installed.exe) && launch.image.size() == installed.exe.size())
            << narrow(launch.image);
        EXPECT_TRUE(launch.windowShown);
        EXPECT_EQ(portalRequestsAfter(seen), std::vector<std::string>{"GET " + std::string(metadataPath) + "123_7"});
        EXPECT_NE(launch.title.find(L"Link scheme test"), std::wstring::npos) << narrow(launch.title);
        EXPECT_TRUE(launch.controlShown) << "the installed stand-in did not run in the player";
        EXPECT_TRUE(launch.ended);
    }

    ASSERT_EQ(uninstall(installed), 0u);
    expectSameState(before, takeSnapshot());
    EXPECT_EQ(GetFileAttributesW(installed.folder.c_str()), INVALID_FILE_ATTRIBUTES);

    // What stays behind in the temporary folder is the uninstaller's own copy.
    std::set<std::wstring> temp;
    collectFiles(tempFolder(), L"", &temp);
    for (const std::wstring& path : temp) {
        const std::wstring below = path.substr(tempFolder().size() + 1);
        EXPECT_TRUE(startsWithNoCase(below, L"~nsu")) << narrow(path);
    }
}

// Another control registered for the Flash CLSID, machine-wide or for the
// user alone, is neither replaced by the install nor removed by the uninstall.
TEST_F(Installer, LeavesAnotherFlashControlAlone)
{
    const Installation installed;
    const std::wstring other = L"C:\\Program Files\\Other Flash\\Flash.ocx";
    for (const Root& root : {machine, user}) {
        SCOPED_TRACE(narrow(root.name));
        expectNoFlashServer();
        writeString(root, classesKey(clsidKey()), nullptr, L"Other Flash");
        writeString(root, classesKey(clsidKey() + L"\\InprocServer32"), nullptr, other);
        writeString(root, classesKey(clsidKey() + L"\\InprocServer32"), L"ThreadingModel", L"Apartment");
        const Snapshot before = takeSnapshot();

        ASSERT_EQ(install(), 0u);
        const Snapshot afterInstall = takeSnapshot();
        expectAddedKeys(before, afterInstall, expectedKeys(installed, false, runningUnderWine()));
        EXPECT_EQ(narrow(readString(root, classesKey(clsidKey() + L"\\InprocServer32"))), narrow(other));
        EXPECT_EQ(narrow(readString(root, classesKey(clsidKey()))), "Other Flash");

        ASSERT_EQ(uninstall(installed), 0u);
        expectSameState(before, takeSnapshot());
        EXPECT_EQ(narrow(readString(root, classesKey(clsidKey() + L"\\InprocServer32"))), narrow(other));

        RegDeleteTreeW(root.key, classesKey(clsidKey()).c_str());
    }
}

// A browser hands the shell whatever link a page holds. The scheme's command
// quotes it as one argument, and the player cuts it at the first double
// quote, so nothing in a link becomes a second argument; what is left goes
// into the request as it is, without decoding.
TEST_F(Scheme, HandsThePlayerTheLinkOnlyUpToItsFirstQuote)
{
    ASSERT_EQ(install(), 0u);
    struct Case {
        const char* name;
        std::wstring link;
        std::vector<std::string> requests;
    };
    const std::string entry = "GET " + std::string(metadataPath);
    // Wine's shell overflows a 1 KiB buffer for longer links (Windows takes
    // them up to the command line's 32767 units); the Linux launcher's test
    // sends 64 KiB.
    const std::wstring longId(900, L'9');
    const Case cases[] = {
        {"plain", L"quibbleton:123_7", {entry + "123_7"}},
        {"a quote, then what would be switches", L"quibbleton:123_7\" --load \"C:\\evil.swf", {entry + "123_7"}},
        {"a quote first", L"quibbleton:\"123_7", {}},
        {"%22 stays as it is", L"quibbleton:123%22_7", {entry + "123%22_7"}},
        {"blanks: libcurl refuses the URL", L"quibbleton:123 456_7", {}},
        {"blanks after a quote are cut off", L"quibbleton:123_7\" 456", {entry + "123_7"}},
        {"long", L"quibbleton:" + longId + L"_7", {entry + narrow(longId) + "_7"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t seen = loopbackRequests("portal").size();
        const Launch launch = openLink(c.link);
        ASSERT_TRUE(launch.started);
        EXPECT_TRUE(launch.windowShown);
        EXPECT_TRUE(launch.ended);
        EXPECT_EQ(portalRequestsAfter(seen), c.requests);
    }
}

} // namespace
