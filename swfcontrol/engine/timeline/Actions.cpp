#include "swfcontrol/engine/timeline/Actions.h"

#include "swfcontrol/engine/format/BitReader.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace swf {

namespace {

enum ActionCode : uint8_t {
    ActionNextFrame = 0x04,
    ActionPreviousFrame = 0x05,
    ActionPlay = 0x06,
    ActionStop = 0x07,
    ActionPop = 0x17,
    ActionGetVariable = 0x1c,
    ActionSetTarget2 = 0x20,
    ActionTrace = 0x26,
    ActionCallMethod = 0x52,
    ActionGetMember = 0x4e,
    ActionGotoFrame = 0x81,
    ActionGetUrl = 0x83,
    ActionConstantPool = 0x88,
    ActionWaitForFrame = 0x8a,
    ActionSetTarget = 0x8b,
    ActionGotoLabel = 0x8c,
    ActionWaitForFrame2 = 0x8d,
    ActionPush = 0x96,
    ActionJump = 0x99,
    ActionGetUrl2 = 0x9a,
    ActionIf = 0x9d,
    ActionGotoFrame2 = 0x9f,
};

// Only constants are known; anything an unsupported action leaves on the
// stack is unknown, so a later GetURL2 or GotoFrame2 does nothing with it.
struct Value {
    enum Kind { Unknown, String, Number, Bool, Clip } kind = Unknown;
    std::string text;
    double number = 0;
    std::shared_ptr<ActionHost> clip;
};

bool sameNoCase(const std::string& a, const char* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && b[i] == 0;
}

bool truthy(const Value& v)
{
    switch (v.kind) {
    case Value::Number: return v.number != 0 && !std::isnan(v.number);
    case Value::Bool: return v.number != 0;
    case Value::String: return !v.text.empty(); // SWF 7 and later; good enough for constants
    default: return false;
    }
}

class Interpreter {
public:
    explicit Interpreter(ActionHost& host) : base_(host), target_(&host) {}

    void run(const uint8_t* code, std::size_t size, std::size_t maxSteps)
    {
        std::size_t pos = 0;
        for (std::size_t step = 0; step < maxSteps && pos < size; ++step) {
            uint8_t op = code[pos++];
            if (op == 0)
                return;
            std::size_t length = 0;
            if (op >= 0x80) {
                if (size - pos < 2)
                    return;
                length = code[pos] | (code[pos + 1] << 8);
                pos += 2;
                if (length > size - pos)
                    return;
            }
            BitReader r(code + pos, length);
            pos += length;
            long jump = 0;
            execute(op, r, jump);
            if (jump != 0) {
                long target = static_cast<long>(pos) + jump;
                if (target < 0 || static_cast<std::size_t>(target) > size)
                    return;
                pos = static_cast<std::size_t>(target);
            }
        }
    }

private:
    Value pop()
    {
        if (stack_.empty())
            return Value();
        Value v = stack_.back();
        stack_.pop_back();
        return v;
    }

    void push(Value v)
    {
        if (stack_.size() < 4096)
            stack_.push_back(std::move(v));
    }

    void readPush(BitReader& r)
    {
        while (!r.atEnd() && !r.failed()) {
            Value v;
            switch (r.u8()) {
            case 0: v.kind = Value::String; v.text = r.string(); break;
            case 1: {
                uint32_t bits = r.u32();
                float f;
                std::memcpy(&f, &bits, sizeof f);
                v.kind = Value::Number;
                v.number = f;
                break;
            }
            case 2: case 3: break;
            case 4: r.u8(); break;
            case 5: v.kind = Value::Bool; v.number = r.u8() ? 1 : 0; break;
            case 6: {
                // Two little-endian words, the high one first.
                uint64_t hi = r.u32();
                uint64_t lo = r.u32();
                uint64_t bits = (hi << 32) | lo;
                double d;
                std::memcpy(&d, &bits, sizeof d);
                v.kind = Value::Number;
                v.number = d;
                break;
            }
            case 7: v.kind = Value::Number; v.number = static_cast<int32_t>(r.u32()); break;
            case 8: constant(r.u8(), v); break;
            case 9: constant(r.u16(), v); break;
            default: r.fail(); break;
            }
            if (r.failed())
                return;
            push(v);
        }
    }

    void constant(std::size_t index, Value& v)
    {
        if (index < pool_.size()) {
            v.kind = Value::String;
            v.text = pool_[index];
        }
    }

    void gotoValue(ActionHost& host, const Value& v, bool play, uint16_t bias)
    {
        if (v.kind == Value::Number) {
            // GotoFrame2 counts frames from 1, as ActionScript does.
            if (v.number >= 1 && v.number < 4294967296.0)
                host.gotoFrame(static_cast<uint32_t>(v.number) - 1u + bias, play);
            return;
        }
        if (v.kind != Value::String)
            return;
        std::string target = v.text;
        std::size_t colon = target.rfind(':');
        std::shared_ptr<ActionHost> other;
        ActionHost* on = &host;
        if (colon != std::string::npos) {
            // "path:frame" names the frame of another clip.
            if (colon > 0 && !(other = host.find(target.substr(0, colon))))
                return;
            if (other)
                on = other.get();
            target = target.substr(colon + 1);
        }
        char* end = nullptr;
        long frame = std::strtol(target.c_str(), &end, 10);
        if (!target.empty() && end && *end == 0) {
            if (frame >= 1)
                on->gotoFrame(static_cast<uint32_t>(frame - 1) + bias, play);
        } else {
            on->gotoLabel(target, play);
        }
    }

