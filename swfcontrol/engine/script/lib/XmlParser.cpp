#include "swfcontrol/engine/script/lib/XmlParser.h"

#include <algorithm>

namespace swf::script {

namespace {

bool isSpace(char16_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool startsWith(std::u16string_view text, std::size_t at, const char* prefix)
{
    for (std::size_t i = 0; prefix[i]; ++i)
        if (at + i >= text.size() || text[at + i] != static_cast<char16_t>(prefix[i]))
            return false;
    return true;
}

std::size_t find(std::u16string_view text, std::size_t from, const char* what)
{
    for (std::size_t i = from; i < text.size(); ++i)
        if (startsWith(text, i, what))
            return i;
    return std::u16string_view::npos;
}

// The code point of a character reference's digits, or -1.
long referenceValue(std::u16string_view digits)
{
    bool hex = !digits.empty() && (digits[0] == 'x' || digits[0] == 'X');
    if (hex)
        digits.remove_prefix(1);
    if (digits.empty() || digits.size() > 8)
        return -1;
    long v = 0;
    for (char16_t c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return -1;
        v = v * (hex ? 16 : 10) + d;
    }
    return v >= 1 && v <= 0x10FFFF ? v : -1;
}

class Parser {
public:
    Parser(std::u16string_view text, bool ignoreWhite, XmlSink& sink)
        : text_(text), ignoreWhite_(ignoreWhite), sink_(sink)
    {
    }

    XmlStatus run()
    {
        while (pos_ < text_.size()) {
            XmlStatus s = text_[pos_] == '<' ? markup() : characters();
            if (s != XmlOk)
                return s;
        }
        return open_.empty() ? XmlOk : XmlStartTagUnmatched;
    }

private:
    XmlStatus characters()
    {
        std::size_t end = text_.find(u'<', pos_);
        if (end == std::u16string_view::npos)
            end = text_.size();
        std::u16string_view raw = text_.substr(pos_, end - pos_);
        pos_ = end;
        if (ignoreWhite_) {
            bool white = true;
            for (char16_t c : raw)
                white = white && isSpace(c);
            if (white)
                return XmlOk;
        }
        bool plain = raw.find(u'&') == std::u16string_view::npos;
        return sink_.text(plain ? raw : std::u16string_view(decodeXmlEntities(raw))) ? XmlOk : XmlOutOfMemory;
    }

    // Something that starts with '<'.
    XmlStatus markup()
    {
        if (startsWith(text_, pos_, "<!--")) {
            std::size_t end = find(text_, pos_ + 4, "-->");
            if (end == std::u16string_view::npos)
                return XmlCommentUnterminated;
            pos_ = end + 3;
            return XmlOk;
        }
        if (startsWith(text_, pos_, "<![CDATA[")) {
            std::size_t end = find(text_, pos_ + 9, "]]>");
            if (end == std::u16string_view::npos)
                return XmlCdataUnterminated;
            std::u16string_view body = text_.substr(pos_ + 9, end - pos_ - 9);
            pos_ = end + 3;
            return sink_.text(body) ? XmlOk : XmlOutOfMemory;
        }
        if (startsWith(text_, pos_, "<?")) {
            std::size_t end = find(text_, pos_ + 2, "?>");
            if (end == std::u16string_view::npos)
                return XmlDeclarationUnterminated;
            std::u16string_view whole = text_.substr(pos_, end + 2 - pos_);
            pos_ = end + 2;
            return sink_.declaration(whole) ? XmlOk : XmlOutOfMemory;
        }
        if (startsWith(text_, pos_, "<!"))
            return doctype();
        if (startsWith(text_, pos_, "</"))
            return endTag();
        return startTag();
    }

    XmlStatus doctype()
    {
        // An internal subset in brackets may hold '>'.
        int brackets = 0;
        for (std::size_t i = pos_ + 2; i < text_.size(); ++i) {
            char16_t c = text_[i];
            if (c == '[')
                ++brackets;
            else if (c == ']' && brackets > 0)
                --brackets;
            else if (c == '>' && brackets == 0) {
                std::u16string_view whole = text_.substr(pos_, i + 1 - pos_);
                pos_ = i + 1;
                return sink_.doctype(whole) ? XmlOk : XmlOutOfMemory;
            }
        }
        return XmlDoctypeUnterminated;
    }

    void skipSpace()
    {
        while (pos_ < text_.size() && isSpace(text_[pos_]))
            ++pos_;
    }

    std::u16string_view name(bool stopAtEquals)
    {
        std::size_t start = pos_;
        while (pos_ < text_.size()) {
            char16_t c = text_[pos_];
            if (isSpace(c) || c == '>' || c == '/' || (stopAtEquals && c == '='))
                break;
            ++pos_;
        }
        return text_.substr(start, pos_ - start);
    }

    XmlStatus endTag()
    {
        pos_ += 2;
        std::u16string_view tag = name(false);
        skipSpace();
        if (tag.empty() || pos_ >= text_.size() || text_[pos_] != '>')
            return XmlElementMalformed;
        ++pos_;
        if (open_.empty() || open_.back() != tag)
            return XmlEndTagUnmatched;
        open_.pop_back();
        sink_.endElement();
        return XmlOk;
    }

    XmlStatus startTag()
    {
        ++pos_;
        std::u16string_view tag = name(false);
        if (tag.empty())
            return XmlElementMalformed;
        attributes_.clear();
        bool empty = false;
        for (;;) {
            skipSpace();
            if (pos_ >= text_.size())
                return XmlElementMalformed;
            char16_t c = text_[pos_];
            if (c == '>') {
                ++pos_;
                break;
            }
            if (c == '/') {
                if (pos_ + 1 >= text_.size() || text_[pos_ + 1] != '>')
                    return XmlElementMalformed;
                pos_ += 2;
                empty = true;
                break;
            }
            std::u16string_view attribute = name(true);
            if (attribute.empty())
                return XmlElementMalformed;
            skipSpace();
            if (pos_ >= text_.size() || text_[pos_] != '=')
                return XmlElementMalformed;
            ++pos_;
            skipSpace();
            if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\''))
                return XmlElementMalformed;
            std::size_t end = text_.find(text_[pos_], pos_ + 1);
            if (end == std::u16string_view::npos)
                return XmlAttributeUnterminated;
            attributes_.push_back({attribute, decodeXmlEntities(text_.substr(pos_ + 1, end - pos_ - 1))});
            pos_ = end + 1;
        }
        if (open_.size() >= kXmlMaxDepth)
            return XmlOutOfMemory;
        if (!sink_.startElement(tag, attributes_))
            return XmlOutOfMemory;
        if (empty)
            sink_.endElement();
        else
            open_.push_back(tag);
        return XmlOk;
    }

