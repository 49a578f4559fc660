// Where the main window's icon comes from: "regular.ico" in the working
// directory, and else the one beside the program, which is what a player
// started from a browser link (in the browser's folder) finds. With both
// present, which one a bare file name reaches is the platform's affair: Wine
// searches the program's folder first, Windows opens the working directory's.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "support/ProcessDriver.h"

namespace {

// A one-image 24 x 24 icon file; regular.ico has no image of that width, so
// the width tells which of the two files was loaded.
const int markerWidth = 24;

void put16(std::vector<uint8_t>* out, unsigned value)
{
    out->push_back(static_cast<uint8_t>(value));
    out->push_back(static_cast<uint8_t>(value >> 8));
}

void put32(std::vector<uint8_t>* out, unsigned value)
{
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}

bool writeMarkerIcon(const std::wstring& path)
{
    const unsigned pixels = markerWidth * markerWidth * 4;
    const unsigned mask = markerWidth * 4; // rows of 24 bits padded to 32
    const unsigned image = 40 + pixels + mask;
    std::vector<uint8_t> file;
    put16(&file, 0);
    put16(&file, 1);
    put16(&file, 1);
    file.push_back(markerWidth);
    file.push_back(markerWidth);
    file.push_back(0);
    file.push_back(0);
    put16(&file, 1);
    put16(&file, 32);
    put32(&file, image);
    put32(&file, 22);
    put32(&file, 40);
    put32(&file, markerWidth);
    put32(&file, markerWidth * 2);
    put16(&file, 1);
    put16(&file, 32);
    for (int i = 0; i < 6; ++i)
        put32(&file, 0);
    for (unsigned i = 0; i < pixels / 4; ++i)
        put32(&file, 0xff3060c0);
    file.insert(file.end(), mask, 0);

    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(out, file.data(), static_cast<DWORD>(file.size()), &written, nullptr) &&
              written == file.size();
    CloseHandle(out);
    return ok;
}

std::wstring folderOf(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring thisProgram()
{
    wchar_t path[MAX_PATH * 2] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    return path;
}

// 0 for no icon.
int widthOfLoadedIcon()
{
    HICON icon = static_cast<HICON>(loadWindowIcon());
    if (!icon)
        return 0;
    ICONINFO info = {};
    BITMAP bitmap = {};
    if (GetIconInfo(icon, &info)) {
        GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
        if (info.hbmColor)
            DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    DestroyIcon(icon);
    return bitmap.bmWidth;
}

TEST(WindowIcon, ComesFromTheWorkingDirectoryElseFromBesideTheProgram)
{
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    const std::wstring suffix = std::to_wstring(GetCurrentProcessId());
    const std::wstring empty = temp + (L"qp-no-icon-" + suffix);
    const std::wstring marked = temp + (L"qp-icon-" + suffix);
    const std::wstring markedIcon = marked + L"\\regular.ico";
    const std::wstring beside = folderOf(thisProgram()) + L"\\regular.ico";
    const std::wstring shipped = playerDir() + L"\\regular.ico";

    ASSERT_EQ(GetFileAttributesW(beside.c_str()), INVALID_FILE_ATTRIBUTES)
        << "an icon is already beside the test program: " << narrow(beside);

    // Whatever happens, nothing stays behind: a left icon beside the test
    // program would spoil the next run.
    struct Cleanup {
        const std::wstring* files[2];
        const std::wstring* folders[2];
        wchar_t startDir[MAX_PATH * 2];
        ~Cleanup()
        {
            SetCurrentDirectoryW(startDir);
            for (const std::wstring* file : files)
                DeleteFileW(file->c_str());
            for (const std::wstring* folder : folders)
                RemoveDirectoryW(folder->c_str());
        }
    } cleanup = {{&beside, &markedIcon}, {&marked, &empty}, L""};
    GetCurrentDirectoryW(MAX_PATH * 2, cleanup.startDir);

    ASSERT_TRUE(CreateDirectoryW(empty.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(marked.c_str(), nullptr));
    ASSERT_TRUE(writeMarkerIcon(markedIcon));

    struct Case {
        const char* name;
        const std::wstring* workDir;
        bool iconBeside;
        bool expectMarker; // else the shipped icon, or none without one beside
    };
    const Case cases[] = {
        {"icon in the working directory only", &marked, false, true},
        {"no icon anywhere", &empty, false, false},
        {"icon beside the program only", &empty, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.iconBeside)
            ASSERT_TRUE(CopyFileW(shipped.c_str(), beside.c_str(), FALSE)) << narrow(shipped);
        else
            DeleteFileW(beside.c_str());
        ASSERT_TRUE(SetCurrentDirectoryW(c.workDir->c_str()));
        const int width = widthOfLoadedIcon();
        if (c.expectMarker)
            EXPECT_EQ(width, markerWidth);
        else if (c.iconBeside)
            EXPECT_TRUE(width != 0 && width != markerWidth) << "width " << width;
        else
            EXPECT_EQ(width, 0);
    }
}

} // namespace
