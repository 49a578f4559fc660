// The Flash control interface as the player calls it, and the process's
// event sink, against RecordingControl.
#include <comdef.h>

#include <functional>

#include <gtest/gtest.h>

#include "axhost/FlashNotify.h"
#include "movie/ShockwaveFlash.h"
#include "support/RecordingControl.h"

namespace {

class FlashInterfaceTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(registration.registered());
        ASSERT_EQ(CoCreateInstance(CLSID_ShockwaveFlash, nullptr, CLSCTX_INPROC_SERVER, IID_IShockwaveFlash,
                                   reinterpret_cast<void**>(&flash)), S_OK);
        script.take();
    }
    void TearDown() override
    {
        if (flash) {
            EXPECT_EQ(flash->Release(), 0u);
        }
        EXPECT_EQ(script.liveControls(), 0);
    }

    ControlScript script;
    RegisteredControl registration{script};
    IShockwaveFlash* flash = nullptr;
};

using BstrSlot = HRESULT(STDMETHODCALLTYPE*)(IShockwaveFlash*, BSTR);
using CallSlot = HRESULT(STDMETHODCALLTYPE*)(IShockwaveFlash*, BSTR, BSTR*);
using LongOutSlot = HRESULT(STDMETHODCALLTYPE*)(IShockwaveFlash*, long*);

template <class Slot>
Slot slot(IShockwaveFlash* flash, int index)
{
    void** table = *reinterpret_cast<void***>(flash);
    return reinterpret_cast<Slot>(table[index]);
}

// The real control's vtable, counted from QueryInterface at 0: a call through
// a shifted slot would reach another method of the control.
TEST_F(FlashInterfaceTest, SlotsFollowThePublishedOrder)
{
    BSTR text = SysAllocString(L"x");
    long number = 0;
    BSTR response = nullptr;
    EXPECT_EQ(slot<LongOutSlot>(flash, 7)(flash, &number), E_NOTIMPL);
    slot<BstrSlot>(flash, 22)(flash, text);
    slot<BstrSlot>(flash, 41)(flash, text);
    slot<BstrSlot>(flash, 77)(flash, text);
    slot<CallSlot>(flash, 93)(flash, text, &response);
    slot<BstrSlot>(flash, 99)(flash, text);
    EXPECT_EQ(script.take(), (CallLog{"get_ReadyState", "put_Movie(x)", "put_WMode(x)", "put_FlashVars(x)",
                                      "CallFunction(x)", "put_AllowFullScreen"}));
    SysFreeString(response);
    SysFreeString(text);
}

TEST_F(FlashInterfaceTest, WrappersHandTheirTextsToTheControl)
{
    flash->PutWMode("direct");
    flash->PutFlashVars("a=1&b=two");
    EXPECT_EQ(flash->PutMovie(L"C:\\games\\movie.swf"), S_OK);
    flash->CallFunction("<invoke name=\"ping\" returntype=\"xml\"><arguments></arguments></invoke>");
    flash->PutFlashVars("");
    EXPECT_EQ(script.take(),
              (CallLog{"put_WMode(direct)", "put_FlashVars(a=1&b=two)", "put_Movie(C:\\games\\movie.swf)",
                       "CallFunction(<invoke name=\"ping\" returntype=\"xml\"><arguments></arguments></invoke>)",
                       "put_FlashVars()"}));
}

TEST_F(FlashInterfaceTest, NarrowTextGoesThroughTheAnsiCodePage)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "the expected texts are those of code page 1252, not " << GetACP();
    // 0x80 is the euro sign in 1252; widening the byte would give U+0080 or U+FF80.
    flash->PutFlashVars("price=\x80\xe9");
    flash->CallFunction("\x93quoted\x94");
    EXPECT_EQ(script.take(), (CallLog{"put_FlashVars(price=\xE2\x82\xAC\xC3\xA9)",
                                      "CallFunction(\xE2\x80\x9Cquoted\xE2\x80\x9D)"}));
}

struct FailingWrapper {
    const char* method;
    std::function<void(IShockwaveFlash*)> call;
};

