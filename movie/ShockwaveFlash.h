// The Shockwave Flash control as this program sees it: the automation interface
// in the control's published vtable order, its event interface, and the calls
// the player makes with COM-support error semantics.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <oaidl.h>

// {D27CDB6E-AE6D-11CF-96B8-444553540000}
inline constexpr CLSID CLSID_ShockwaveFlash =
    {0xd27cdb6e, 0xae6d, 0x11cf, {0x96, 0xb8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {D27CDB6C-AE6D-11CF-96B8-444553540000}
inline constexpr IID IID_IShockwaveFlash =
    {0xd27cdb6c, 0xae6d, 0x11cf, {0x96, 0xb8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {D27CDB6D-AE6D-11CF-96B8-444553540000}
inline constexpr IID DIID__IShockwaveFlashEvents =
    {0xd27cdb6d, 0xae6d, 0x11cf, {0x96, 0xb8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// Member ids of the events interface that this program and its stand-in control use.
enum FlashEventDispid : DISPID {
    DISPID_FLASH_READYSTATECHANGE = -609,
    DISPID_FLASH_PROGRESS = 1958,
    DISPID_FLASH_FSCOMMAND = 150,
    DISPID_FLASH_FLASHCALL = 197,
};

// Every slot exists so that calls land where the real control expects them;
// slot numbers count from QueryInterface at 0.
struct DECLSPEC_UUID("D27CDB6C-AE6D-11CF-96B8-444553540000") IShockwaveFlash : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_ReadyState(long* state) = 0;              // 7
    virtual HRESULT STDMETHODCALLTYPE get_TotalFrames(long* frames) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Playing(VARIANT_BOOL* playing) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Playing(VARIANT_BOOL playing) = 0;         // 10
    virtual HRESULT STDMETHODCALLTYPE get_Quality(int* quality) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Quality(int quality) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ScaleMode(int* mode) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ScaleMode(int mode) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AlignMode(int* mode) = 0;                  // 15
    virtual HRESULT STDMETHODCALLTYPE put_AlignMode(int mode) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BackgroundColor(long* color) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_BackgroundColor(long color) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Loop(VARIANT_BOOL* loop) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Loop(VARIANT_BOOL loop) = 0;               // 20
    virtual HRESULT STDMETHODCALLTYPE get_Movie(BSTR* movie) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Movie(BSTR movie) = 0;                     // 22
    virtual HRESULT STDMETHODCALLTYPE get_FrameNum(long* frame) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_FrameNum(long frame) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_SetZoomRect(long left, long top, long right, long bottom) = 0; // 25
    virtual HRESULT STDMETHODCALLTYPE raw_Zoom(int factor) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_Pan(long x, long y, int mode) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_Play() = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_Back() = 0;                                // 30
    virtual HRESULT STDMETHODCALLTYPE raw_Forward() = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_Rewind() = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_StopPlay() = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_GotoFrame(long frame) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_CurrentFrame(long* frame) = 0;             // 35
    virtual HRESULT STDMETHODCALLTYPE raw_IsPlaying(VARIANT_BOOL* playing) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_PercentLoaded(long* percent) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_FrameLoaded(long frame, VARIANT_BOOL* loaded) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_FlashVersion(long* version) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_WMode(BSTR* mode) = 0;                     // 40
    virtual HRESULT STDMETHODCALLTYPE put_WMode(BSTR mode) = 0;                      // 41
    virtual HRESULT STDMETHODCALLTYPE get_SAlign(BSTR* align) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_SAlign(BSTR align) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Menu(VARIANT_BOOL* menu) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Menu(VARIANT_BOOL menu) = 0;               // 45
    virtual HRESULT STDMETHODCALLTYPE get_Base(BSTR* base) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Base(BSTR base) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Scale(BSTR* scale) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Scale(BSTR scale) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DeviceFont(VARIANT_BOOL* deviceFont) = 0;  // 50
    virtual HRESULT STDMETHODCALLTYPE put_DeviceFont(VARIANT_BOOL deviceFont) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_EmbedMovie(VARIANT_BOOL* embed) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_EmbedMovie(VARIANT_BOOL embed) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BGColor(BSTR* color) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_BGColor(BSTR color) = 0;                   // 55
    virtual HRESULT STDMETHODCALLTYPE get_Quality2(BSTR* quality) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Quality2(BSTR quality) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_LoadMovie(int layer, BSTR url) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_TGotoFrame(BSTR target, long frame) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_TGotoLabel(BSTR target, BSTR label) = 0;   // 60
    virtual HRESULT STDMETHODCALLTYPE raw_TCurrentFrame(BSTR target, long* frame) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_TCurrentLabel(BSTR target, BSTR* label) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_TPlay(BSTR target) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_TStopPlay(BSTR target) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_SetVariable(BSTR name, BSTR value) = 0;    // 65
    virtual HRESULT STDMETHODCALLTYPE raw_GetVariable(BSTR name, BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_TSetProperty(BSTR target, int property, BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_TGetProperty(BSTR target, int property, BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_TCallFrame(BSTR target, int frame) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_TCallLabel(BSTR target, BSTR label) = 0;   // 70
    virtual HRESULT STDMETHODCALLTYPE raw_TSetPropertyNum(BSTR target, int property, double value) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_TGetPropertyNum(BSTR target, int property, double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_TGetPropertyAsNumber(BSTR target, int property, double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SWRemote(BSTR* remote) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_SWRemote(BSTR remote) = 0;                 // 75
    virtual HRESULT STDMETHODCALLTYPE get_FlashVars(BSTR* vars) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_FlashVars(BSTR vars) = 0;                  // 77
    virtual HRESULT STDMETHODCALLTYPE get_AllowScriptAccess(BSTR* access) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AllowScriptAccess(BSTR access) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_MovieData(BSTR* data) = 0;                 // 80
    virtual HRESULT STDMETHODCALLTYPE put_MovieData(BSTR data) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_InlineData(IUnknown** data) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_InlineData(IUnknown* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SeamlessTabbing(VARIANT_BOOL* seamless) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_SeamlessTabbing(VARIANT_BOOL seamless) = 0; // 85
    virtual HRESULT STDMETHODCALLTYPE raw_EnforceLocalSecurity() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Profile(VARIANT_BOOL* profile) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Profile(VARIANT_BOOL profile) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ProfileAddress(BSTR* address) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ProfileAddress(BSTR address) = 0;          // 90
    virtual HRESULT STDMETHODCALLTYPE get_ProfilePort(long* port) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ProfilePort(long port) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_CallFunction(BSTR request, BSTR* response) = 0; // 93
    virtual HRESULT STDMETHODCALLTYPE raw_SetReturnValue(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE raw_DisableLocalSecurity() = 0;                // 95
    virtual HRESULT STDMETHODCALLTYPE get_AllowNetworking(BSTR* networking) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AllowNetworking(BSTR networking) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AllowFullScreen(BSTR* fullScreen) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AllowFullScreen(BSTR fullScreen) = 0;      // 99

    // COM-support wrappers: each allocates its BSTR for the call and frees it
    // after; a failing HRESULT raises _com_error carrying it and this
    // interface's IID. Narrow texts are converted with the ANSI code page.
    void PutWMode(const char* mode);
    void PutFlashVars(const char* vars);
    HRESULT PutMovie(const wchar_t* movie);
    void CallFunction(const char* request); // the response is freed unread
};

// The control's outgoing events: a dispinterface, reached only through IDispatch::Invoke.
struct DECLSPEC_UUID("D27CDB6D-AE6D-11CF-96B8-444553540000") _IShockwaveFlashEvents : public IDispatch {
};
