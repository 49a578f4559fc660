// What scripts reach of the movie that runs them. The display layer
// implements it; the interpreter knows clips only as Objects of
// Kind::Display and asks the host for what timelines do.
//
// Frames are 0-based. A call on an object that is not a clip does nothing.
#pragma once

#include "swfcontrol/engine/script/Value.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace swf::script {

class Object;
class String;
class Vm;

enum UrlFlags : uint8_t {
    UrlMethodMask = 0x03, // 0 none, 1 GET, 2 POST: send the target's variables
    UrlLoadTarget = 0x40, // the target is a clip path (loadMovie), not a window
    UrlLoadVariables = 0x80,
};

// A URL a script asks for: XML.load and sendAndLoad, LoadVars.load,
// sendAndLoad and send, XML.send.
struct UrlRequest {
    std::u16string url; // as the script gave it, a GET's variables appended
    bool post = false;
    std::string body; // a POST's data, encoded as the movie's text is
    std::u16string contentType;
    std::vector<std::pair<std::u16string, std::u16string>> headers; // addRequestHeader's
    // A send's browser window for the answer (empty: the answer is
    // dropped); the script hears nothing back. Empty for a load.
    std::u16string window;
};

class Host {
public:
    virtual ~Host() = default;

    // One trace() line.
    virtual void trace(std::u16string_view line) = 0;
    // The movie's clock in milliseconds, for getTimer, intervals and Date.
    virtual double now() = 0;
    // The wall clock, as milliseconds since 1970 UTC, for `new Date()`.
    virtual double dateNow() = 0;
    // Local time's offset from UTC in minutes at a UTC time, for Date
    // (east of Greenwich is positive: +345 for Nepal).
    virtual double localOffsetMinutes(double utcMs) = 0;

    // What System.capabilities reports of the machine and the player.
    struct SystemInfo {
        double screenWidth = 1024, screenHeight = 768; // pixels
        double screenDpi = 72;
        const char* os = "Windows XP";
        const char* language = "en"; // ISO 639-1, or "zh-CN" / "zh-TW"
        const char* playerType = "ActiveX"; // or "StandAlone", "External", "PlugIn"
    };
    virtual SystemInfo systemInfo() { return SystemInfo(); }
    // System.security.sandboxType for code of the movie that `clip` (may be
    // null) belongs to: "remote", "localWithFile", "localWithNetwork" or
    // "localTrusted". A local movie whose FileAttributes ask for the
    // network is "localWithNetwork".
    virtual const char* sandboxType(Object* clip)
    {
        (void)clip;
        return "localWithFile";
    }

    // `_root` as code on `clip` sees it (its _lockroot), and `_levelN`.
    virtual Object* root(Object* clip) = 0;
    virtual Object* level(uint32_t n) = 0;

    virtual void play(Object* clip) = 0;
    virtual void stop(Object* clip) = 0;
    virtual void nextFrame(Object* clip) = 0;
    virtual void prevFrame(Object* clip) = 0;
    virtual void gotoFrame(Object* clip, uint32_t frame, bool play) = 0;
    // The frame of a label; -1 when the clip has none.
    virtual int64_t frameOfLabel(Object* clip, String* label) = 0;
    virtual uint32_t currentFrame(Object* clip) = 0; // 0-based
    virtual bool frameLoaded(Object* clip, uint32_t frame) = 0;
    // Call: runs a frame's actions now, on that clip.
    virtual void callFrame(Object* clip, uint32_t frame) = 0;

    virtual void cloneSprite(Object* clip, String* name, int32_t depth) = 0;
    virtual void removeSprite(Object* clip) = 0;
    // `rect` is left, top, right, bottom in the parent's coordinates, or null.
    virtual void startDrag(Object* clip, bool lockCenter, const double* rect) = 0;
    virtual void stopDrag() = 0;
    // GetURL and GetURL2 (getURL, loadMovie, loadVariables, FSCommand:);
    // `target` is a window name, a level ("_level1") or a clip.
    virtual void getUrl(Object* from, String* url, const Value& target, uint8_t flags) = 0;
    // The clip's path in slash or dot form, as TargetPath and `_target` give it.
    virtual String* targetPath(Object* clip, bool dots) = 0;
    virtual void toggleQuality() = 0;
    virtual void stopSounds() = 0;

    // Starts a request. A load's answer comes back, on a later tick and
    // never from inside this call, as Vm::fetchProgress (any number of
    // times) and then one Vm::fetchDone with this id. A send comes with id
    // 0 and has no answer. False when the host cannot make the request at
    // all; no answer follows then.
    virtual bool fetch(uint32_t id, const UrlRequest& request)
    {
        (void)id;
        (void)request;
        return false;
    }
};

} // namespace swf::script
