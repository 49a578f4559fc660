#include "swfcontrol/FlashControl.h"

#include "swfcontrol/FlashControlParts.h"
#include "swfcontrol/Module.h"
#include "swfcontrol/MovieLoader.h"
#include "swfcontrol/MovieLocation.h"

using namespace flash_control;

// ---- Loading ----

void FlashControl::setStatus(StageStatus status, const std::wstring& message)
{
    stage_.status = status;
    stage_.message = message;
    if (!stageWindow_)
        return;
    if (status != StageStatus::Playing)
        KillTimer(stageWindow_, frameTimer);
    SetWindowTextW(stageWindow_, stageSummary(stage_).c_str());
    InvalidateRect(stageWindow_, nullptr, FALSE);
}

void FlashControl::cancelLoad()
{
    if (job_) {
        job_->cancel();
        job_.reset();
    }
}

void FlashControl::dropMovie()
{
    runtime_.reset();
    buttonDown_ = false;
    queuedCommands_.clear();
    shown_.clear();
    shownWidth_ = shownHeight_ = 0;
}

void FlashControl::loadMovie(const std::wstring& text)
{
    cancelLoad();
    ++generation_;
    dropMovie();
    reportedPercent_ = -1;
    MovieLocation location = locateMovie(text);
    if (location.kind == MovieLocation::None) {
        // An empty movie unloads what played.
        setStatus(StageStatus::Empty, std::wstring());
        contentChanged();
        return;
    }
    stage_.percent = -1;
    setStatus(StageStatus::Loading, L"Loading " + location.target + L"\x2026");
    // Made by the first load: a control that never gets a movie needs none.
    if (!notifyWindow_)
        notifyWindow_ =
            CreateWindowExW(0, notifyClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, moduleInstance(), this);
    job_ = startLoad(location, notifyWindow_, loadMessage, generation_);
}

void FlashControl::onLoadEvents(WPARAM generation)
{
    if (!job_ || generation != generation_)
        return; // a report of a load that was replaced or cancelled
    AddRef(); // an event sink may release the control
    std::shared_ptr<LoadJob> job = job_;
    for (const LoadEvent& event : job->takeEvents()) {
        if (generation != generation_)
            break; // a sink started another load
        switch (event.kind) {
        case LoadEvent::Started:
            events_.fireReadyStateChange(0);
            break;
        case LoadEvent::Progress:
            stage_.percent = event.percent;
            if (stageWindow_)
                InvalidateRect(stageWindow_, nullptr, FALSE);
            reportedPercent_ = event.percent;
            events_.fireProgress(event.percent);
            break;
        case LoadEvent::Done:
            job_.reset();
            applyOutcome(*job);
            if (job->ok() && reportedPercent_ < 100) {
                reportedPercent_ = 100;
                events_.fireProgress(100);
            }
            if (generation != generation_)
                break;
            events_.fireReadyStateChange(4);
            if (generation == generation_ && job->ok())
                startPlaying();
            break;
        }
    }
    Release();
}

void FlashControl::applyOutcome(LoadJob& job)
{
    std::unique_ptr<MovieRuntime> runtime = job.takeRuntime();
    if (job.ok() && runtime) {
        const swf::Movie& movie = job.movie();
        stage_.width = movie.widthPixels();
        stage_.height = movie.heightPixels();
        stage_.background = RGB(movie.red, movie.green, movie.blue);
        stage_.version = movie.version;
        stage_.frameRate = movie.frameRate;
        stage_.frameCount = movie.frameCount();
        stage_.frame = 0;
        movieBackground_ = (uint32_t(movie.red) << 16) | (uint32_t(movie.green) << 8) | movie.blue;
        runtime->setFsCommandHandler([this](const std::string& command, const std::string& args) {
            queuedCommands_.emplace_back(command, args);
        });
        runtime->setLoop(loop_);
        if (!playOnLoad_)
            runtime->stop();
        runtime->start();
        runtime_ = std::move(runtime);
        applyBackground();
        setQuality(quality_);
        setStatus(StageStatus::Playing, std::wstring());
    } else {
        setStatus(StageStatus::Failed, job.ok() ? L"The movie could not be played." : job.reason());
    }
    contentChanged();
}

void FlashControl::applyBackground()
{
    if (!runtime_)
        return;
    runtime_->setBackground(backgroundOverride_ >= 0 ? static_cast<uint32_t>(backgroundOverride_) : movieBackground_);
    uint32_t rgb = runtime_->background();
    stage_.background = RGB((rgb >> 16) & 0xff, (rgb >> 8) & 0xff, rgb & 0xff);
}

void FlashControl::contentChanged()
{
    if (viewSink_ && (viewAspects_ & DVASPECT_CONTENT)) {
        IAdviseSink* sink = viewSink_;
        if (viewFlags_ & ADVF_ONLYONCE)
            viewSink_ = nullptr;
        else
            sink->AddRef();
        sink->OnViewChange(DVASPECT_CONTENT, -1);
        sink->Release();
    }
    if (dataAdvise_)
        dataAdvise_->SendOnDataChange(static_cast<IDataObject*>(this), 0, 0);
}
