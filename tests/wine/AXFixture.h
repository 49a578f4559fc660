// An AX window inside a hidden parent, hosting RecordingControl.
#pragma once

#include <gtest/gtest.h>

#include "app/Startup.h"
#include "axhost/AXHost.h"
#include "movie/FlashClsid.h"
#include "support/RecordingControl.h"
#include "support/RecordingWindow.h"

inline const wchar_t flashText[] = QP_FLASH_CLSID_WTEXT;
inline const wchar_t noHostText[] = L"}D27CDB6E-AE6D-11CF-96B8-444553540000}";

inline bool fileExists(const std::wstring& path)
{
    return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline IUnknown* siteIdentity(AXHost* host)
{
    return static_cast<IOleClientSite*>(&host->site);
}

class AXWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        registerAXClass();
        ASSERT_TRUE(registration.registered());
        ASSERT_TRUE(parent.handle());
    }

    // Creates the window and asserts it hosts a control; the log is then cleared.
    HWND createHosted(int width = 300, int height = 200)
    {
        HWND ax = createAXWindow(script, parent.handle(), flashText, width, height);
        EXPECT_TRUE(ax);
        EXPECT_TRUE(ax && axHost(ax) && axHost(ax)->control);
        EXPECT_TRUE(script.latest());
        script.take();
        return ax;
    }

    // Destroys the window and checks that nothing of the control is left
    // holding the site, nor the site holding the control.
    void destroyAndCheckReleased(HWND ax)
    {
        AXHost* host = axHost(ax);
        ASSERT_TRUE(host);
        DestroyWindow(ax);
        EXPECT_EQ(script.liveControls(), 0);
        EXPECT_EQ(host->site.refCount, 0);
    }

    ControlScript script;
    RegisteredControl registration{script};
    RecordingWindow parent{script, "parent"};
};
