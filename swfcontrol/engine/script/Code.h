// Action records decoded once per block (a DoAction, DoInitAction, clip
// event or button action): operations with their operands read, jump
// targets turned into operation indices, literal strings made, and the
// functions, `with` and `try` blocks inside as index ranges. The
// interpreter runs the decoded operations; nothing reads the bytes again.
#pragma once

#include "swfcontrol/engine/script/Heap.h"
#include "swfcontrol/engine/script/Value.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace swf::script {

class String;
class StringTable;

enum Action : uint8_t {
    ActEnd = 0x00,
    ActNextFrame = 0x04,
    ActPrevFrame = 0x05,
    ActPlay = 0x06,
    ActStop = 0x07,
    ActToggleQuality = 0x08,
    ActStopSounds = 0x09,
    ActAdd = 0x0A,
    ActSubtract = 0x0B,
    ActMultiply = 0x0C,
    ActDivide = 0x0D,
    ActEquals = 0x0E,
    ActLess = 0x0F,
    ActAnd = 0x10,
    ActOr = 0x11,
    ActNot = 0x12,
    ActStringEquals = 0x13,
    ActStringLength = 0x14,
    ActStringExtract = 0x15,
    ActPop = 0x17,
    ActToInteger = 0x18,
    ActGetVariable = 0x1C,
    ActSetVariable = 0x1D,
    ActSetTarget2 = 0x20,
    ActStringAdd = 0x21,
    ActGetProperty = 0x22,
    ActSetProperty = 0x23,
    ActCloneSprite = 0x24,
    ActRemoveSprite = 0x25,
    ActTrace = 0x26,
    ActStartDrag = 0x27,
    ActEndDrag = 0x28,
    ActStringLess = 0x29,
    ActThrow = 0x2A,
    ActCastOp = 0x2B,
    ActImplementsOp = 0x2C,
    ActRandomNumber = 0x30,
    ActMBStringLength = 0x31,
    ActCharToAscii = 0x32,
    ActAsciiToChar = 0x33,
    ActGetTime = 0x34,
    ActMBStringExtract = 0x35,
    ActMBCharToAscii = 0x36,
    ActMBAsciiToChar = 0x37,
    ActDelete = 0x3A,
    ActDelete2 = 0x3B,
    ActDefineLocal = 0x3C,
    ActCallFunction = 0x3D,
    ActReturn = 0x3E,
    ActModulo = 0x3F,
    ActNewObject = 0x40,
    ActDefineLocal2 = 0x41,
    ActInitArray = 0x42,
    ActInitObject = 0x43,
    ActTypeOf = 0x44,
    ActTargetPath = 0x45,
    ActEnumerate = 0x46,
    ActAdd2 = 0x47,
    ActLess2 = 0x48,
    ActEquals2 = 0x49,
    ActToNumber = 0x4A,
    ActToString = 0x4B,
    ActPushDuplicate = 0x4C,
    ActStackSwap = 0x4D,
    ActGetMember = 0x4E,
    ActSetMember = 0x4F,
    ActIncrement = 0x50,
    ActDecrement = 0x51,
    ActCallMethod = 0x52,
    ActNewMethod = 0x53,
    ActInstanceOf = 0x54,
    ActEnumerate2 = 0x55,
    ActBitAnd = 0x60,
    ActBitOr = 0x61,
    ActBitXor = 0x62,
    ActBitLShift = 0x63,
    ActBitRShift = 0x64,
    ActBitURShift = 0x65,
    ActStrictEquals = 0x66,
    ActGreater = 0x67,
    ActStringGreater = 0x68,
    ActExtends = 0x69,
    ActGotoFrame = 0x81,
    ActGetUrl = 0x83,
    ActStoreRegister = 0x87,
    ActConstantPool = 0x88,
    ActWaitForFrame = 0x8A,
    ActSetTarget = 0x8B,
    ActGotoLabel = 0x8C,
    ActWaitForFrame2 = 0x8D,
    ActDefineFunction2 = 0x8E,
    ActTry = 0x8F,
    ActWith = 0x94,
    ActPush = 0x96,
    ActJump = 0x99,
    ActGetUrl2 = 0x9A,
    ActDefineFunction = 0x9B,
    ActIf = 0x9D,
    ActCall = 0x9E,
    ActGotoFrame2 = 0x9F,
    // Not SWF actions. Join continues at `a` (where decoding met code it
    // had already decoded from another entry). The others stand for the
    // common runs that follow them, which stay in place for jumps into
    // their middle: StoreRegister a + Pop, and Less2 + Not + If a.
    OpStoreRegisterPop = 0xFD,
    OpLessOrJump = 0xFE,
    OpJoin = 0xFF,
};

