// Text decoding and the HTML subset of text fields.
#include "swfcontrol/engine/format/EditText.h"

#include <cstdlib>

namespace swf {

namespace {

// Text beyond this many characters is not shown: a field is never a book.
const std::size_t kMaxChars = 64 * 1024;

bool isSpace(char32_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char32_t lower(char32_t c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

std::string asciiLower(const std::u32string& s)
{
    std::string out;
    for (char32_t c : s)
        out += static_cast<char>(c < 0x80 ? lower(c) : '?');
    return out;
}

std::string toUtf8(const std::u32string& s)
{
    std::string out;
    for (char32_t c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xc0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xe0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (c & 0x3f));
        }
    }
    return out;
}

// "&name;" at `pos` (pointing at '&'): the character it stands for, and how
// many characters it spans; 0 when it is no entity we know.
std::size_t entityAt(const std::u32string& s, std::size_t pos, char32_t& out)
{
    // Entities are short: looking no further keeps a run of '&' linear.
    std::size_t semi = pos + 1;
    while (semi < s.size() && semi - pos <= 10 && s[semi] != ';')
        ++semi;
    if (semi >= s.size() || s[semi] != ';' || semi == pos + 1)
        return 0;
    std::u32string name = s.substr(pos + 1, semi - pos - 1);
    static const struct {
        const char* name;
        char32_t c;
    } named[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", 0xa0}};
    std::string lowered = asciiLower(name);
    for (const auto& e : named) {
        if (lowered == e.name) {
            out = e.c;
            return semi - pos + 1;
        }
    }
    if (name[0] != '#' || name.size() < 2)
        return 0;
    bool hex = name[1] == 'x' || name[1] == 'X';
    std::size_t first = hex ? 2 : 1;
    if (first >= name.size())
        return 0;
    uint32_t value = 0;
    for (std::size_t i = first; i < name.size(); ++i) {
        char32_t c = lower(name[i]);
        uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return 0;
        value = value * (hex ? 16 : 10) + digit;
        if (value > 0x10ffff)
            return 0;
    }
    out = value;
    return semi - pos + 1;
}

std::u32string unescape(const std::u32string& s)
{
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        char32_t c;
        std::size_t n = s[i] == '&' ? entityAt(s, i, c) : 0;
        if (n) {
            out += c;
            i += n;
        } else {
            out += s[i++];
        }
    }
    return out;
}

struct Tag {
    std::string name; // lower case
    bool closing = false;
    std::vector<std::pair<std::string, std::u32string>> attributes; // names lower case
    const std::u32string* attribute(const char* key) const
    {
        for (const auto& a : attributes)
            if (a.first == key)
                return &a.second;
        return nullptr;
    }
};

// Parses the tag in s[from, to) (without the angle brackets).
Tag parseTag(const std::u32string& s, std::size_t from, std::size_t to)
{
    Tag tag;
    std::size_t i = from;
    while (i < to && isSpace(s[i]))
        ++i;
    if (i < to && s[i] == '/') {
        tag.closing = true;
        ++i;
    }
    std::u32string name;
    while (i < to && !isSpace(s[i]) && s[i] != '/')
        name += s[i++];
    tag.name = asciiLower(name);
    while (i < to) {
        while (i < to && (isSpace(s[i]) || s[i] == '/'))
            ++i;
        std::u32string key;
        while (i < to && !isSpace(s[i]) && s[i] != '=')
            key += s[i++];
        while (i < to && isSpace(s[i]))
            ++i;
        std::u32string value;
        if (i < to && s[i] == '=') {
            ++i;
            while (i < to && isSpace(s[i]))
                ++i;
            if (i < to && (s[i] == '"' || s[i] == '\'')) {
                char32_t quote = s[i++];
                while (i < to && s[i] != quote)
                    value += s[i++];
                ++i;
            } else {
                while (i < to && !isSpace(s[i]))
                    value += s[i++];
            }
        }
        if (!key.empty())
            tag.attributes.emplace_back(asciiLower(key), unescape(value));
    }
    return tag;
}

bool parseNumber(const std::u32string& s, double& out)
{
    std::string ascii = toUtf8(s);
    char* end = nullptr;
    double v = std::strtod(ascii.c_str(), &end);
    if (end == ascii.c_str())
        return false;
    out = v;
    return true;
}

bool parseColor(const std::u32string& s, Rgba& out)
{
    std::string ascii = toUtf8(s);
    std::size_t start = !ascii.empty() && ascii[0] == '#' ? 1 : 0;
    if (ascii.size() - start != 6)
        return false;
    char* end = nullptr;
    unsigned long v = std::strtoul(ascii.c_str() + start, &end, 16);
    if (*end != '\0')
        return false;
    out.r = static_cast<uint8_t>(v >> 16);
    out.g = static_cast<uint8_t>(v >> 8);
    out.b = static_cast<uint8_t>(v);
    return true;
}

int32_t clampTwips(double pixels)
{
    double twips = pixels * 20;
    return static_cast<int32_t>(twips < -1e6 ? -1e6 : twips > 1e6 ? 1e6 : twips);
}

void applyTag(const Tag& tag, TextFormat& f)
{
    if (tag.name == "b") {
        f.bold = true;
    } else if (tag.name == "i") {
        f.italic = true;
    } else if (tag.name == "p") {
        if (const std::u32string* a = tag.attribute("align")) {
            std::string v = asciiLower(*a);
            f.align = v == "right" ? TextAlign::Right
                      : v == "center" ? TextAlign::Center
                      : v == "justify" ? TextAlign::Justify
                                       : TextAlign::Left;
        }
    } else if (tag.name == "font") {
        if (const std::u32string* a = tag.attribute("face"))
            f.face = toUtf8(*a);
        double v;
        if (const std::u32string* a = tag.attribute("size")) {
            if (parseNumber(*a, v)) {
                // "+2" and "-2" are relative to the size around them.
                bool relative = !a->empty() && ((*a)[0] == '+' || (*a)[0] == '-');
                double pixels = relative ? f.height / 20.0 + v : v;
                f.height = static_cast<uint16_t>(pixels <= 0 ? 0 : pixels >= 3000 ? 60000 : pixels * 20);
            }
        }
        if (const std::u32string* a = tag.attribute("color"))
            parseColor(*a, f.color);
        if (const std::u32string* a = tag.attribute("letterspacing"))
            if (parseNumber(*a, v))
                f.letterSpacing = clampTwips(v);
        if (const std::u32string* a = tag.attribute("kerning"))
            if (parseNumber(*a, v))
                f.kerning = v != 0;
    } else if (tag.name == "textformat") {
        double v;
        if (const std::u32string* a = tag.attribute("leftmargin"))
            if (parseNumber(*a, v))
                f.leftMargin = clampTwips(v);
        if (const std::u32string* a = tag.attribute("rightmargin"))
            if (parseNumber(*a, v))
                f.rightMargin = clampTwips(v);
        if (const std::u32string* a = tag.attribute("indent"))
            if (parseNumber(*a, v))
                f.indent = clampTwips(v);
        if (const std::u32string* a = tag.attribute("leading"))
            if (parseNumber(*a, v))
                f.leading = clampTwips(v);
    }
}

class Builder {
public:
    explicit Builder(StyledText& out) : out_(out) {}
    void add(char32_t c, const TextFormat& f)
    {
        if (out_.text.size() >= kMaxChars)
            return;
        if (out_.formats.empty() || !same(out_.formats.back(), f)) {
            if (out_.formats.size() >= 0xffff)
                return;
            out_.formats.push_back(f);
        }
        out_.text += c;
        out_.formatOf.push_back(static_cast<uint16_t>(out_.formats.size() - 1));
    }

private:
    static bool same(const TextFormat& a, const TextFormat& b)
    {
        return a.face == b.face && a.height == b.height && a.color == b.color && a.bold == b.bold &&
               a.italic == b.italic && a.kerning == b.kerning && a.letterSpacing == b.letterSpacing &&
               a.align == b.align && a.leftMargin == b.leftMargin && a.rightMargin == b.rightMargin &&
               a.indent == b.indent && a.leading == b.leading;
    }
    StyledText& out_;
};

} // namespace

std::u32string decodeText(const std::string& bytes)
{
    std::u32string out;
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t n = bytes.size();
    for (std::size_t i = 0; i < n && out.size() < kMaxChars;) {
        unsigned char b = s[i];
        std::size_t len = b < 0x80 ? 1 : (b & 0xe0) == 0xc0 ? 2 : (b & 0xf0) == 0xe0 ? 3 : (b & 0xf8) == 0xf0 ? 4 : 0;
        char32_t c = len == 1 ? b : len == 2 ? b & 0x1f : len == 3 ? b & 0x0f : b & 0x07;
        bool valid = len != 0 && i + len <= n;
        for (std::size_t k = 1; valid && k < len; ++k) {
            if ((s[i + k] & 0xc0) != 0x80)
                valid = false;
            else
                c = c << 6 | (s[i + k] & 0x3f);
        }
        static const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (valid && (c < least[len] || c > 0x10ffff))
            valid = false;
        if (valid) {
            out += c;
            i += len;
        } else {
            out += b;
            ++i;
        }
    }
    return out;
}

StyledText plainText(const std::u32string& text, const TextFormat& base)
{
    StyledText out;
    Builder b(out);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            c = '\n';
        }
        b.add(c, base);
    }
    return out;
}