TEST_F(FlashInterfaceTest, FailuresRaiseComErrorsNamingTheInterface)
{
    const FailingWrapper wrappers[] = {
        {"put_WMode", [](IShockwaveFlash* f) { f->PutWMode("direct"); }},
        {"put_FlashVars", [](IShockwaveFlash* f) { f->PutFlashVars("a=1"); }},
        {"CallFunction", [](IShockwaveFlash* f) { f->CallFunction("<invoke/>"); }},
    };
    for (const FailingWrapper& w : wrappers) {
        SCOPED_TRACE(w.method);
        script.fail(w.method, E_ACCESSDENIED, 1);
        bool raised = false;
        try {
            w.call(flash);
        } catch (const _com_error& error) {
            raised = true;
            EXPECT_EQ(error.Error(), E_ACCESSDENIED);
            EXPECT_TRUE(IsEqualIID(error.GUID_(), IID_IShockwaveFlash));
        }
        EXPECT_TRUE(raised);
    }

    // The movie's result is the caller's to ignore.
    script.fail("put_Movie", E_ACCESSDENIED, 1);
    HRESULT hr = S_OK;
    EXPECT_NO_THROW(hr = flash->PutMovie(L"movie.swf"));
    EXPECT_EQ(hr, E_ACCESSDENIED);
}

// Counts the blocks of the COM allocator, which BSTRs come from once the
// BSTR cache is off (OANOCACHE, set for this test program).
class AllocationSpy : public IMallocSpy {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        *object = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IMallocSpy))
            return E_NOINTERFACE;
        *object = static_cast<IMallocSpy*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
    void* STDMETHODCALLTYPE PostAlloc(void* block) override
    {
        if (block) {
            ++allocations;
            ++live;
        }
        return block;
    }
    void* STDMETHODCALLTYPE PreFree(void* block, BOOL) override
    {
        if (block)
            --live;
        return block;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* block, SIZE_T size, void** newBlock, BOOL) override
    {
        *newBlock = block;
        return size;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* block, BOOL) override { return block; }
    void* STDMETHODCALLTYPE PreGetSize(void* block, BOOL) override { return block; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T size, BOOL) override { return size; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* block, BOOL) override { return block; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int allocated) override { return allocated; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

    long allocations = 0;
    long live = 0;
};

TEST_F(FlashInterfaceTest, WrappersFreeEveryStringTheyMake)
{
    ASSERT_NE(GetEnvironmentVariableW(L"OANOCACHE", nullptr, 0), 0u)
        << "without OANOCACHE freed BSTRs stay in the cache, out of the spy's sight";
    // Static: a revoke with blocks outstanding is put off, and the allocator
    // keeps calling the spy until they are freed.
    static AllocationSpy spy;
    ASSERT_EQ(CoRegisterMallocSpy(&spy), S_OK);

    const FailingWrapper calls[] = {
        {"put_WMode", [](IShockwaveFlash* f) { f->PutWMode("direct"); }},
        {"put_FlashVars", [](IShockwaveFlash* f) { f->PutFlashVars("a=1&b=2"); }},
        {"put_Movie", [](IShockwaveFlash* f) { f->PutMovie(L"movie.swf"); }},
        {"CallFunction", [](IShockwaveFlash* f) { f->CallFunction("<invoke/>"); }}, // and its response
    };
    for (bool failing : {false, true}) {
        for (const FailingWrapper& c : calls) {
            SCOPED_TRACE(std::string(c.method) + (failing ? " failing" : ""));
            if (failing)
                script.fail(c.method, E_FAIL, 1);
            const long before = spy.live;
            const long allocationsBefore = spy.allocations;
            try {
                c.call(flash);
            } catch (const _com_error&) {
            }
            EXPECT_GT(spy.allocations, allocationsBefore) << "no string went through the COM allocator";
            EXPECT_EQ(spy.live, before);
        }
    }
    EXPECT_EQ(CoRevokeMallocSpy(), S_OK);
}

// --- FlashNotify ---------------------------------------------------------

struct InvokeCase {
    const char* what;
    DISPID dispid;
    int arguments;  // -1: no parameter block
    VARTYPE type;
    bool nullArray; // a count without its array
    HRESULT expected;
};

