// Script strings: immutable UTF-16 code units, as ActionScript counts them
// (length, charCodeAt and substr work on code units, surrogates and all).
//
// Joining two strings makes a rope that is flattened when its characters
// are first read, so that building a string piece by piece costs linear
// time. A rope counts only itself against the heap until it is flattened.
//
// Names (property keys) are interned: one String per content, found by
// StringTable, each with its case-folded twin for the case-insensitive
// lookups of movies before SWF 7.
#pragma once

#include "swfcontrol/engine/script/Heap.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace swf::script {

class String final : public Cell {
public:
    // Longest string a script may make, in code units.
    static constexpr std::size_t kMaxLength = std::size_t(1) << 28;

    static String* make(Heap& heap, std::u16string_view text);
    static String* concat(Heap& heap, String* left, String* right);

    ~String() override;

    std::size_t length() const { return length_; }
    bool empty() const { return length_ == 0; }
    // The code units; a rope is flattened first.
    const char16_t* chars()
    {
        if (!flat_)
            flatten();
        return data_;
    }
    std::u16string_view view() { return std::u16string_view(chars(), length_); }
    char16_t at(std::size_t i) { return chars()[i]; }

    bool equals(String* other);
    // Compares code unit by code unit, as `<` on strings does.
    int compare(String* other);
    uint32_t hash();

    // The array index the string names ("0", "17"; not "01", "-1" or past
    // 2^31 - 2), or -1.
    int32_t arrayIndex()
    {
        if (index_ == kUnknownIndex)
            index_ = parseIndex();
        return index_;
    }

    // Whether the string has '/', ':' or '.': a variable path, not a name.
    bool hasPathChars()
    {
        if (pathChars_ == 2)
            pathChars_ = findPathChars() ? 1 : 0;
        return pathChars_ == 1;
    }

    // As UTF-8, unpaired surrogates as U+FFFD.
    std::string utf8();

    // Interned strings only: the interned string with the same content
    // case-folded (itself when it has no upper-case letter).
    String* folded() const { return folded_; }
    bool interned() const { return interned_; }

    void trace(Tracer& tracer) override;

private:
    friend class StringTable;
    String() : data_(nullptr) {}
    void flatten();
    int32_t parseIndex();
    bool findPathChars();
    static constexpr int32_t kUnknownIndex = -2;

    union {
        char16_t* data_; // flat: the units
        Heap* heap_;     // a rope: where its flattened units will count
    };
    String* left_ = nullptr; // a rope's halves until it is flattened
    String* right_ = nullptr;
    String* folded_ = nullptr;
    uint32_t length_ = 0;
    uint32_t hash_ = 0;
    int32_t index_ = kUnknownIndex;
    bool hashed_ = false;
    bool flat_ = true;
    bool interned_ = false;
    uint8_t pathChars_ = 2; // 2: not looked at yet
    char16_t inline_[4] = {}; // short strings need no buffer of their own
    friend class Heap;
};

// The case folding of names in movies before SWF 7: ASCII and Latin-1
// letters.
char16_t foldCase(char16_t c);

// Interns names. Weak: a name nothing else holds goes at the next collection.
class StringTable : public Heap::WeakTable {
public:
    explicit StringTable(Heap& heap);
    ~StringTable() override;
    String* intern(std::u16string_view text);
    String* intern(String* s);
    void sweepWeak() override;

private:
    struct Hash {
        std::size_t operator()(std::u16string_view s) const;
    };
    Heap& heap_;
    std::unordered_map<std::u16string_view, String*, Hash> table_;
};

// Text conversions for the bytes of a movie: UTF-8 from SWF 6, the system
// code page (taken as Windows-1252) before. Invalid UTF-8 bytes stand for
// themselves as Windows-1252 characters.
std::u16string decodeUtf8(std::string_view bytes);
std::u16string decodeAnsi(std::string_view bytes);
std::u16string decodeMovieText(std::string_view bytes, unsigned swfVersion);
std::string encodeUtf8(std::u16string_view text);
// ASCII text in code, for names and messages.
std::u16string ascii(std::string_view text);

} // namespace swf::script
