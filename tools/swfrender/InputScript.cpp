#include "tools/swfrender/InputScript.h"

#include <cstdlib>
#include <map>

namespace swf {

namespace {

// Just enough JSON: objects, arrays, strings, numbers, true/false/null.
struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    double number = 0;
    bool boolean = false;
    std::string string;
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> fields;
    const Json* field(const char* name) const
    {
        for (const auto& f : fields)
            if (f.first == name)
                return &f.second;
        return nullptr;
    }
};

class Parser {
public:
    explicit Parser(const std::string& text) : s_(text) {}
    bool parse(Json& out, int depth = 0)
    {
        skip();
        if (i_ >= s_.size() || depth > 32)
            return false;
        char c = s_[i_];
        if (c == '{') {
            out.kind = Json::Object;
            ++i_;
            skip();
            if (peek('}'))
                return ++i_, true;
            for (;;) {
                Json key;
                skip();
                if (!string(key.string) || !expect(':'))
                    return false;
                Json value;
                if (!parse(value, depth + 1))
                    return false;
                out.fields.emplace_back(key.string, std::move(value));
                skip();
                if (peek(','))
                    ++i_;
                else
                    return expect('}');
            }
        }
        if (c == '[') {
            out.kind = Json::Array;
            ++i_;
            skip();
            if (peek(']'))
                return ++i_, true;
            for (;;) {
                Json value;
                if (!parse(value, depth + 1))
                    return false;
                out.items.push_back(std::move(value));
                skip();
                if (peek(','))
                    ++i_;
                else
                    return expect(']');
            }
        }
        if (c == '"') {
            out.kind = Json::String;
            return string(out.string);
        }
        if (s_.compare(i_, 4, "true") == 0 || s_.compare(i_, 5, "false") == 0) {
            out.kind = Json::Bool;
            out.boolean = s_[i_] == 't';
            i_ += out.boolean ? 4 : 5;
            return true;
        }
        if (s_.compare(i_, 4, "null") == 0) {
            i_ += 4;
            return true;
        }
        char* end = nullptr;
        out.number = std::strtod(s_.c_str() + i_, &end);
        if (end == s_.c_str() + i_)
            return false;
        out.kind = Json::Number;
        i_ = static_cast<std::size_t>(end - s_.c_str());
        return true;
    }
    bool atEnd()
    {
        skip();
        return i_ == s_.size();
    }

private:
    void skip()
    {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t'))
            ++i_;
    }
    bool peek(char c) const { return i_ < s_.size() && s_[i_] == c; }
    bool expect(char c)
    {
        skip();
        if (!peek(c))
            return false;
        ++i_;
        return true;
    }
    static void utf8(uint32_t cp, std::string& out)
    {
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    bool hex4(uint32_t& v)
    {
        if (i_ + 4 > s_.size())
            return false;
        v = static_cast<uint32_t>(std::strtoul(s_.substr(i_, 4).c_str(), nullptr, 16));
        i_ += 4;
        return true;
    }
    bool string(std::string& out)
    {
        if (!peek('"'))
            return false;
        ++i_;
        while (i_ < s_.size() && s_[i_] != '"') {
            char c = s_[i_++];
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (i_ >= s_.size())
                return false;
            char e = s_[i_++];
            switch (e) {
            case 'n': out.push_back('\n'); break;
            case 'r': out.push_back('\r'); break;
            case 't': out.push_back('\t'); break;
            case 'b': out.push_back('\b'); break;
            case 'f': out.push_back('\f'); break;
            case 'u': {
                uint32_t cp;
                if (!hex4(cp))
                    return false;
                if (cp >= 0xD800 && cp < 0xDC00 && s_.compare(i_, 2, "\\u") == 0) {
                    i_ += 2;
                    uint32_t low;
                    if (!hex4(low))
                        return false;
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                }
                utf8(cp, out);
                break;
            }
            default: out.push_back(e); break;
            }
        }
        if (!peek('"'))
            return false;
        ++i_;
        return true;
    }

    const std::string& s_;
    std::size_t i_ = 0;
};

uint32_t firstCodepoint(const std::string& s)
{
    if (s.empty())
        return 0;
    unsigned char c = static_cast<unsigned char>(s[0]);
    if (c < 0x80 || s.size() < 2)
        return c;
    if (c < 0xE0)
        return ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(s[1]) & 0x3Fu);
    if (c < 0xF0 && s.size() >= 3)
        return ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(s[1]) & 0x3Fu) << 6) |
               (static_cast<unsigned char>(s[2]) & 0x3Fu);
    if (s.size() >= 4)
        return ((c & 0x07u) << 18) | ((static_cast<unsigned char>(s[1]) & 0x3Fu) << 12) |
               ((static_cast<unsigned char>(s[2]) & 0x3Fu) << 6) | (static_cast<unsigned char>(s[3]) & 0x3Fu);
    return c;
}

} // namespace

