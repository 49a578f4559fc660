#include "swfcontrol/engine/script/Code.h"

#include "swfcontrol/engine/script/Convert.h"
#include "swfcontrol/engine/script/String.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace swf::script {

namespace {

constexpr uint32_t kNoTarget = 0xFFFFFFFFu;

// Reads one record's payload; reads past it give zeros and set `bad`.
class Payload {
public:
    Payload(const uint8_t* p, std::size_t n) : p_(p), n_(n) {}
    uint8_t u8()
    {
        if (i_ >= n_) {
            bad = true;
            return 0;
        }
        return p_[i_++];
    }
    uint16_t u16()
    {
        uint16_t lo = u8();
        return static_cast<uint16_t>(lo | (u8() << 8));
    }
    uint32_t u32()
    {
        uint32_t lo = u16();
        return lo | (static_cast<uint32_t>(u16()) << 16);
    }
    std::string_view cstring()
    {
        std::size_t start = i_;
        while (i_ < n_ && p_[i_])
            ++i_;
        std::string_view s(reinterpret_cast<const char*>(p_ + start), i_ - start);
        if (i_ < n_)
            ++i_;
        else
            bad = bad || start == n_; // an unterminated last string still counts
        return s;
    }
    bool atEnd() const { return i_ >= n_; }
    bool bad = false;

private:
    const uint8_t* p_;
    std::size_t n_;
    std::size_t i_ = 0;
};

} // namespace

class Decoder {
public:
    Decoder(Heap& heap, CodeBlock& block, StringTable& names, const uint8_t* data, std::size_t size)
        : heap_(heap), b_(block), names_(names), data_(data), size_(size)
    {
    }

    void run()
    {
        runs_.push_back(decodeRun(0));
        // Jumps into the middle of a record start runs of their own.
        for (std::size_t i = 0; i < pendingTargets_.size(); ++i) {
            uint32_t target = pendingTargets_[i];
            if (target < size_ && !atBoundary(target) && b_.code_.size() < size_ + 16)
                runs_.push_back(decodeRun(target));
        }
        resolve();
    }

private:
    struct Run {
        uint32_t begin, end; // operation indices; the last is End or a join
    };
    struct Fixup {
        uint32_t instr;
        uint32_t targetOffset;
        enum What : uint8_t { JumpA, FunctionEnd, WithEnd, TryRanges } what;
        uint32_t extra[3];
    };

    String* string(std::string_view bytes) { return names_.intern(decodeMovieText(bytes, b_.version_)); }

    uint32_t addString(std::string_view bytes)
    {
        b_.strings_.push_back(string(bytes));
        return static_cast<uint32_t>(b_.strings_.size() - 1);
    }

    bool atBoundary(uint32_t offset) const { return boundary_.count(offset) != 0; }

    Run decodeRun(uint32_t start)
    {
        Run run;
        run.begin = static_cast<uint32_t>(b_.code_.size());
        std::size_t pos = start;
        while (pos < size_) {
            auto known = boundary_.find(static_cast<uint32_t>(pos));
            if (known != boundary_.end()) {
                Instr join;
                join.action = OpJoin;
                join.a = known->second;
                join.offset = static_cast<uint32_t>(pos);
                b_.code_.push_back(join);
                run.end = static_cast<uint32_t>(b_.code_.size());
                return run;
            }
            uint8_t action = data_[pos];
            std::size_t length = 0, header = 1;
            if (action >= 0x80) {
                if (pos + 3 > size_)
                    break;
                length = data_[pos + 1] | (data_[pos + 2] << 8);
                header = 3;
                if (pos + 3 + length > size_)
                    break; // a record past the end ends the block
            }
            Instr ins;
            ins.action = action;
            ins.offset = static_cast<uint32_t>(pos);
            boundary_[static_cast<uint32_t>(pos)] = static_cast<uint32_t>(b_.code_.size());
            std::size_t next = pos + header + length;
            Payload p(data_ + pos + header, length);
            decodeOne(ins, p, static_cast<uint32_t>(next));
            b_.code_.push_back(ins);
            if (action == ActEnd)
                break;
            pos = next;
        }
        Instr end;
        end.action = ActEnd;
        end.offset = static_cast<uint32_t>(std::min(pos, size_));
        if (b_.code_.empty() || b_.code_.back().action != ActEnd || run.begin == b_.code_.size())
            b_.code_.push_back(end);
        run.end = static_cast<uint32_t>(b_.code_.size());
        endIndex_ = endIndex_ == kNoTarget ? run.end - 1 : endIndex_;
        return run;
    }

