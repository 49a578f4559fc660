// Parts of the stand-in control that need Windows but no OLE: where a movie
// text points, how the call log writes an argument, where the stage goes.
#include <gtest/gtest.h>

#include "support/ProcessDriver.h"
#include "swfcontrol/CallLog.h"
#include "swfcontrol/MovieLocation.h"
#include "swfcontrol/Stage.h"

namespace {

std::wstring currentDirectory()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetCurrentDirectoryW(MAX_PATH, path);
    std::wstring text(path, length);
    if (text.empty() || text.back() != L'\\')
        text += L'\\';
    return text;
}

struct LocationCase {
    const wchar_t* text;
    MovieLocation::Kind kind;
    std::wstring target; // for LocalFile and RemoteUrl
};

TEST(MovieLocation, TellsLocalFilesFromRemoteUrls)
{
    const std::wstring here = currentDirectory();
    const LocationCase cases[] = {
        {L"C:\\movies\\a.swf", MovieLocation::LocalFile, L"C:\\movies\\a.swf"},
        {L"C:/movies/../movies/a.swf", MovieLocation::LocalFile, L"C:\\movies\\a.swf"},
        {L"  C:\\movies\\a.swf \t", MovieLocation::LocalFile, L"C:\\movies\\a.swf"},
        {L"a.swf", MovieLocation::LocalFile, here + L"a.swf"},
        {L"sub\\b.swf", MovieLocation::LocalFile, here + L"sub\\b.swf"},
        {L"file:///C:/movies/a%20b.swf", MovieLocation::LocalFile, L"C:\\movies\\a b.swf"},
        {L"FILE:///C:/movies/a.swf", MovieLocation::LocalFile, L"C:\\movies\\a.swf"},
        {L"http://127.0.0.1:8080/m.swf?x=1", MovieLocation::RemoteUrl, L"http://127.0.0.1:8080/m.swf?x=1"},
        {L"HTTPS://example.invalid/m.swf", MovieLocation::RemoteUrl, L"HTTPS://example.invalid/m.swf"},
        {L"", MovieLocation::None, L""},
        {L"   ", MovieLocation::None, L""},
    };
    for (const LocationCase& c : cases) {
        SCOPED_TRACE(narrow(c.text));
        MovieLocation location = locateMovie(c.text);
        EXPECT_EQ(location.kind, c.kind) << narrow(location.reason);
        EXPECT_EQ(narrow(location.target), narrow(c.target));
    }
}

// A movie text from a portal or a web page must not make the machine reach
// out to another host over SMB (and offer it the user's credentials), nor
// open a device.
TEST(MovieLocation, RefusesNetworkAndDevicePathsHoweverWritten)
{
    const wchar_t* const refused[] = {
        L"\\\\server\\share\\movie.swf",
        L"//server/share/movie.swf",
        L"\\/server/share/movie.swf",
        L"  \\\\server\\share\\movie.swf",
        L"\\\\?\\C:\\movie.swf",
        L"\\\\?\\UNC\\server\\share\\movie.swf",
        L"\\\\.\\pipe\\movie",
        L"\\??\\C:\\movie.swf",
        L"\\??\\UNC\\server\\share\\movie.swf",
        L"file://server/share/movie.swf",
        L"file:////server/share/movie.swf",
        L"file:\\\\server\\share\\movie.swf",
        L"NUL",
        L"COM1",
    };
    for (const wchar_t* text : refused) {
        SCOPED_TRACE(narrow(text));
        MovieLocation location = locateMovie(text);
        EXPECT_EQ(location.kind, MovieLocation::Refused) << narrow(location.target);
        EXPECT_EQ(location.reason.rfind(L"Could not open ", 0), 0u) << narrow(location.reason);
    }
    EXPECT_EQ(narrow(locateMovie(L"\\\\server\\share\\m.swf").reason),
              "Could not open \\\\server\\share\\m.swf: network and device paths are not opened.");
}

TEST(MovieLocation, RefusesOtherSchemes)
{
    const char* const schemes[][2] = {
        {"ftp://example.invalid/m.swf", "ftp"},
        {"javascript:alert(1)", "javascript"},
        {"mailto:someone@example.invalid", "mailto"},
        {"quibbleton:123_7", "quibbleton"},
    };
    for (const auto& c : schemes) {
        SCOPED_TRACE(c[0]);
        MovieLocation location = locateMovie(widen(c[0]));
        EXPECT_EQ(location.kind, MovieLocation::Refused);
        EXPECT_EQ(narrow(location.reason),
                  std::string("Could not open ") + c[0] + ": the \"" + c[1] + "\" scheme is not supported.");
    }
}

TEST(CallLog, EscapesWhatWouldBreakALine)
{
    const struct {
        const wchar_t* method;
        const wchar_t* argument;
        const char* line;
    } cases[] = {
        {L"put_WMode", L"direct", "put_WMode direct"},
        {L"put_FlashVars", L"", "put_FlashVars "},
        {L"put_FlashVars", nullptr, "put_FlashVars "},
        {L"put_FlashVars", L"a=1&b=two words", "put_FlashVars a=1&b=two words"},
        {L"put_FlashVars", L"x\r\ny\tz\\w\x01", "put_FlashVars x\\r\\ny\\tz\\\\w\\x01"},
        {L"put_Movie", L"Z:\\m\u00e9.swf", "put_Movie Z:\\\\m\xc3\xa9.swf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(callLogLine(c.method, c.argument), c.line);
    }
}

TEST(Stage, LetterboxesAndPillarboxesInTheMiddle)
{
    const struct {
        RECT area;
        int width, height;
        RECT stage;
    } cases[] = {
        {{0, 0, 400, 300}, 200, 50, {0, 100, 400, 200}},
        {{0, 0, 400, 300}, 100, 200, {125, 0, 275, 300}},
        {{0, 0, 550, 400}, 550, 400, {0, 0, 550, 400}},
        {{10, 20, 110, 120}, 1, 1, {10, 20, 110, 120}},
        {{0, 0, 401, 100}, 1, 1, {150, 0, 250, 100}},
        {{0, 0, 300, 200}, 16384, 1, {0, 100, 300, 100}},
        {{0, 0, 0, 0}, 550, 400, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        RECT got = letterbox(c.area, c.width, c.height);
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        EXPECT_EQ(got.left, c.stage.left);
        EXPECT_EQ(got.top, c.stage.top);
        EXPECT_EQ(got.right, c.stage.right);
        EXPECT_EQ(got.bottom, c.stage.bottom);
    }
}

} // namespace
