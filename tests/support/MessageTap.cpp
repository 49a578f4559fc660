#include "support/MessageTap.h"

namespace {

MessageTap* activeTap = nullptr;

std::string signedNumber(LPARAM value)
{
    return std::to_string(static_cast<long long>(value));
}

} // namespace

std::string handleArgument(LPARAM value)
{
    return value ? "handle" : "null";
}

MessageTap::MessageTap(ControlScript& script) : script_(script)
{
    if (activeTap)
        return;
    hook_ = SetWindowsHookExW(WH_CALLWNDPROC, hook, nullptr, GetCurrentThreadId());
    if (hook_)
        activeTap = this;
}

MessageTap::~MessageTap()
{
    if (!hook_)
        return;
    UnhookWindowsHookEx(hook_);
    activeTap = nullptr;
}

void MessageTap::watch(UINT message, const std::string& name, Arguments arguments)
{
    watched_[message] = Watched{name, std::move(arguments)};
}

LRESULT CALLBACK MessageTap::hook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && activeTap) {
        const CWPSTRUCT& sent = *reinterpret_cast<const CWPSTRUCT*>(lParam);
        MessageTap& tap = *activeTap;
        if (tap.onMessage)
            tap.onMessage(sent);
        auto found = tap.watched_.find(sent.message);
        std::string window = tap.script_.windowName(sent.hwnd);
        if (found != tap.watched_.end() && window != "hwnd" && window != "null") {
            const Watched& watched = found->second;
            std::string arguments = watched.arguments
                                        ? watched.arguments(sent.wParam, sent.lParam)
                                        : signedNumber(static_cast<LPARAM>(sent.wParam)) + "," +
                                              signedNumber(sent.lParam);
            tap.script_.record(window + "." + watched.name + "(" + arguments + ")");
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
