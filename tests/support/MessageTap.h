// Writes chosen messages that windows of this thread are sent into a
// ControlScript's log, in order with the control's calls, as
//   "<window>.<MESSAGE>(<wParam>,<lParam>)"        e.g. "ax.AXM_ACTIVATE(1,0)"
// with the window named as ControlScript::nameWindow names it; messages to
// unnamed windows are left out. Sent messages only (a WH_CALLWNDPROC hook):
// the entry is written before the window procedure runs. One tap at a time.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>

#include "support/RecordingControl.h"

class MessageTap {
public:
    using Arguments = std::function<std::string(WPARAM, LPARAM)>;

    explicit MessageTap(ControlScript& script);
    ~MessageTap();
    MessageTap(const MessageTap&) = delete;
    MessageTap& operator=(const MessageTap&) = delete;

    bool installed() const { return hook_ != nullptr; }

    // Both parameters as signed decimal numbers unless `arguments` says otherwise.
    void watch(UINT message, const std::string& name, Arguments arguments = Arguments());

    // Runs for every message sent on this thread, before it is logged: a test
    // can name windows here, or look at the state a message finds.
    std::function<void(const CWPSTRUCT&)> onMessage;

private:
    static LRESULT CALLBACK hook(int code, WPARAM wParam, LPARAM lParam);

    struct Watched {
        std::string name;
        Arguments arguments;
    };
    ControlScript& script_;
    std::map<UINT, Watched> watched_;
    HHOOK hook_ = nullptr;
};

// Formats for MessageTap::watch.
std::string handleArgument(LPARAM value); // "handle" or "null"
