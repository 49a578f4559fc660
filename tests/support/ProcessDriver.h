// Starts a program with an exact command line and watches it from outside:
// its output, its top-level windows and its exit.
#pragma once

#include <windows.h>

#include <string>
#include <thread>

// "Z:\..." for a path of the Unix file system, as Wine maps it.
std::wstring winePath(const std::string& unixPath);
std::wstring widen(const std::string& text);
std::string narrow(const std::wstring& text);

// The player built by this tree, and the folder it runs in (its icon is there).
std::wstring playerExe();
std::wstring playerDir();

class DrivenProcess {
public:
    DrivenProcess() = default;
    DrivenProcess(const DrivenProcess&) = delete;
    DrivenProcess& operator=(const DrivenProcess&) = delete;
    ~DrivenProcess();

    // The command line is "<exe>" followed by a blank and arguments, exactly
    // as given; with empty arguments it is the quoted program name alone.
    bool start(const std::wstring& exe, const std::wstring& arguments, const std::wstring& workDir);

    // A visible top-level window of the process whose title contains the text
    // (any title when empty), or null after the time-out.
    HWND waitForWindow(DWORD timeoutMs, const std::wstring& titlePart = L"") const;
    bool waitForExit(DWORD timeoutMs);
    DWORD exitCode() const;
    DWORD processId() const { return info_.dwProcessId; }
    HANDLE process() const { return info_.hProcess; }

    // Complete once the process has exited.
    const std::string& output();
    const std::string& errors();

    void kill();

private:
    void joinReaders();

    PROCESS_INFORMATION info_ = {};
    HANDLE outRead_ = nullptr;
    HANDLE errRead_ = nullptr;
    std::thread outReader_;
    std::thread errReader_;
    std::string out_;
    std::string err_;
};

// A visible top-level window of the process whose title contains the text
// (any title when empty), or null.
HWND visibleWindowOf(DWORD processId, const std::wstring& titlePart = L"");

std::wstring windowText(HWND window);
std::wstring className(HWND window);
