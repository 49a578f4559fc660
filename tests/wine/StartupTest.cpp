// The real player started with exact command lines: what it echoes, and that
// it ends with exit code 0.
#include <gtest/gtest.h>

#include "support/ProcessDriver.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace {

struct EchoCase {
    const wchar_t* arguments;
    const char* echoed;
};

// Text-mode standard output: every line ends in CR LF.
const EchoCase echoCases[] = {
    {L"", ""},
    {L"x:123_abc", "123\r\nabc\r\n"},
    {L"\"x:123_abc\"", "123\r\nabc\r\n"},
    {L"\"123_abc\"", ""},
    {L"123__abc", "123\r\n\r\nabc\r\n"},
    {L"_abc", "\r\nabc\r\n"},
    {L"x:123 abc", "123 abc\r\n"},
    {L"   x:1_2", "1\r\n2\r\n"},
    {L"\"x:123_abc\" --second \"arg\"", "123\r\nabc\r\n"},
};

// The main window must really show (the harness registers a control in the
// prefix); it is then closed so that the player ends.
std::string runPlayer(const std::wstring& arguments, DWORD* exitCode)
{
    DrivenProcess player;
    if (!player.start(playerExe(), arguments, playerDir())) {
        ADD_FAILURE() << "could not start " << narrow(playerExe());
        return std::string();
    }
    HWND window = player.waitForWindow(15000);
    EXPECT_TRUE(window) << "the main window never showed";
    if (window)
        PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(player.waitForExit(15000)) << "the player did not end";
    *exitCode = player.exitCode();
    return player.output();
}

TEST(Startup, EchoesEachFieldOnALineOfItsOwn)
{
    for (const EchoCase& c : echoCases) {
        SCOPED_TRACE("arguments: [" + narrow(c.arguments) + "]");
        DWORD exitCode = 1;
        EXPECT_EQ(runPlayer(c.arguments, &exitCode), c.echoed);
        EXPECT_EQ(exitCode, 0u);
    }
}

// scripts/bench-startup reads these lines: the phases in the order they end,
// each with a counter that never goes back and a working set or "-".
TEST(Startup, TracesItsPhasesWhenAsked)
{
    struct Case {
        const wchar_t* arguments;
        std::vector<std::string> phases;
    };
    const Case cases[] = {
        {L"", {"loader", "ole", "dialog", "control", "dialog", "control", "window"}},
        {L"x:123_abc",
         {"loader", "ole", "dialog", "control", "dialog", "control", "dialog", "setup", "certificates", "connect",
          "tls", "request", "metadata", "movie", "window"}},
    };
    wchar_t folder[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    for (const Case& c : cases) {
        SCOPED_TRACE("arguments: [" + narrow(c.arguments) + "]");
        ASSERT_TRUE(GetTempFileNameW(folder, L"qpt", 0, path));
        SetEnvironmentVariableW(L"QP_STARTUP_TRACE", path);
        DWORD exitCode = 1;
        runPlayer(c.arguments, &exitCode);
        SetEnvironmentVariableW(L"QP_STARTUP_TRACE", nullptr);

        std::vector<std::string> phases;
        long long previous = 0;
        if (FILE* file = _wfopen(path, L"rb")) {
            char line[256];
            while (std::fgets(line, sizeof line, file)) {
                std::istringstream fields(line);
                std::string phase, memory;
                long long counter = 0;
                ASSERT_TRUE(fields >> phase >> counter >> memory) << line;
                EXPECT_GE(counter, previous) << line;
                EXPECT_TRUE(memory == "-" || std::strtoull(memory.c_str(), nullptr, 10) > 0) << line;
                previous = counter;
                phases.push_back(phase);
            }
            std::fclose(file);
        }
        DeleteFileW(path);
        EXPECT_EQ(phases, c.phases);
    }
}

} // namespace
