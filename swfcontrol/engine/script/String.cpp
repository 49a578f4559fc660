#include "swfcontrol/engine/script/String.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace swf::script {

namespace {

constexpr std::size_t kInline = 4;

char16_t* allocateUnits(std::size_t n)
{
    void* p = std::malloc(n * sizeof(char16_t));
    if (!p)
        throw ScriptAbort{ScriptAbort::Reason::Memory};
    return static_cast<char16_t*>(p);
}

// Windows-1252's characters 0x80-0x9F; the rest of the page is Latin-1.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t fromCp1252(unsigned char b)
{
    return b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
}

} // namespace

String* String::make(Heap& heap, std::u16string_view text)
{
    if (text.size() > kMaxLength)
        throw ScriptAbort{ScriptAbort::Reason::Memory};
    std::size_t owned = text.size() > kInline ? text.size() * sizeof(char16_t) : 0;
    heap.reserve(owned);
    String* s;
    try {
        s = heap.make<String>();
    } catch (...) {
        heap.release(owned);
        throw;
    }
    s->adoptOwnedBytes(owned);
    s->length_ = static_cast<uint32_t>(text.size());
    if (owned) {
        try {
            s->data_ = allocateUnits(text.size());
        } catch (...) {
            s->data_ = s->inline_;
            s->length_ = 0;
            throw;
        }
    } else {
        s->data_ = s->inline_;
    }
    if (!text.empty())
        std::memcpy(s->data_, text.data(), text.size() * sizeof(char16_t));
    return s;
}

String* String::concat(Heap& heap, String* left, String* right)
{
    if (left->empty())
        return right;
    if (right->empty())
        return left;
    std::size_t n = std::size_t(left->length_) + right->length_;
    if (n > kMaxLength)
        throw ScriptAbort{ScriptAbort::Reason::Memory};
    if (n <= kInline) {
        char16_t units[kInline];
        std::memcpy(units, left->chars(), left->length_ * sizeof(char16_t));
        std::memcpy(units + left->length_, right->chars(), right->length_ * sizeof(char16_t));
        return make(heap, std::u16string_view(units, n));
    }
    String* s = heap.make<String>();
    s->length_ = static_cast<uint32_t>(n);
    s->flat_ = false;
    s->heap_ = &heap;
    s->left_ = left;
    s->right_ = right;
    return s;
}

String::~String()
{
    if (flat_ && data_ && data_ != inline_)
        std::free(data_);
}

void String::flatten()
{
    Heap& heap = *heap_;
    std::size_t bytes = std::size_t(length_) * sizeof(char16_t);
    resized(heap, bytes); // throws past the heap's limit
    char16_t* out;
    try {
        out = allocateUnits(length_);
    } catch (...) {
        resized(heap, 0);
        throw;
    }
    // Right to left, with a stack of our own: ropes built piece by piece are
    // as deep as they are long.
    std::size_t end = length_;
    std::vector<String*> pending{this};
    while (!pending.empty()) {
        String* s = pending.back();
        pending.pop_back();
        if (s->flat_) {
            end -= s->length_;
            std::memcpy(out + end, s->data_, s->length_ * sizeof(char16_t));
        } else {
            pending.push_back(s->left_);
            pending.push_back(s->right_);
        }
    }
    data_ = out;
    flat_ = true;
    left_ = right_ = nullptr;
}

bool String::equals(String* other)
{
    if (this == other)
        return true;
    if (length_ != other->length_)
        return false;
    if (interned_ && other->interned_)
        return false;
    if (hashed_ && other->hashed_ && hash_ != other->hash_)
        return false;
    return std::memcmp(chars(), other->chars(), length_ * sizeof(char16_t)) == 0;
}

int String::compare(String* other)
{
    std::u16string_view a = view(), b = other->view();
    return a.compare(b) < 0 ? -1 : a == b ? 0 : 1;
}