uint32_t flashKeyCode(const std::string& name)
{
    static const std::map<std::string, uint32_t> keys = {
        {"Backspace", 8},   {"Tab", 9},        {"Enter", 13},     {"LeftShift", 16},  {"RightShift", 16},
        {"Shift", 16},      {"LeftControl", 17}, {"RightControl", 17}, {"Control", 17}, {"LeftAlt", 18},
        {"RightAlt", 18},   {"Alt", 18},       {"Pause", 19},     {"CapsLock", 20},   {"Escape", 27},
        {"Space", 32},      {"PageUp", 33},    {"PageDown", 34},  {"End", 35},        {"Home", 36},
        {"ArrowLeft", 37},  {"ArrowUp", 38},   {"ArrowRight", 39}, {"ArrowDown", 40}, {"Insert", 45},
        {"Delete", 46},     {"NumLock", 144},  {"ScrollLock", 145},
    };
    auto it = keys.find(name);
    if (it != keys.end())
        return it->second;
    if (name.size() >= 2 && name[0] == 'F') {
        int n = std::atoi(name.c_str() + 1);
        if (n >= 1 && n <= 15)
            return static_cast<uint32_t>(111 + n);
    }
    return 0;
}

uint32_t flashKeyCodeOfChar(uint32_t c)
{
    if (c >= 'a' && c <= 'z')
        return c - 32;
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ')
        return c;
    // The punctuation keys of a US keyboard.
    switch (c) {
    case ';': case ':': return 186;
    case '=': case '+': return 187;
    case ',': case '<': return 188;
    case '-': case '_': return 189;
    case '.': case '>': return 190;
    case '/': case '?': return 191;
    case '`': case '~': return 192;
    case '[': case '{': return 219;
    case '\\': case '|': return 220;
    case ']': case '}': return 221;
    case '\'': case '"': return 222;
    case '!': return '1';
    case '@': return '2';
    case '#': return '3';
    case '$': return '4';
    case '%': return '5';
    case '^': return '6';
    case '&': return '7';
    case '*': return '8';
    case '(': return '9';
    case ')': return '0';
    default: return 0;
    }
}

bool readInputScript(const std::string& json, std::vector<InputEvent>& out, std::string& error)
{
    Json root;
    Parser p(json);
    if (!p.parse(root) || !p.atEnd() || root.kind != Json::Array) {
        error = "the input is not a JSON array of events";
        return false;
    }
    static const std::map<std::string, InputEvent::Type> types = {
        {"Wait", InputEvent::Type::Wait},
        {"MouseMove", InputEvent::Type::MouseMove},
        {"MouseDown", InputEvent::Type::MouseDown},
        {"MouseUp", InputEvent::Type::MouseUp},
        {"MouseWheel", InputEvent::Type::MouseWheel},
        {"KeyDown", InputEvent::Type::KeyDown},
        {"KeyUp", InputEvent::Type::KeyUp},
        {"TextInput", InputEvent::Type::TextInput},
        {"TextControl", InputEvent::Type::TextControl},
        {"SetClipboardText", InputEvent::Type::SetClipboardText},
        {"FocusGained", InputEvent::Type::FocusGained},
        {"FocusLost", InputEvent::Type::FocusLost},
    };
    for (const Json& item : root.items) {
        const Json* type = item.field("type");
        if (item.kind != Json::Object || !type || type->kind != Json::String) {
            error = "an input event has no type";
            return false;
        }
        InputEvent e;
        auto t = types.find(type->string);
        e.type = t != types.end() ? t->second : InputEvent::Type::Other;
        if (const Json* pos = item.field("pos"); pos && pos->kind == Json::Array && pos->items.size() == 2) {
            e.x = pos->items[0].number;
            e.y = pos->items[1].number;
        }
        if (const Json* btn = item.field("btn"); btn && btn->kind == Json::String)
            e.button = btn->string == "Right" ? 1 : btn->string == "Middle" ? 2 : 0;
        if (const Json* lines = item.field("lines"); lines && lines->kind == Json::Number)
            e.lines = lines->number;
        if (const Json* key = item.field("key")) {
            if (key->kind == Json::String) {
                e.keyCode = flashKeyCode(key->string);
                if (key->string == "Space")
                    e.codepoint = ' ';
                else if (key->string == "Enter")
                    e.codepoint = 13;
            } else if (const Json* ch = key->field("Char"); ch && ch->kind == Json::String) {
                e.codepoint = firstCodepoint(ch->string);
                e.keyCode = flashKeyCodeOfChar(e.codepoint);
            }
        }
        if (const Json* cp = item.field("codepoint")) {
            if (cp->kind == Json::String)
                e.codepoint = firstCodepoint(cp->string);
            else if (cp->kind == Json::Number)
                e.codepoint = static_cast<uint32_t>(cp->number);
        }
        if (const Json* code = item.field("code"); code && code->kind == Json::String)
            e.control = code->string;
        if (const Json* text = item.field("text"); text && text->kind == Json::String)
            e.text = text->string;
        out.push_back(std::move(e));
    }
    return true;
}

} // namespace swf
