// The real player started with exact command lines: what it echoes, and that
// it ends with exit code 0.
#include <gtest/gtest.h>

#include "support/ProcessDriver.h"

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

// Until the control is registered in the prefix, DIALOG_MAIN cannot open:
// its AX window fails to create the control.
bool flashControlRegistered()
{
    HKEY key = nullptr;
    LONG result = RegOpenKeyExW(HKEY_CLASSES_ROOT,
                                L"CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}\\InprocServer32", 0, KEY_READ,
                                &key);
    if (result == ERROR_SUCCESS)
        RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

// With the control registered the main window must really show; it is then
// closed so that the player ends.
std::string runPlayer(const std::wstring& arguments, DWORD* exitCode, bool expectWindow)
{
    DrivenProcess player;
    if (!player.start(playerExe(), arguments, playerDir())) {
        ADD_FAILURE() << "could not start " << narrow(playerExe());
        return std::string();
    }
    if (expectWindow) {
        HWND window = player.waitForWindow(15000);
        EXPECT_TRUE(window) << "the main window never showed";
        if (window)
            PostMessageW(window, WM_CLOSE, 0, 0);
    }
    EXPECT_TRUE(player.waitForExit(15000)) << "the player did not end";
    *exitCode = player.exitCode();
    return player.output();
}

TEST(Startup, EchoesEachFieldOnALineOfItsOwn)
{
    const bool registered = flashControlRegistered();
    for (const EchoCase& c : echoCases) {
        SCOPED_TRACE("arguments: [" + narrow(c.arguments) + "]");
        DWORD exitCode = 1;
        EXPECT_EQ(runPlayer(c.arguments, &exitCode, registered), c.echoed);
        EXPECT_EQ(exitCode, 0u);
    }
}

TEST(Startup, ShowsTheMainWindow)
{
    if (!flashControlRegistered())
        GTEST_SKIP() << "the Flash control is not registered in this prefix, so DIALOG_MAIN cannot open";
    DWORD exitCode = 1;
    EXPECT_EQ(runPlayer(L"x:1_2", &exitCode, true), "1\r\n2\r\n");
    EXPECT_EQ(exitCode, 0u);
}

} // namespace