TEST(FlashNotify, InvokeChecksOnlyTheExternalCall)
{
    const InvokeCase cases[] = {
        {"FlashCall with one text", DISPID_FLASH_FLASHCALL, 1, VT_BSTR, false, S_OK},
        {"FlashCall without arguments", DISPID_FLASH_FLASHCALL, 0, VT_BSTR, false, E_INVALIDARG},
        {"FlashCall with two texts", DISPID_FLASH_FLASHCALL, 2, VT_BSTR, false, E_INVALIDARG},
        {"FlashCall with a number", DISPID_FLASH_FLASHCALL, 1, VT_I4, false, E_INVALIDARG},
        {"FlashCall without a parameter block", DISPID_FLASH_FLASHCALL, -1, VT_EMPTY, false, E_POINTER},
        {"FlashCall with a count but no array", DISPID_FLASH_FLASHCALL, 1, VT_BSTR, true, E_POINTER},
        {"FSCommand with two texts", DISPID_FLASH_FSCOMMAND, 2, VT_BSTR, false, S_OK},
        {"FSCommand without a parameter block", DISPID_FLASH_FSCOMMAND, -1, VT_EMPTY, false, S_OK},
        {"ready state", DISPID_FLASH_READYSTATECHANGE, 1, VT_I4, false, S_OK},
    };
    FlashNotify sink;
    for (const InvokeCase& c : cases) {
        SCOPED_TRACE(c.what);
        VARIANT arguments[2];
        for (VARIANT& argument : arguments) {
            VariantInit(&argument);
            V_VT(&argument) = c.type;
            if (c.type == VT_BSTR)
                V_BSTR(&argument) = SysAllocString(L"<invoke name=\"x\"/>");
            else
                V_I4(&argument) = 3;
        }
        DISPPARAMS params = {c.nullArray ? nullptr : arguments, nullptr,
                             static_cast<UINT>(c.arguments < 0 ? 0 : c.arguments), 0};
        VARIANT result;
        VariantInit(&result);
        V_VT(&result) = VT_I4;
        V_I4(&result) = static_cast<LONG>(0xdeadbeef);
        EXCEPINFO exception;
        FillMemory(&exception, sizeof exception, 0xcd);
        UINT argErr = 0xdeadbeef;
        EXPECT_EQ(sink.Invoke(c.dispid, IID_NULL, 0, DISPATCH_METHOD, c.arguments < 0 ? nullptr : &params,
                              &result, &exception, &argErr),
                  c.expected);
        EXPECT_EQ(V_VT(&result), VT_I4);
        EXPECT_EQ(V_I4(&result), static_cast<LONG>(0xdeadbeef));
        EXPECT_EQ(argErr, 0xdeadbeefu);
        EXPECT_EQ(exception.scode, static_cast<SCODE>(0xcdcdcdcd));
        for (VARIANT& argument : arguments)
            VariantClear(&argument);
    }
    EXPECT_EQ(sink.refCount, 1);
}

TEST(FlashNotify, AnswersItsEventInterfaceAndCountsOnly)
{
    FlashNotify sink;
    for (const IID* iid : {&IID_IUnknown, &DIID__IShockwaveFlashEvents, &IID_IDispatch}) {
        void* object = nullptr;
        EXPECT_EQ(sink.QueryInterface(*iid, &object), S_OK);
        EXPECT_EQ(object, static_cast<_IShockwaveFlashEvents*>(&sink));
    }
    EXPECT_EQ(sink.refCount, 4);
    for (const IID* iid : {&IID_IShockwaveFlash, &IID_IOleObject}) {
        void* object = reinterpret_cast<void*>(0xdeadbeef);
        EXPECT_EQ(sink.QueryInterface(*iid, &object), E_NOINTERFACE);
        EXPECT_EQ(object, nullptr);
    }
    EXPECT_EQ(sink.refCount, 4);
    for (int i = 0; i < 3; ++i)
        sink.Release();
    EXPECT_EQ(sink.Release(), 0u) << "a count of 0 frees nothing";
    EXPECT_EQ(sink.AddRef(), 1u);

    UINT count = 7;
    EXPECT_EQ(sink.GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(sink.GetTypeInfoCount(nullptr), E_POINTER);
}

} // namespace