    // Actions this player does not know stay, to be stepped over.
    void decodeOne(Instr& ins, Payload& p, uint32_t next)
    {
        uint32_t index = static_cast<uint32_t>(b_.code_.size());
        switch (ins.action) {
        case ActGotoFrame:
            ins.a = p.u16();
            return;
        case ActGetUrl:
            ins.a = addString(p.cstring());
            ins.b = addString(p.cstring());
            return;
        case ActStoreRegister:
            ins.a = p.u8();
            return;
        case ActConstantPool: {
            ConstantPool* pool = heap_.make<ConstantPool>();
            b_.pools_.push_back(pool);
            uint16_t count = p.u16();
            for (uint16_t i = 0; i < count && !p.atEnd(); ++i)
                pool->strings.push_back(string(p.cstring()));
            ins.a = static_cast<uint32_t>(b_.pools_.size() - 1);
            return;
        }
        case ActWaitForFrame:
            ins.a = p.u16();
            ins.n = p.u8();
            skips_.push_back(index);
            return;
        case ActWaitForFrame2:
            ins.n = p.u8();
            skips_.push_back(index);
            return;
        case ActSetTarget:
        case ActGotoLabel:
            ins.a = addString(p.cstring());
            return;
        case ActGetUrl2:
            ins.a = p.u8();
            return;
        case ActGotoFrame2:
            ins.a = p.u8();
            if (ins.a & 0x02)
                ins.b = p.u16();
            return;
        case ActJump:
        case ActIf: {
            int16_t offset = static_cast<int16_t>(p.u16());
            int64_t target = static_cast<int64_t>(next) + offset;
            uint32_t t = target < 0 || target >= static_cast<int64_t>(size_) ? kNoTarget : static_cast<uint32_t>(target);
            fixups_.push_back({index, t, Fixup::JumpA, {0, 0, 0}});
            if (t != kNoTarget)
                pendingTargets_.push_back(t);
            return;
        }
        case ActWith: {
            uint16_t size = p.u16();
            fixups_.push_back({index, next + size, Fixup::WithEnd, {0, 0, 0}});
            return;
        }
        case ActDefineFunction:
        case ActDefineFunction2: {
            FunctionInfo f;
            f.v2 = ins.action == ActDefineFunction2;
            f.name = string(p.cstring());
            uint16_t count = p.u16();
            if (f.v2) {
                f.registerCount = p.u8();
                f.flags = p.u16();
            }
            for (uint16_t i = 0; i < count && !p.bad; ++i) {
                uint8_t reg = f.v2 ? p.u8() : 0;
                f.params.push_back(string(p.cstring()));
                f.paramRegisters.push_back(reg);
            }
            uint16_t codeSize = p.u16();
            b_.functions_.push_back(std::move(f));
            ins.a = static_cast<uint32_t>(b_.functions_.size() - 1);
            fixups_.push_back({index, next + codeSize, Fixup::FunctionEnd, {next, 0, 0}});
            return;
        }
        case ActTry: {
            TryInfo t;
            uint8_t flags = p.u8();
            t.hasCatch = flags & 0x01;
            t.hasFinally = flags & 0x02;
            t.catchInRegister = flags & 0x04;
            uint16_t trySize = p.u16(), catchSize = p.u16(), finallySize = p.u16();
            if (t.catchInRegister)
                t.catchRegister = p.u8();
            else
                t.catchName = string(p.cstring());
            b_.tries_.push_back(t);
            ins.a = static_cast<uint32_t>(b_.tries_.size() - 1);
            uint32_t tryEnd = next + trySize, catchEnd = tryEnd + catchSize;
            fixups_.push_back({index, next, Fixup::TryRanges, {tryEnd, catchEnd, catchEnd + finallySize}});
            return;
        }
        case ActPush: {
            ins.a = static_cast<uint32_t>(b_.pushes_.size());
            while (!p.atEnd()) {
                PushItem item;
                uint8_t type = p.u8();
                switch (type) {
                case 0: item.value = Value(string(p.cstring())); break;
                case 1: {
                    uint32_t bits = p.u32();
                    float f;
                    std::memcpy(&f, &bits, 4);
                    item.value = Value(static_cast<double>(f));
                    break;
                }
                case 2: item.value = Value::null(); break;
                case 3: item.value = Value(); break;
                case 4:
                    item.kind = PushItem::Register;
                    item.index = p.u8();
                    break;
                case 5: item.value = Value(p.u8() != 0); break;
                case 6: {
                    // The high word first, each word little-endian.
                    uint64_t hi = p.u32(), lo = p.u32();
                    uint64_t bits = (hi << 32) | lo;
                    double d;
                    std::memcpy(&d, &bits, 8);
                    item.value = Value(d);
                    break;
                }
                case 7: item.value = Value(static_cast<int32_t>(p.u32())); break;
                case 8:
                    item.kind = PushItem::Constant;
                    item.index = p.u8();
                    break;
                case 9:
                    item.kind = PushItem::Constant;
                    item.index = p.u16();
                    break;
                default:
                    p.bad = true; // an unknown type: the rest cannot be read
                    break;
                }
                if (p.bad)
                    break;
                b_.pushes_.push_back(item);
            }
            ins.n = static_cast<uint16_t>(std::min<std::size_t>(b_.pushes_.size() - ins.a, 0xFFFF));
            return;
        }
        default:
            return;
        }
    }

