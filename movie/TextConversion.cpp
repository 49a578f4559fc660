#include "movie/TextConversion.h"

#include <cstdint>

namespace {

// Appends the decoded text to out and answers true, or answers false at the
// first byte that breaks well-formed UTF-8 (out then holds a partial result).
bool decodeUtf8(const std::string& bytes, std::u16string& out)
{
    const std::string::size_type size = bytes.size();
    std::string::size_type i = 0;
    while (i < size) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            out.push_back(static_cast<char16_t>(lead));
            ++i;
            continue;
        }

        int trailing;
        std::uint32_t codePoint;
        // The bounds of the second byte rule out overlong forms, surrogates
        // and code points above U+10FFFF in one check.
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            trailing = 1;
            codePoint = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trailing = 2;
            codePoint = lead & 0x0Fu;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trailing = 3;
            codePoint = lead & 0x07u;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }

        if (size - i <= static_cast<std::string::size_type>(trailing))
            return false;
        for (int k = 1; k <= trailing; ++k) {
            const unsigned char next = static_cast<unsigned char>(bytes[i + k]);
            if (k == 1 ? (next < low || next > high) : (next & 0xC0u) != 0x80u)
                return false;
            codePoint = (codePoint << 6) | (next & 0x3Fu);
        }
        i += trailing + 1;

        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(codePoint));
        }
    }
    return true;
}

} // namespace

std::u16string widenBytewise(const std::string& bytes)
{
    std::u16string wide;
    wide.reserve(bytes.size());
    for (char byte : bytes)
        wide.push_back(static_cast<char16_t>(static_cast<signed char>(byte)));
    return wide;
}

std::u16string decodeUtf8OrWiden(const std::string& bytes)
{
    std::u16string decoded;
    decoded.reserve(bytes.size());
    if (decodeUtf8(bytes, decoded))
        return decoded;
    return widenBytewise(bytes);
}

std::wstring toWideString(const std::u16string& text)
{
    return std::wstring(text.begin(), text.end());
}