uint32_t String::hash()
{
    if (!hashed_) {
        uint32_t h = 2166136261u;
        const char16_t* p = chars();
        for (uint32_t i = 0; i < length_; ++i)
            h = (h ^ p[i]) * 16777619u;
        hash_ = h;
        hashed_ = true;
    }
    return hash_;
}

int32_t String::parseIndex()
{
    const char16_t* p = chars();
    if (length_ == 0 || length_ > 10 || (p[0] == '0' && length_ > 1))
        return -1;
    int64_t v = 0;
    for (uint32_t i = 0; i < length_; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return -1;
        v = v * 10 + (p[i] - '0');
    }
    return v < 0x7FFFFFFF ? static_cast<int32_t>(v) : -1;
}

bool String::findPathChars()
{
    const char16_t* p = chars();
    for (uint32_t i = 0; i < length_; ++i)
        if (p[i] == '/' || p[i] == ':' || p[i] == '.')
            return true;
    return false;
}

std::string String::utf8() { return encodeUtf8(view()); }

void String::trace(Tracer& tracer)
{
    tracer.mark(left_);
    tracer.mark(right_);
    tracer.mark(folded_);
}

char16_t foldCase(char16_t c)
{
    if (c >= 'A' && c <= 'Z')
        return static_cast<char16_t>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<char16_t>(c + 32);
    return c;
}

std::size_t StringTable::Hash::operator()(std::u16string_view s) const
{
    uint32_t h = 2166136261u;
    for (char16_t c : s)
        h = (h ^ c) * 16777619u;
    return h;
}

StringTable::StringTable(Heap& heap) : heap_(heap) { heap_.addWeak(this); }
StringTable::~StringTable() = default;

String* StringTable::intern(std::u16string_view text)
{
    auto it = table_.find(text);
    if (it != table_.end())
        return it->second;
    String* s = String::make(heap_, text);
    s->interned_ = true;
    table_.emplace(s->view(), s);
    std::u16string lower(text);
    bool changed = false;
    for (char16_t& c : lower) {
        char16_t f = foldCase(c);
        changed |= f != c;
        c = f;
    }
    s->folded_ = changed ? intern(lower) : s;
    return s;
}

String* StringTable::intern(String* s)
{
    if (s->interned_)
        return s;
    return intern(s->view());
}

void StringTable::sweepWeak()
{
    for (auto it = table_.begin(); it != table_.end();) {
        if (!Heap::isMarked(it->second))
            it = table_.erase(it);
        else
            ++it;
    }
}

std::u16string decodeUtf8(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    std::size_t i = 0, n = bytes.size();
    while (i < n) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        std::size_t extra = b >= 0xC2 && b < 0xE0 ? 1 : b >= 0xE0 && b < 0xF0 ? 2 : b >= 0xF0 && b < 0xF5 ? 3 : 0;
        uint32_t cp = b & (0x3Fu >> extra);
        bool ok = extra > 0 && i + extra < n;
        for (std::size_t k = 1; ok && k <= extra; ++k) {
            unsigned char c = static_cast<unsigned char>(bytes[i + k]);
            ok = (c & 0xC0) == 0x80;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        // Overlong forms and code points past Unicode are not UTF-8.
        if (ok && ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF))))
            ok = false;
        if (!ok) {
            out.push_back(fromCp1252(b));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += extra + 1;
    }
    return out;
}

std::u16string decodeAnsi(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    for (char c : bytes)
        out.push_back(fromCp1252(static_cast<unsigned char>(c)));
    return out;
}

std::u16string decodeMovieText(std::string_view bytes, unsigned swfVersion)
{
    return swfVersion >= 6 ? decodeUtf8(bytes) : decodeAnsi(bytes);
}

std::string encodeUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
        }
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
    return out;
}

std::u16string ascii(std::string_view text)
{
    std::u16string out(text.size(), u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        out[i] = static_cast<unsigned char>(text[i]);
    return out;
}

} // namespace swf::script