    // The first operation at or after `offset` in the run holding `from`.
    uint32_t indexAtOrAfter(uint32_t from, uint32_t offset) const
    {
        for (const Run& run : runs_) {
            if (from < run.begin || from >= run.end)
                continue;
            const Instr* first = b_.code_.data() + run.begin;
            const Instr* last = b_.code_.data() + run.end - 1; // End or join
            const Instr* it = std::lower_bound(first, last, offset,
                                               [](const Instr& i, uint32_t off) { return i.offset < off; });
            return static_cast<uint32_t>(it - b_.code_.data());
        }
        return endIndex_;
    }

    uint32_t target(uint32_t offset) const
    {
        if (offset == kNoTarget)
            return endIndex_;
        auto it = boundary_.find(offset);
        return it != boundary_.end() ? it->second : endIndex_;
    }

    void resolve()
    {
        for (const Fixup& f : fixups_) {
            Instr& ins = b_.code_[f.instr];
            switch (f.what) {
            case Fixup::JumpA: ins.a = target(f.targetOffset); break;
            case Fixup::WithEnd: ins.a = indexAtOrAfter(f.instr, f.targetOffset); break;
            case Fixup::FunctionEnd: {
                FunctionInfo& fn = b_.functions_[ins.a];
                fn.begin = f.instr + 1;
                fn.end = indexAtOrAfter(f.instr, f.targetOffset);
                ins.b = fn.end;
                break;
            }
            case Fixup::TryRanges: {
                TryInfo& t = b_.tries_[ins.a];
                t.tryBegin = f.instr + 1;
                t.tryEnd = t.catchBegin = indexAtOrAfter(f.instr, f.extra[0]);
                t.catchEnd = t.finallyBegin = indexAtOrAfter(f.instr, f.extra[1]);
                t.finallyEnd = indexAtOrAfter(f.instr, f.extra[2]);
                break;
            }
            }
        }
        fuse();
        for (uint32_t i : skips_) {
            Instr& ins = b_.code_[i];
            // Skips count records; a skip past the run ends at its end.
            uint32_t to = i + 1 + ins.n;
            for (const Run& run : runs_)
                if (i >= run.begin && i < run.end)
                    to = std::min(to, run.end - 1);
            ins.b = to;
        }
    }