// One operation. Its meaning of a, b and n by action:
//   Push: pushes[a .. a+n); GotoFrame: a = frame; WaitForFrame: a = frame,
//   b = the index to skip to; WaitForFrame2: b likewise; Jump/If: a =
//   target; StoreRegister: a = register; ConstantPool: a = pool;
//   GetUrl: a, b = strings (url, target); GetUrl2: a = flags;
//   SetTarget/GotoLabel: a = string; DefineFunction/2: a = function,
//   b = the index after the body; With: a = the index after the body;
//   Try: a = try block; GotoFrame2: a = flags, b = scene bias.
struct Instr {
    uint8_t action = ActEnd;
    uint16_t n = 0;
    uint32_t a = 0;
    uint32_t b = 0;
    uint32_t offset = 0; // of the record in the block's bytes
};

struct PushItem {
    enum Kind : uint8_t { Literal, Register, Constant };
    Kind kind = Literal;
    uint16_t index = 0; // a register or a constant-pool index
    Value value;        // a literal's
};

enum FunctionFlag : uint16_t {
    PreloadThis = 0x0001,
    SuppressThis = 0x0002,
    PreloadArguments = 0x0004,
    SuppressArguments = 0x0008,
    PreloadSuper = 0x0010,
    SuppressSuper = 0x0020,
    PreloadRoot = 0x0040,
    PreloadParent = 0x0080,
    PreloadGlobal = 0x0100,
};

struct FunctionInfo {
    String* name = nullptr; // empty for an anonymous function
    std::vector<String*> params;
    std::vector<uint8_t> paramRegisters; // DefineFunction2: 0 = not in a register
    uint16_t flags = 0;
    uint8_t registerCount = 0;
    bool v2 = false;
    uint32_t begin = 0, end = 0; // its body's operations
};

struct TryInfo {
    uint32_t tryBegin = 0, tryEnd = 0;
    uint32_t catchBegin = 0, catchEnd = 0;
    uint32_t finallyBegin = 0, finallyEnd = 0;
    bool hasCatch = false, hasFinally = false;
    bool catchInRegister = false;
    uint8_t catchRegister = 0;
    String* catchName = nullptr;
};

// A block's constant pool, as ConstantPool made it.
class ConstantPool final : public Cell {
public:
    std::vector<String*> strings;
    void trace(Tracer& tracer) override
    {
        for (String* s : strings)
            tracer.mark(s);
    }
};

class CodeBlock final : public Cell {
public:
    // Decodes `size` bytes of action records from a movie of `version`.
    // Records that run past the end are dropped, as is what follows.
    static CodeBlock* decode(Heap& heap, StringTable& names, const uint8_t* data, std::size_t size,
                             unsigned version);

    unsigned version() const { return version_; }
    const std::vector<Instr>& code() const { return code_; }
    const std::vector<PushItem>& pushes() const { return pushes_; }
    const std::vector<FunctionInfo>& functions() const { return functions_; }
    const std::vector<TryInfo>& tries() const { return tries_; }
    const std::vector<ConstantPool*>& pools() const { return pools_; }
    String* string(uint32_t i) const { return strings_[i]; }

    // One line per operation, for debugging movies.
    std::string disassemble() const;

    void trace(Tracer& tracer) override;

private:
    friend class Decoder;
    unsigned version_ = 0;
    std::vector<Instr> code_;
    std::vector<PushItem> pushes_;
    std::vector<FunctionInfo> functions_;
    std::vector<TryInfo> tries_;
    std::vector<ConstantPool*> pools_;
    std::vector<String*> strings_;
};

const char* actionName(uint8_t action);

} // namespace swf::script