StyledText parseHtml(const std::u32string& html, const TextFormat& base)
{
    StyledText out;
    Builder b(out);
    // The formats in force, innermost last, with the tag that opened each.
    std::vector<std::pair<std::string, TextFormat>> stack;
    stack.emplace_back(std::string(), base);
    bool endsWithParagraph = false;
    for (std::size_t i = 0; i < html.size();) {
        char32_t c = html[i];
        if (c == '<') {
            std::size_t close = html.find(U'>', i);
            if (close == std::u32string::npos)
                break; // an unterminated tag: Flash drops the rest
            Tag tag = parseTag(html, i + 1, close);
            i = close + 1;
            if (tag.name.empty() || tag.name[0] == '!' || tag.name[0] == '?')
                continue;
            if (tag.name == "br" || (tag.name == "p" && tag.closing) || (tag.name == "li" && tag.closing)) {
                b.add('\n', stack.back().second);
                endsWithParagraph = tag.name != "br";
            }
            if (tag.closing) {
                for (std::size_t k = stack.size(); k-- > 1;) {
                    if (stack[k].first == tag.name) {
                        stack.resize(k);
                        break;
                    }
                }
            } else if (tag.name != "br" && stack.size() < 256) {
                TextFormat f = stack.back().second;
                applyTag(tag, f);
                stack.emplace_back(tag.name, f);
            }
            continue;
        }
        char32_t ch = c;
        std::size_t n = c == '&' ? entityAt(html, i, ch) : 0;
        i += n ? n : 1;
        if (ch == '\r') {
            if (i < html.size() && html[i] == '\n')
                ++i;
            ch = '\n';
        }
        b.add(ch, stack.back().second);
        endsWithParagraph = false;
    }
    // The last paragraph's end adds no empty line.
    if (endsWithParagraph && !out.text.empty()) {
        out.text.pop_back();
        out.formatOf.pop_back();
    }
    return out;
}

} // namespace swf