    Heap& heap_;
    // Marks the common runs of operations that one operation can do.
    void fuse()
    {
        std::vector<Instr>& code = b_.code_;
        std::vector<bool> target(code.size() + 1, false);
        auto mark = [&](uint32_t i) {
            if (i < target.size())
                target[i] = true;
        };
        for (const Instr& ins : code)
            if (ins.action == ActJump || ins.action == ActIf || ins.action == OpJoin || ins.action == ActWith)
                mark(ins.a);
        for (uint32_t i : skips_)
            mark(i + 1 + code[i].n);
        for (const FunctionInfo& f : b_.functions_) {
            mark(f.begin);
            mark(f.end);
        }
        for (const TryInfo& t : b_.tries_)
            for (uint32_t i : {t.tryBegin, t.tryEnd, t.catchEnd, t.finallyEnd})
                mark(i);
        for (std::size_t i = 0; i + 1 < code.size(); ++i) {
            Instr& ins = code[i];
            if (ins.action == ActStoreRegister && code[i + 1].action == ActPop && !target[i + 1]) {
                ins.action = OpStoreRegisterPop;
            } else if (ins.action == ActLess2 && i + 2 < code.size() && code[i + 1].action == ActNot &&
                       code[i + 2].action == ActIf && !target[i + 1] && !target[i + 2]) {
                ins.action = OpLessOrJump;
                ins.a = code[i + 2].a;
            }
        }
    }

    CodeBlock& b_;
    StringTable& names_;
    const uint8_t* data_;
    std::size_t size_;
    std::vector<Run> runs_;
    std::unordered_map<uint32_t, uint32_t> boundary_; // record offset -> operation
    std::vector<Fixup> fixups_;
    std::vector<uint32_t> pendingTargets_;
    std::vector<uint32_t> skips_;
    uint32_t endIndex_ = kNoTarget; // the first run's End
};

CodeBlock* CodeBlock::decode(Heap& heap, StringTable& names, const uint8_t* data, std::size_t size, unsigned version)
{
    CodeBlock* block = heap.make<CodeBlock>();
    block->version_ = version;
    Decoder(heap, *block, names, data, size).run();
    block->resized(heap, block->code_.capacity() * sizeof(Instr) + block->pushes_.capacity() * sizeof(PushItem) +
                             block->strings_.capacity() * sizeof(String*) +
                             block->functions_.capacity() * sizeof(FunctionInfo));
    return block;
}

void CodeBlock::trace(Tracer& tracer)
{
    for (const PushItem& p : pushes_)
        tracer.mark(p.value);
    for (const FunctionInfo& f : functions_) {
        tracer.mark(f.name);
        for (String* s : f.params)
            tracer.mark(s);
    }
    for (const TryInfo& t : tries_)
        tracer.mark(t.catchName);
    for (ConstantPool* pool : pools_)
        tracer.mark(pool);
    for (String* s : strings_)
        tracer.mark(s);
}

const char* actionName(uint8_t action)
{
    switch (action) {
#define N(x)                                                                                                           \
    case Act##x: return #x;
        N(End) N(NextFrame) N(PrevFrame) N(Play) N(Stop) N(ToggleQuality) N(StopSounds) N(Add) N(Subtract)
        N(Multiply) N(Divide) N(Equals) N(Less) N(And) N(Or) N(Not) N(StringEquals) N(StringLength)
        N(StringExtract) N(Pop) N(ToInteger) N(GetVariable) N(SetVariable) N(SetTarget2) N(StringAdd)
        N(GetProperty) N(SetProperty) N(CloneSprite) N(RemoveSprite) N(Trace) N(StartDrag) N(EndDrag)
        N(StringLess) N(Throw) N(CastOp) N(ImplementsOp) N(RandomNumber) N(MBStringLength) N(CharToAscii)
        N(AsciiToChar) N(GetTime) N(MBStringExtract) N(MBCharToAscii) N(MBAsciiToChar) N(Delete) N(Delete2)
        N(DefineLocal) N(CallFunction) N(Return) N(Modulo) N(NewObject) N(DefineLocal2) N(InitArray)
        N(InitObject) N(TypeOf) N(TargetPath) N(Enumerate) N(Add2) N(Less2) N(Equals2) N(ToNumber) N(ToString)
        N(PushDuplicate) N(StackSwap) N(GetMember) N(SetMember) N(Increment) N(Decrement) N(CallMethod)
        N(NewMethod) N(InstanceOf) N(Enumerate2) N(BitAnd) N(BitOr) N(BitXor) N(BitLShift) N(BitRShift)
        N(BitURShift) N(StrictEquals) N(Greater) N(StringGreater) N(Extends) N(GotoFrame) N(GetUrl)
        N(StoreRegister) N(ConstantPool) N(WaitForFrame) N(SetTarget) N(GotoLabel) N(WaitForFrame2)
        N(DefineFunction2) N(Try) N(With) N(Push) N(Jump) N(GetUrl2) N(DefineFunction) N(If) N(Call)
        N(GotoFrame2)
#undef N
    case OpJoin: return "(join)";
    case OpStoreRegisterPop: return "(StoreRegister, Pop)";
    case OpLessOrJump: return "(Less2, Not, If)";
    default: return nullptr;
    }
}

