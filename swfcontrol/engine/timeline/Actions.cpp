#include "swfcontrol/engine/timeline/Actions.h"

#include "swfcontrol/engine/format/BitReader.h"

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
    ActionSetTarget2 = 0x20,
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
    enum Kind { Unknown, String, Number, Bool } kind = Unknown;
    std::string text;
    double number = 0;
};

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
    explicit Interpreter(ActionHost& host) : host_(host) {}

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

    void gotoValue(const Value& v, bool play, uint16_t bias)
    {
        if (v.kind == Value::Number) {
            // GotoFrame2 counts frames from 1, as ActionScript does.
            if (v.number >= 1 && v.number < 4294967296.0)
                host_.gotoFrame(static_cast<uint32_t>(v.number) - 1u + bias, play);
            return;
        }
        if (v.kind != Value::String)
            return;
        std::string target = v.text;
        std::size_t colon = target.rfind(':');
        if (colon != std::string::npos)
            target = target.substr(colon + 1); // "path:frame" on this timeline
        char* end = nullptr;
        long frame = std::strtol(target.c_str(), &end, 10);
        if (!target.empty() && end && *end == 0) {
            if (frame >= 1)
                host_.gotoFrame(static_cast<uint32_t>(frame - 1) + bias, play);
        } else {
            host_.gotoLabel(target, play);
        }
    }

    void execute(uint8_t op, BitReader& r, long& jump)
    {
        // After SetTarget names another clip, its timeline actions are not ours.
        bool own = !retargeted_;
        switch (op) {
        case ActionNextFrame: if (own) host_.nextFrame(); break;
        case ActionPreviousFrame: if (own) host_.previousFrame(); break;
        case ActionPlay: if (own) host_.play(); break;
        case ActionStop: if (own) host_.stop(); break;
        case ActionPop: pop(); break;
        case ActionGotoFrame: {
            uint16_t frame = r.u16();
            if (own && !r.failed())
                host_.gotoFrame(frame, false);
            break;
        }
        case ActionGotoLabel: {
            std::string label = r.string();
            if (own && !r.failed())
                host_.gotoLabel(label, false);
            break;
        }
        case ActionGetUrl: {
            std::string url = r.string();
            std::string target = r.string();
            if (!r.failed())
                host_.getUrl(url, target);
            break;
        }
        case ActionGetUrl2: {
            Value target = pop();
            Value url = pop();
            if (url.kind == Value::String && target.kind != Value::Unknown)
                host_.getUrl(url.text, target.kind == Value::String ? target.text : std::string());
            break;
        }
        case ActionGotoFrame2: {
            uint8_t flags = r.u8();
            uint16_t bias = (flags & 0x02) ? r.u16() : 0;
            Value frame = pop();
            if (own && !r.failed())
                gotoValue(frame, (flags & 0x01) != 0, bias);
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
        case ActionSetTarget: retargeted_ = !r.string().empty(); break;
        case ActionSetTarget2: {
            Value v = pop();
            retargeted_ = !(v.kind == Value::String && v.text.empty());
            break;
        }
        default:
            stack_.clear();
            break;
        }
    }

    ActionHost& host_;
    std::vector<Value> stack_;
    std::vector<std::string> pool_;
    bool retargeted_ = false;
};

} // namespace

void runActions(const uint8_t* code, std::size_t size, ActionHost& host, std::size_t maxSteps)
{
    Interpreter(host).run(code, size, maxSteps);
}

} // namespace swf
