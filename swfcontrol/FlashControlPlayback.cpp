#include "swfcontrol/FlashControl.h"

#include <string>

#include "swfcontrol/CallLog.h"

// The IShockwaveFlash members that act on the root timeline and the look of
// the movie. Without a movie they change what the next one starts with where
// that makes sense (Loop, Playing, Quality, BackgroundColor) and otherwise do
// nothing; frame numbers count from 0, as in the real control.

namespace {

struct QualityName {
    const wchar_t* name;
    int number; // what get_Quality answers
    RenderQuality quality;
};

// Medium and best draw as high: there are only two ways of drawing.
const QualityName qualities[] = {
    {L"low", 0, RenderQuality::Low},      {L"high", 1, RenderQuality::High},
    {L"autolow", 2, RenderQuality::Low},  {L"autohigh", 3, RenderQuality::High},
    {L"medium", 1, RenderQuality::High},  {L"best", 1, RenderQuality::High},
};

const QualityName* findQuality(const std::wstring& name)
{
    for (const QualityName& quality : qualities) {
        if (CompareStringOrdinal(quality.name, -1, name.c_str(), -1, TRUE) == CSTR_EQUAL)
            return &quality;
    }
    return nullptr;
}

// The root timeline is the only one reachable from outside.
bool isRootTarget(BSTR target)
{
    std::wstring text = target ? target : L"";
    return text.empty() || text == L"/" || CompareStringOrdinal(text.c_str(), -1, L"_level0", -1, TRUE) == CSTR_EQUAL;
}

std::wstring numberText(long value) { return std::to_wstring(value); }

} // namespace

long FlashControl::currentFrameNumber() const
{
    return runtime_ ? static_cast<long>(runtime_->currentFrame()) : 0;
}

STDMETHODIMP FlashControl::get_TotalFrames(long* frames)
{
    logCall(L"get_TotalFrames");
    if (!frames)
        return E_POINTER;
    *frames = runtime_ ? static_cast<long>(runtime_->totalFrames()) : 0;
    return S_OK;
}

STDMETHODIMP FlashControl::raw_CurrentFrame(long* frame)
{
    logCall(L"CurrentFrame");
    if (!frame)
        return E_POINTER;
    *frame = currentFrameNumber();
    return S_OK;
}

STDMETHODIMP FlashControl::get_FrameNum(long* frame)
{
    logCall(L"get_FrameNum");
    if (!frame)
        return E_POINTER;
    *frame = currentFrameNumber();
    return S_OK;
}

STDMETHODIMP FlashControl::raw_TCurrentFrame(BSTR target, long* frame)
{
    logCall(L"TCurrentFrame", target);
    if (!frame)
        return E_POINTER;
    *frame = 0;
    if (!isRootTarget(target))
        return E_INVALIDARG;
    *frame = currentFrameNumber();
    return S_OK;
}