std::string CodeBlock::disassemble() const
{
    std::string out;
    auto quote = [](String* s) { return s ? "\"" + s->utf8() + "\"" : std::string("null"); };
    auto value = [&](const Value& v) {
        switch (v.type()) {
        case Value::Type::Undefined: return std::string("undefined");
        case Value::Type::Null: return std::string("null");
        case Value::Type::Boolean: return std::string(v.boolean() ? "true" : "false");
        case Value::Type::Number: return numberToAscii(v.number());
        case Value::Type::String: return quote(v.string());
        default: return std::string("?");
        }
    };
    for (std::size_t i = 0; i < code_.size(); ++i) {
        const Instr& ins = code_[i];
        const char* name = actionName(ins.action);
        out += std::to_string(i) + " @" + std::to_string(ins.offset) + " " +
               (name ? name : ("0x" + std::to_string(ins.action)).c_str());
        switch (ins.action) {
        case ActPush:
            for (uint32_t k = ins.a; k < ins.a + ins.n; ++k) {
                const PushItem& p = pushes_[k];
                out += k == ins.a ? " " : ", ";
                if (p.kind == PushItem::Register)
                    out += "r" + std::to_string(p.index);
                else if (p.kind == PushItem::Constant)
                    out += "c" + std::to_string(p.index);
                else
                    out += value(p.value);
            }
            break;
        case ActJump:
        case ActIf:
        case OpJoin:
        case ActWith: out += " -> " + std::to_string(ins.a); break;
        case OpLessOrJump: out += " -> " + std::to_string(ins.a); break;
        case OpStoreRegisterPop:
        case ActStoreRegister:
        case ActGotoFrame:
        case ActGetUrl2: out += " " + std::to_string(ins.a); break;
        case ActGetUrl: out += " " + quote(strings_[ins.a]) + " " + quote(strings_[ins.b]); break;
        case ActSetTarget:
        case ActGotoLabel: out += " " + quote(strings_[ins.a]); break;
        case ActConstantPool: {
            const ConstantPool& pool = *pools_[ins.a];
            for (std::size_t k = 0; k < pool.strings.size(); ++k)
                out += (k ? ", c" : " c") + std::to_string(k) + "=" + quote(pool.strings[k]);
            break;
        }
        case ActDefineFunction:
        case ActDefineFunction2: {
            const FunctionInfo& f = functions_[ins.a];
            out += " " + quote(f.name) + " (";
            for (std::size_t k = 0; k < f.params.size(); ++k)
                out += (k ? ", " : "") + (f.paramRegisters[k] ? "r" + std::to_string(f.paramRegisters[k]) + ":" : "") +
                       f.params[k]->utf8();
            out += ") body " + std::to_string(f.begin) + ".." + std::to_string(f.end);
            if (f.v2)
                out += " regs " + std::to_string(f.registerCount) + " flags " + std::to_string(f.flags);
            break;
        }
        case ActTry: {
            const TryInfo& t = tries_[ins.a];
            out += " try " + std::to_string(t.tryBegin) + ".." + std::to_string(t.tryEnd) + " catch " +
                   std::to_string(t.catchBegin) + ".." + std::to_string(t.catchEnd) + " finally " +
                   std::to_string(t.finallyBegin) + ".." + std::to_string(t.finallyEnd);
            break;
        }
        case ActWaitForFrame:
        case ActWaitForFrame2: out += " skip to " + std::to_string(ins.b); break;
        default: break;
        }
        out += "\n";
    }
    return out;
}

} // namespace swf::script
