#include "swfcontrol/FlashControl.h"

#include <cmath>
#include <cstring>

#include "movie/WindowsText.h"
#include "swfcontrol/FlashControlParts.h"

using namespace flash_control;

namespace {

// Faster movies are shown at this rate; their frames still follow the clock.
constexpr uint16_t fastestFrameRate = 120 << 8;
// A timer this many ticks late lets the movie fall behind instead of running
// the missed ticks in one burst; only the last of them is drawn anyway.
constexpr uint64_t mostTicksAtOnce = 30;

// SWF 6 and later keep strings in UTF-8; earlier ones in the author's code page.
std::wstring widenMovieText(const std::string& text, unsigned version)
{
    return widenText(text, version >= 6 ? CP_UTF8 : CP_ACP);
}

double secondsSince(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

} // namespace

// ---- The clock ----

void FlashControl::restartClock()
{
    QueryPerformanceCounter(&clockStart_);
    ticks_ = 0;
}

uint64_t FlashControl::ticksElapsed() const
{
    uint16_t rate = stage_.frameRate < fastestFrameRate ? stage_.frameRate : fastestFrameRate;
    return static_cast<uint64_t>(secondsSince(clockStart_) * rate / 256.0);
}

void FlashControl::startPlaying()
{
    AddRef(); // an event sink may release the control
    restartClock();
    afterTimelineChange(false);
    Release();
}

// One timer for the next tick, set anew at each tick: the frames keep pace
// with the clock, and a still movie costs nothing.
void FlashControl::scheduleFrameTimer()
{
    if (!stageWindow_)
        return;
    uint16_t rate = stage_.frameRate < fastestFrameRate ? stage_.frameRate : fastestFrameRate;
    if (stage_.status != StageStatus::Playing || !runtime_ || !runtime_->needsTicks() || rate == 0) {
        KillTimer(stageWindow_, frameTimer);
        return;
    }
    double fps = rate / 256.0;
    double seconds = secondsSince(clockStart_);
    double next = static_cast<double>(ticks_ + 1) / fps;
    double wait = next > seconds ? next - seconds : 0.0;
    UINT delay = static_cast<UINT>(std::ceil(wait * 1000.0));
    SetTimer(stageWindow_, frameTimer, delay ? delay : 1, nullptr);
}

void FlashControl::onFrameTimer()
{
    if (stage_.status != StageStatus::Playing || !stageWindow_ || !runtime_)
        return;
    AddRef(); // an event sink may release the control
    uint64_t elapsed = ticksElapsed();
    if (elapsed > ticks_ + mostTicksAtOnce)
        ticks_ = elapsed - mostTicksAtOnce;
    WPARAM generation = generation_;
    bool current = true;
    while (ticks_ < elapsed && runtime_ && runtime_->needsTicks()) {
        ++ticks_;
        runtime_->advance();
        // Each tick's requests before the next tick's, as the movie asked.
        if (!fireQueuedCommands()) {
            current = false;
            break;
        }
    }
    if (current && generation == generation_) {
        showCurrentFrame(false);
        scheduleFrameTimer();
    }
    Release();
}

bool FlashControl::afterTimelineChange(bool restart)
{
    showCurrentFrame(false);
    if (!fireQueuedCommands())
        return false;
    if (restart)
        restartClock();
    scheduleFrameTimer();
    return true;
}

// The caller holds a reference: a sink may release the control or load
// another movie.
bool FlashControl::fireQueuedCommands()
{
    WPARAM generation = generation_;
    while (!queuedCommands_.empty() && generation == generation_) {
        std::pair<std::string, std::string> command = queuedCommands_.front();
        queuedCommands_.erase(queuedCommands_.begin());
        events_.fireFsCommand(widenMovieText(command.first, stage_.version).c_str(),
                              widenMovieText(command.second, stage_.version).c_str());
    }
    return generation == generation_;
}

// ---- The picture of the current frame ----

// Draws the current frame and keeps it when it differs from the one shown.
bool FlashControl::captureFrame()
{
    if (!runtime_)
        return false;
    FramePicture picture = runtime_->render();
    if (!picture.pixels || picture.width <= 0 || picture.height <= 0) {
        bool had = !shown_.empty();
        shown_.clear();
        shownWidth_ = shownHeight_ = 0;
        return had;
    }
    size_t count = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
    if (picture.width == shownWidth_ && picture.height == shownHeight_ && shown_.size() == count &&
        std::memcmp(shown_.data(), picture.pixels, count * sizeof(uint32_t)) == 0)
        return false;
    shown_.assign(picture.pixels, picture.pixels + count);
    shownWidth_ = picture.width;
    shownHeight_ = picture.height;
    ++framesShown_;
    if (stageWindow_)
        SetPropW(stageWindow_, framesShownProperty, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(framesShown_)));
    return true;
}

