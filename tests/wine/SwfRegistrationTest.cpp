// The DLL's own exports, loaded straight from the build: self-registration
// (redirected into a scratch key, so that the prefix's registration that
// other tests use stays as it is), the class object and unloading.
#include <gtest/gtest.h>

#include <olectl.h>

#include "movie/FlashClsid.h"
#include "support/ProcessDriver.h"
#include "wine/SwfTestHelpers.h"

namespace {

const wchar_t classKey[] = QP_FLASH_CLASS_KEY;
const wchar_t serverKey[] = QP_FLASH_SERVER_KEY;

using Export = HRESULT(STDAPICALLTYPE*)();
using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

bool keyExists(HKEY root, const wchar_t* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::wstring stringValue(HKEY root, const wchar_t* path, const wchar_t* name)
{
    wchar_t value[MAX_PATH] = L"";
    DWORD size = sizeof value;
    if (RegGetValueW(root, path, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return L"<none>";
    return value;
}

// HKEY_CLASSES_ROOT of this process points into a scratch key for the test.
class ScratchClassesRoot {
public:
    ScratchClassesRoot()
    {
        path_ = L"Software\\QuibbletonTests\\classes-" + std::to_wstring(GetCurrentProcessId());
        RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        overridden_ = key_ && RegOverridePredefKey(HKEY_CLASSES_ROOT, key_) == ERROR_SUCCESS;
    }
    ~ScratchClassesRoot()
    {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        if (key_)
            RegCloseKey(key_);
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }
    bool ok() const { return overridden_; }
    HKEY key() const { return key_; }

private:
    std::wstring path_;
    HKEY key_ = nullptr;
    bool overridden_ = false;
};

class Dll {
public:
    Dll() : module_(LoadLibraryW(builtControlDll().c_str())) {}
    ~Dll()
    {
        if (module_)
            FreeLibrary(module_);
    }
    HMODULE module() const { return module_; }
    template <typename F>
    F get(const char* name) const
    {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }
    std::wstring path() const
    {
        wchar_t path[MAX_PATH] = L"";
        GetModuleFileNameW(module_, path, MAX_PATH);
        return path;
    }

private:
    HMODULE module_;
};

TEST(SwfRegistration, UnregisterRemovesWhatRegisterWrote)
{
    Dll dll;
    ASSERT_TRUE(dll.module()) << narrow(builtControlDll());
    ScratchClassesRoot root;
    ASSERT_TRUE(root.ok());

    ASSERT_EQ(dll.get<Export>("DllRegisterServer")(), S_OK);
    EXPECT_EQ(narrow(stringValue(root.key(), classKey, nullptr)), "Shockwave Flash stand-in (Quibbleton Player)");
    EXPECT_EQ(narrow(stringValue(root.key(), serverKey, nullptr)), narrow(dll.path()));
    EXPECT_EQ(narrow(stringValue(root.key(), serverKey, L"ThreadingModel")), "Apartment");
    EXPECT_EQ(dll.get<Export>("DllRegisterServer")(), S_OK) << "registering twice";

    ASSERT_EQ(dll.get<Export>("DllUnregisterServer")(), S_OK);
    EXPECT_FALSE(keyExists(root.key(), classKey));
    EXPECT_TRUE(keyExists(root.key(), L"CLSID")) << "more than our key went";
    EXPECT_EQ(dll.get<Export>("DllUnregisterServer")(), S_OK) << "unregistering twice";
}

// On a machine with the real control, ours must neither replace it nor,
// when asked to unregister, take it away.
TEST(SwfRegistration, LeavesAnotherServerAlone)
{
    Dll dll;
    ASSERT_TRUE(dll.module());
    ScratchClassesRoot root;
    ASSERT_TRUE(root.ok());
    const wchar_t real[] = L"C:\\windows\\system32\\Macromed\\Flash\\Flash.ocx";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root.key(), serverKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(real), sizeof real);
    RegCloseKey(key);

    EXPECT_EQ(dll.get<Export>("DllRegisterServer")(), SELFREG_E_CLASS);
    EXPECT_EQ(stringValue(root.key(), serverKey, nullptr), real);
    EXPECT_EQ(dll.get<Export>("DllUnregisterServer")(), S_OK);
    EXPECT_EQ(stringValue(root.key(), serverKey, nullptr), real);
}

TEST(SwfRegistration, ServesOnlyTheFlashClassAndUnloadsWhenIdle)
{
    Dll dll;
    ASSERT_TRUE(dll.module());
    auto getClassObject = dll.get<GetClassObject>("DllGetClassObject");
    auto canUnload = dll.get<Export>("DllCanUnloadNow");
    ASSERT_TRUE(getClassObject && canUnload);

    IClassFactory* factory = reinterpret_cast<IClassFactory*>(0xdeadbeef);
    EXPECT_EQ(getClassObject(CLSID_NULL, IID_IClassFactory, reinterpret_cast<void**>(&factory)), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory, nullptr);
    EXPECT_EQ(canUnload(), S_OK);

    ASSERT_EQ(getClassObject(CLSID_ShockwaveFlash, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IUnknown* outer = reinterpret_cast<IUnknown*>(factory);
    IUnknown* object = reinterpret_cast<IUnknown*>(0xdeadbeef);
    EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, reinterpret_cast<void**>(&object)), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, reinterpret_cast<void**>(&object)), E_NOINTERFACE);
    IShockwaveFlash* flash = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IShockwaveFlash, reinterpret_cast<void**>(&flash)), S_OK);
    factory->Release();
    EXPECT_EQ(canUnload(), S_FALSE) << "a live control must keep the DLL";
    EXPECT_EQ(flash->Release(), 0u);
    EXPECT_EQ(canUnload(), S_OK);

    ASSERT_EQ(getClassObject(CLSID_ShockwaveFlash, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    factory->LockServer(TRUE);
    factory->Release();
    EXPECT_EQ(canUnload(), S_FALSE) << "a locked server must stay";
    ASSERT_EQ(getClassObject(CLSID_ShockwaveFlash, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    factory->LockServer(FALSE);
    factory->Release();
    EXPECT_EQ(canUnload(), S_OK);
}

} // namespace
