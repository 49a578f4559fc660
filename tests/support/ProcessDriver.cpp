#include "support/ProcessDriver.h"

#include <vector>

std::wstring widen(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(units, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], units);
    return wide;
}

std::string narrow(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], bytes, nullptr, nullptr);
    return out;
}

std::wstring winePath(const std::string& unixPath)
{
    std::wstring path = L"Z:" + widen(unixPath);
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    return path;
}

std::wstring playerExe()
{
    return winePath(QP_PLAYER_EXE);
}

std::wstring playerDir()
{
    std::wstring exe = playerExe();
    return exe.substr(0, exe.find_last_of(L'\\'));
}

std::wstring windowText(HWND window)
{
    wchar_t text[1024] = L"";
    GetWindowTextW(window, text, 1024);
    return text;
}

std::wstring className(HWND window)
{
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

namespace {

void drain(HANDLE pipe, std::string* into)
{
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
        into->append(buffer, got);
}

struct WindowSearch {
    DWORD processId;
    const std::wstring* titlePart;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM param)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window))
        return TRUE;
    if (!search->titlePart->empty() && windowText(window).find(*search->titlePart) == std::wstring::npos)
        return TRUE;
    search->found = window;
    return FALSE;
}

} // namespace

HWND visibleWindowOf(DWORD processId, const std::wstring& titlePart)
{
    WindowSearch search = {processId, &titlePart, nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

DrivenProcess::~DrivenProcess()
{
    kill();
    joinReaders();
    if (info_.hProcess)
        CloseHandle(info_.hProcess);
    if (info_.hThread)
        CloseHandle(info_.hThread);
}

bool DrivenProcess::start(const std::wstring& exe, const std::wstring& arguments, const std::wstring& workDir)
{
    // Wine starts its desktop process for the first process that needs the
    // desktop, handing it that process's standard error. Were that the child,
    // the desktop would hold the pipe below open for as long as this process
    // runs, and the readers would wait for its end forever.
    GetDesktopWindow();

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE outWrite = nullptr;
    HANDLE errWrite = nullptr;
    if (!CreatePipe(&outRead_, &outWrite, &inherit, 0) || !CreatePipe(&errRead_, &errWrite, &inherit, 0))
        return false;
    SetHandleInformation(outRead_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead_, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;

    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');

    BOOL started = CreateProcessW(exe.c_str(), buffer.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  workDir.empty() ? nullptr : workDir.c_str(), &startup, &info_);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (!started)
        return false;
    outReader_ = std::thread(drain, outRead_, &out_);
    errReader_ = std::thread(drain, errRead_, &err_);
    return true;
}

HWND DrivenProcess::waitForWindow(DWORD timeoutMs, const std::wstring& titlePart) const
{
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND found = visibleWindowOf(info_.dwProcessId, titlePart))
            return found;
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0 || GetTickCount() - start > timeoutMs)
            return nullptr;
        Sleep(20);
    }
}

bool DrivenProcess::waitForExit(DWORD timeoutMs)
{
    if (!info_.hProcess || WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    joinReaders();
    return true;
}

DWORD DrivenProcess::exitCode() const
{
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

const std::string& DrivenProcess::output()
{
    joinReaders();
    return out_;
}

const std::string& DrivenProcess::errors()
{
    joinReaders();
    return err_;
}

void DrivenProcess::kill()
{
    if (info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, 5000);
    }
}

void DrivenProcess::joinReaders()
{
    if (outReader_.joinable())
        outReader_.join();
    if (errReader_.joinable())
        errReader_.join();
    if (outRead_) {
        CloseHandle(outRead_);
        outRead_ = nullptr;
    }
    if (errRead_) {
        CloseHandle(errRead_);
        errRead_ = nullptr;
    }
}