void FlashControl::showCurrentFrame(bool wholeStage)
{
    if (!runtime_)
        return;
    uint32_t frame = runtime_->currentFrame();
    bool frameMoved = frame != stage_.frame;
    stage_.frame = frame;
    if (!stageWindow_)
        return;
    bool pictureChanged = captureFrame();
    // Once the stage has moved on the screen or within its top-level window,
    // the whole of it, as the real control draws every frame: a container
    // that moves us while it resizes may then erase its background over the
    // bits that were moved with us (a parent without WS_CLIPCHILDREN), or
    // copy stale bits there, without invalidating us.
    RECT onScreen;
    GetWindowRect(stageWindow_, &onScreen);
    POINT inTopLevel = {0, 0};
    MapWindowPoints(stageWindow_, GetAncestor(stageWindow_, GA_ROOT), &inTopLevel, 1);
    bool moved = onScreen.left != shownAt_.x || onScreen.top != shownAt_.y || inTopLevel.x != shownInTopLevel_.x ||
                 inTopLevel.y != shownInTopLevel_.y;
    shownAt_ = {onScreen.left, onScreen.top};
    shownInTopLevel_ = inTopLevel;
    if (wholeStage || moved || pictureChanged) {
        InvalidateRect(stageWindow_, nullptr, FALSE);
    } else if (frameMoved && shown_.empty()) {
        RECT client;
        GetClientRect(stageWindow_, &client);
        RECT indicator = frameIndicatorRect(client, stage_);
        InvalidateRect(stageWindow_, &indicator, FALSE);
    }
}

// ---- The mouse ----

void FlashControl::stageMouse(UINT message, LPARAM lParam)
{
    if (!runtime_ || !stageWindow_ || stage_.width <= 0 || stage_.height <= 0)
        return;
    RECT client;
    GetClientRect(stageWindow_, &client);
    RECT box = letterbox(client, stage_.width, stage_.height);
    LONG boxWidth = box.right - box.left, boxHeight = box.bottom - box.top;
    if (boxWidth <= 0 || boxHeight <= 0)
        return;
    // Signed: with the capture held, the mouse may be left of or above us.
    int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
    double stageX = static_cast<double>(x - box.left) * stage_.width / boxWidth;
    double stageY = static_cast<double>(y - box.top) * stage_.height / boxHeight;
    AddRef();
    runtime_->mouseMove(stageX, stageY);
    if (message == WM_LBUTTONDOWN) {
        SetCapture(stageWindow_);
        buttonDown_ = true;
        runtime_->mouseDown();
    } else if (message == WM_LBUTTONUP && buttonDown_) {
        buttonDown_ = false; // before ReleaseCapture, whose WM_CAPTURECHANGED must not release again
        if (GetCapture() == stageWindow_)
            ReleaseCapture();
        runtime_->mouseUp();
    }
    // WM_SETCURSOR came before the engine heard of this move, and a press or
    // release may have changed the buttons under a still mouse.
    POINT at = {x, y};
    if (stageWindow_ && PtInRect(&client, at))
        setStageCursor();
    afterTimelineChange(false);
    Release();
}

// The hand over a button, the arrow elsewhere, as the real control shows them.
void FlashControl::setStageCursor()
{
    bool hand = runtime_ && stage_.status == StageStatus::Playing && runtime_->overButton();
    SetCursor(LoadCursorW(nullptr, hand ? IDC_HAND : IDC_ARROW));
}

// Another window took the mouse while the button was down (a menu, a
// dialog): the movie hears the button go up where the mouse was.
void FlashControl::stageCaptureLost()
{
    if (!buttonDown_)
        return;
    buttonDown_ = false;
    if (!runtime_)
        return;
    AddRef();
    runtime_->mouseUp();
    afterTimelineChange(false);
    Release();
}
