// Reads a movie on a worker thread, so that neither a slow server nor a large
// file ever blocks the window that shows it. The worker reports to the UI
// thread by posting a message to a window of the control; the UI thread then
// takes the job's events in order.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "swfcontrol/MovieLocation.h"
#include "swfcontrol/MovieRuntime.h"
#include "swfcontrol/SwfReader.h"

struct LoadEvent {
    enum Kind { Started, Progress, Done };
    Kind kind;
    int percent = 0; // for Progress: 0..100
};

class LoadJob {
public:
    LoadJob(const MovieLocation& location, HWND window, UINT message, WPARAM generation);
    LoadJob(const LoadJob&) = delete;
    LoadJob& operator=(const LoadJob&) = delete;

    const MovieLocation& location() const { return location_; }

    // After cancel the job posts nothing more; the worker stops at its next check.
    void cancel() { cancelled_ = true; }
    bool cancelled() const { return cancelled_; }

    std::vector<LoadEvent> takeEvents();

    // The outcome, complete once a Done event has been taken.
    bool ok() const { return ok_; }
    const std::wstring& reason() const { return reason_; }
    const swf::Movie& movie() const { return movie_; }
    // What plays the movie, made on the worker thread; once, after Done.
    std::unique_ptr<MovieRuntime> takeRuntime();

    // Worker side.
    void post(LoadEvent event);
    void finish(bool ok, const std::wstring& reason, const swf::Movie& movie,
                std::unique_ptr<MovieRuntime> runtime = nullptr);
    void run();

private:
    MovieLocation location_;
    HWND window_;
    UINT message_;
    WPARAM generation_;
    std::atomic<bool> cancelled_{false};
    std::mutex mutex_;
    std::vector<LoadEvent> events_;
    bool ok_ = false;
    std::wstring reason_;
    swf::Movie movie_;
    std::unique_ptr<MovieRuntime> runtime_;
};

// Starts the job: Started, any Progress, then Done arrive as `message` posted
// to `window` with wParam = generation. A refused location finishes at once,
// without a thread, but its events are posted all the same.
std::shared_ptr<LoadJob> startLoad(const MovieLocation& location, HWND window, UINT message, WPARAM generation);