    std::u16string_view text_;
    std::size_t pos_ = 0;
    bool ignoreWhite_;
    XmlSink& sink_;
    std::vector<std::u16string_view> open_;
    std::vector<XmlAttribute> attributes_;
};

} // namespace

XmlStatus parseXml(std::u16string_view text, bool ignoreWhite, XmlSink& sink)
{
    return Parser(text, ignoreWhite, sink).run();
}

std::u16string decodeXmlEntities(std::u16string_view text)
{
    static const struct {
        const char* name;
        char16_t c;
    } kNamed[] = {{"lt;", '<'}, {"gt;", '>'}, {"amp;", '&'}, {"quot;", '"'}, {"apos;", '\''}};
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c != '&') {
            out.push_back(c);
            continue;
        }
        bool decoded = false;
        for (const auto& entity : kNamed) {
            if (startsWith(text, i + 1, entity.name)) {
                out.push_back(entity.c);
                i += std::char_traits<char>::length(entity.name);
                decoded = true;
                break;
            }
        }
        if (!decoded && i + 1 < text.size() && text[i + 1] == '#') {
            // A reference is short: looking further would make long text
            // of stray "&#" quadratic.
            std::size_t semi = text.substr(0, std::min(text.size(), i + 12)).find(u';', i + 2);
            long v = semi == std::u16string_view::npos ? -1 : referenceValue(text.substr(i + 2, semi - i - 2));
            if (v >= 0) {
                if (v >= 0x10000) {
                    v -= 0x10000;
                    out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
                    out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
                } else {
                    out.push_back(static_cast<char16_t>(v));
                }
                i = semi;
                decoded = true;
            }
        }
        if (!decoded)
            out.push_back(c);
    }
    return out;
}

void appendXmlEscaped(std::u16string& out, std::u16string_view text)
{
    for (char16_t c : text) {
        switch (c) {
        case '&': out += u"&amp;"; break;
        case '<': out += u"&lt;"; break;
        case '>': out += u"&gt;"; break;
        case '"': out += u"&quot;"; break;
        case '\'': out += u"&apos;"; break;
        default: out.push_back(c);
        }
    }
}

} // namespace swf::script
