// Feeds arbitrary responses through the parser and the readers that
// applyMetadata relies on, and checks what must hold for any input.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "movie/MetaRecord.h"
#include "movie/MovieMetadata.h"
#include "movie/StageSize.h"
#include "movie/TextConversion.h"

#define FUZZ_CHECK(condition)                                                        \
    do {                                                                             \
        if (!(condition)) {                                                          \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                            \
        }                                                                            \
    } while (0)

namespace {

bool isAscii(const std::string& bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// Encodes well-formed UTF-16 as UTF-8; false for a lone surrogate.
bool encodeUtf8(const std::u16string& text, std::string& out)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF)
                return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return true;
}

void checkConversion(const std::string& bytes)
{
    const std::u16string widened = widenBytewise(bytes);
    FUZZ_CHECK(widened.size() == bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        FUZZ_CHECK((widened[i] & 0xFF) == static_cast<unsigned char>(bytes[i]));

    // A decoded text is exactly the input again (so no overlong form, no
    // surrogate and nothing beyond U+10FFFF got through); ASCII is never
    // anything but its bytes.
    const std::u16string decoded = decodeUtf8OrWiden(bytes);
    if (isAscii(bytes))
        FUZZ_CHECK(decoded == widened);
    if (decoded != widened) {
        std::string again;
        FUZZ_CHECK(encodeUtf8(decoded, again));
        FUZZ_CHECK(again == bytes);
    }
}

// The other way round: any well-formed UTF-16 made from the input, written
// as UTF-8, must decode back, or valid titles would show as garbage.
void checkUtf8Accepted(const std::uint8_t* data, std::size_t size)
{
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    std::string utf8;
    if (encodeUtf8(text, utf8))
        FUZZ_CHECK(decodeUtf8OrWiden(utf8) == text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    const MetaRecord record = parseMetadata(text);
    std::size_t commas = 0;
    for (char c : text)
        commas += c == ',';
    FUZZ_CHECK(record.size() <= commas + 1);
    for (const MetaRecord::value_type& pair : record) {
        FUZZ_CHECK(pair.first.find_first_of("\n\" ") == std::string::npos);
        FUZZ_CHECK(pair.second.find_first_of("\n\"") == std::string::npos);
        FUZZ_CHECK(pair.first.size() < size && pair.second.size() < size);
    }

    const MovieMetadata metadata = readMovieMetadata(record);
    const StageSize& stage = metadata.stage;
    if (stage.known) {
        FUZZ_CHECK(stage.width >= 0 && stage.width <= maxStageDimension);
        FUZZ_CHECK(stage.height >= 0 && stage.height <= maxStageDimension);
    } else {
        FUZZ_CHECK(stage.width == 0 && stage.height == 0);
    }
    const float ratio = stageAspectRatio(stage);
    FUZZ_CHECK(std::isfinite(ratio) && ratio >= 0.0f);
    FUZZ_CHECK(ratio == 0.0f || (stage.known && stage.height > 0));
    FUZZ_CHECK(metadata.movieUrl.find(u'\\') == std::u16string::npos);

    // The raw text varies more than the values the parser leaves.
    checkConversion(text);
    const std::optional<int> pixels = readStageDimension(text);
    FUZZ_CHECK(!pixels || (*pixels >= 0 && *pixels <= maxStageDimension));
    checkUtf8Accepted(data, size);
    return 0;
}