    // mc.method(args) for the timeline methods of a clip.
    void callMethod(ActionHost& clip, const std::string& method, const std::vector<Value>& args)
    {
        if (sameNoCase(method, "play"))
            clip.play();
        else if (sameNoCase(method, "stop"))
            clip.stop();
        else if (sameNoCase(method, "nextFrame"))
            clip.nextFrame();
        else if (sameNoCase(method, "prevFrame"))
            clip.previousFrame();
        else if (sameNoCase(method, "gotoAndPlay") && !args.empty())
            gotoValue(clip, args[0], true, 0);
        else if (sameNoCase(method, "gotoAndStop") && !args.empty())
            gotoValue(clip, args[0], false, 0);
    }

    void execute(uint8_t op, BitReader& r, long& jump)
    {
        // After SetTarget, timeline actions go to the clip it named, or
        // nowhere when it named none.
        ActionHost* host = target_;
        switch (op) {
        case ActionNextFrame: if (host) host->nextFrame(); break;
        case ActionPreviousFrame: if (host) host->previousFrame(); break;
        case ActionPlay: if (host) host->play(); break;
        case ActionStop: if (host) host->stop(); break;
        case ActionPop: pop(); break;
        case ActionTrace: pop(); break;
        case ActionGetVariable: {
            Value name = pop();
            Value v;
            if (name.kind == Value::String && (v.clip = base_.find(name.text)))
                v.kind = Value::Clip;
            push(v);
            break;
        }
        case ActionGetMember: {
            Value name = pop();
            Value object = pop();
            Value v;
            if (object.kind == Value::Clip && name.kind == Value::String && (v.clip = object.clip->find(name.text)))
                v.kind = Value::Clip;
            push(v);
            break;
        }
        case ActionCallMethod: {
            Value method = pop();
            Value object = pop();
            Value count = pop();
            std::vector<Value> args;
            if (count.kind == Value::Number && count.number > 0 && count.number <= 64)
                for (int i = 0; i < static_cast<int>(count.number); ++i)
                    args.push_back(pop());
            if (object.kind == Value::Clip && method.kind == Value::String)
                callMethod(*object.clip, method.text, args);
            push(Value()); // the method's result
            break;
        }
        case ActionGotoFrame: {
            uint16_t frame = r.u16();
            if (host && !r.failed())
                host->gotoFrame(frame, false);
            break;
        }
        case ActionGotoLabel: {
            std::string label = r.string();
            if (host && !r.failed())
                host->gotoLabel(label, false);
            break;
        }
        case ActionGetUrl: {
            std::string url = r.string();
            std::string target = r.string();
            if (!r.failed())
                base_.getUrl(url, target);
            break;
        }
        case ActionGetUrl2: {
            Value target = pop();
            Value url = pop();
            if (url.kind == Value::String && target.kind != Value::Unknown)
                base_.getUrl(url.text, target.kind == Value::String ? target.text : std::string());
            break;
        }
        case ActionGotoFrame2: {
            uint8_t flags = r.u8();
            uint16_t bias = (flags & 0x02) ? r.u16() : 0;
            Value frame = pop();
            if (host && !r.failed())
                gotoValue(*host, frame, (flags & 0x01) != 0, bias);
            break;
        }
        case ActionPush: readPush(r); break;
        case ActionConstantPool: {
            pool_.clear();
            uint16_t count = r.u16();
            for (uint16_t i = 0; i < count && !r.failed(); ++i)
                pool_.push_back(r.string());
            break;
        }
        case ActionJump: {
            jump = r.s16();
            if (r.failed())
                jump = 0;
            break;
        }
        case ActionIf: {
            int16_t offset = r.s16();
            if (truthy(pop()) && !r.failed())
                jump = offset;
            break;
        }
        case ActionWaitForFrame: break;  // every frame is loaded
        case ActionWaitForFrame2: pop(); break;
        case ActionSetTarget: setTarget(r.string()); break;
        case ActionSetTarget2: {
            Value v = pop();
            if (v.kind == Value::Clip) {
                held_ = v.clip;
                target_ = held_.get();
            } else {
                setTarget(v.kind == Value::String ? v.text : std::string("\x01"));
            }
            break;
        }
        default:
            stack_.clear();
            break;
        }
    }

    void setTarget(const std::string& path)
    {
        if (path.empty()) {
            held_.reset();
            target_ = &base_;
            return;
        }
        held_ = base_.find(path);
        target_ = held_.get();
    }

    ActionHost& base_;
    ActionHost* target_;                // null: SetTarget named no clip
    std::shared_ptr<ActionHost> held_;  // keeps a found target alive
    std::vector<Value> stack_;
    std::vector<std::string> pool_;
};

} // namespace

void runActions(const uint8_t* code, std::size_t size, ActionHost& host, std::size_t maxSteps)
{
    Interpreter(host).run(code, size, maxSteps);
}

} // namespace swf