STDMETHODIMP FlashControl::raw_IsPlaying(VARIANT_BOOL* playing)
{
    logCall(L"IsPlaying");
    if (!playing)
        return E_POINTER;
    *playing = runtime_ && runtime_->isPlaying() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP FlashControl::get_Playing(VARIANT_BOOL* playing)
{
    logCall(L"get_Playing");
    if (!playing)
        return E_POINTER;
    bool now = runtime_ ? runtime_->isPlaying() : playOnLoad_;
    *playing = now ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT FlashControl::setPlaying(bool playing)
{
    playOnLoad_ = playing;
    if (!runtime_)
        return S_OK;
    AddRef();
    if (playing)
        runtime_->play();
    else
        runtime_->stop();
    afterTimelineChange(true);
    Release();
    return S_OK;
}

HRESULT FlashControl::gotoFrame(long frame)
{
    if (frame < 0)
        return E_INVALIDARG;
    if (!runtime_)
        return S_OK;
    AddRef();
    runtime_->gotoFrame(static_cast<uint32_t>(frame));
    afterTimelineChange(true);
    Release();
    return S_OK;
}

STDMETHODIMP FlashControl::put_Playing(VARIANT_BOOL playing)
{
    logCall(L"put_Playing", playing ? L"true" : L"false");
    return setPlaying(playing != VARIANT_FALSE);
}

STDMETHODIMP FlashControl::raw_Play()
{
    logCall(L"Play");
    return setPlaying(true);
}

STDMETHODIMP FlashControl::raw_StopPlay()
{
    logCall(L"StopPlay");
    return setPlaying(false);
}

STDMETHODIMP FlashControl::raw_GotoFrame(long frame)
{
    logCall(L"GotoFrame", numberText(frame).c_str());
    return gotoFrame(frame);
}

STDMETHODIMP FlashControl::put_FrameNum(long frame)
{
    logCall(L"put_FrameNum", numberText(frame).c_str());
    return gotoFrame(frame);
}

STDMETHODIMP FlashControl::raw_TGotoFrame(BSTR target, long frame)
{
    logCall(L"TGotoFrame", (std::wstring(target ? target : L"") + L" " + numberText(frame)).c_str());
    if (!isRootTarget(target))
        return E_INVALIDARG;
    return gotoFrame(frame);
}

// Rewind, Forward and Back: a step of the root timeline that leaves it stopped.
HRESULT FlashControl::stepTimeline(const wchar_t* method, void (MovieRuntime::*step)())
{
    logCall(method);
    if (!runtime_)
        return S_OK;
    // An event handler run by the change may release the control.
    AddRef();
    (runtime_.get()->*step)();
    afterTimelineChange(true);
    Release();
    return S_OK;
}

STDMETHODIMP FlashControl::raw_Rewind() { return stepTimeline(L"Rewind", &MovieRuntime::rewind); }

STDMETHODIMP FlashControl::raw_Forward() { return stepTimeline(L"Forward", &MovieRuntime::forward); }

STDMETHODIMP FlashControl::raw_Back() { return stepTimeline(L"Back", &MovieRuntime::back); }

STDMETHODIMP FlashControl::get_Loop(VARIANT_BOOL* loop)
{
    logCall(L"get_Loop");
    if (!loop)
        return E_POINTER;
    *loop = loop_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP FlashControl::put_Loop(VARIANT_BOOL loop)
{
    logCall(L"put_Loop", loop ? L"true" : L"false");
    loop_ = loop != VARIANT_FALSE;
    if (runtime_) {
        runtime_->setLoop(loop_);
        scheduleFrameTimer();
    }
    return S_OK;
}

STDMETHODIMP FlashControl::get_Quality(int* quality)
{
    logCall(L"get_Quality");
    if (!quality)
        return E_POINTER;
    const QualityName* found = findQuality(quality_);
    *quality = found ? found->number : 1;
    return S_OK;
}

// 0 low, 1 high, 2 autolow, 3 autohigh.
STDMETHODIMP FlashControl::put_Quality(int quality)
{
    logCall(L"put_Quality", numberText(quality).c_str());
    if (quality < 0 || quality > 3)
        return E_INVALIDARG;
    return setQuality(qualities[quality].name);
}

STDMETHODIMP FlashControl::get_Quality2(BSTR* quality)
{
    logCall(L"get_Quality2");
    if (!quality)
        return E_POINTER;
    *quality = SysAllocString(quality_.c_str());
    return *quality ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP FlashControl::put_Quality2(BSTR quality)
{
    logCall(L"put_Quality2", quality);
    return setQuality(quality ? quality : L"");
}

HRESULT FlashControl::setQuality(const std::wstring& name)
{
    const QualityName* found = findQuality(name);
    if (!found)
        return E_INVALIDARG;
    quality_ = found->name;
    if (runtime_) {
        AddRef();
        runtime_->setQuality(found->quality);
        showCurrentFrame(false);
        Release();
    }
    return S_OK;
}

STDMETHODIMP FlashControl::get_BackgroundColor(long* color)
{
    logCall(L"get_BackgroundColor");
    if (!color)
        return E_POINTER;
    *color = runtime_ ? static_cast<long>(runtime_->background()) : backgroundOverride_;
    return S_OK;
}

// 0xRRGGBB, as the real control takes it; -1 gives the movie its own colour back.
STDMETHODIMP FlashControl::put_BackgroundColor(long color)
{
    logCall(L"put_BackgroundColor", numberText(color).c_str());
    if (color < -1 || color > 0xffffff)
        return E_INVALIDARG;
    backgroundOverride_ = color;
    if (!runtime_)
        return S_OK;
    AddRef();
    applyBackground();
    showCurrentFrame(true);
    Release();
    return S_OK;
}
