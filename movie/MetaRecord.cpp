#include "movie/MetaRecord.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace {

void removeAll(std::string& text, char byte)
{
    text.erase(std::remove(text.begin(), text.end(), byte), text.end());
}

// The portal's writer and this reader agree on 32-bit index arithmetic: a
// missing ':' is all ones, so the value then starts at index 0, and a ','
// before the ':' makes the length wrap so that the value runs to the end.
const std::uint32_t noPosition = 0xFFFFFFFFu;

// The start and length clipped to the body, so no index read from the bytes
// can reach outside them.
std::string_view clippedPart(std::string_view body, std::uint32_t start, std::uint32_t length)
{
    if (start >= body.size())
        return std::string_view();
    return body.substr(start, std::min<std::string_view::size_type>(length, body.size() - start));
}

} // namespace

MetaRecord parseMetadata(const std::string& text)
{
    MetaRecord record;
    if (text.size() < 2)
        return record;
    const std::string_view whole(text.data() + 1, text.size() - 2);

    // A pair whose ',' comes before its ':' (or that has no ':') makes an
    // entry whose key holds that ',' and so is never read; its key or value
    // runs to the end of the text. A few are what a ',' inside a value gives;
    // thousands of them would store the text thousands of times over and
    // exhaust memory. Past this many bytes such entries are no longer stored.
    std::size_t unreadBudget = 8 * text.size() + (1u << 20);

    // Kept between pairs, so that a text with many ',' before its next ':'
    // is searched once, not once per pair.
    std::string_view::size_type nextColon = whole.find(':');

    std::string_view::size_type start = 0;
    while (start < whole.size()) {
        const std::string_view body = whole.substr(start);
        if (nextColon != std::string_view::npos && nextColon < start)
            nextColon = whole.find(':', start);

        const std::uint32_t size = static_cast<std::uint32_t>(body.size());
        const std::uint32_t colon =
            nextColon == std::string_view::npos ? noPosition : static_cast<std::uint32_t>(nextColon - start);
        const std::string_view::size_type commaFound = body.find(',');
        const std::uint32_t comma =
            commaFound == std::string_view::npos ? size - 1 : static_cast<std::uint32_t>(commaFound);

        const std::string_view keyBytes = clippedPart(body, 0, colon);
        const std::string_view valueBytes = clippedPart(body, colon + 1, comma - colon - 1);

        bool store = true;
        if (commaFound != std::string_view::npos && comma < colon) {
            const std::size_t cost = keyBytes.size() + valueBytes.size();
            store = cost <= unreadBudget;
            if (store)
                unreadBudget -= cost;
        }

        if (store) {
            std::string key(keyBytes);
            removeAll(key, '\n');
            removeAll(key, '"');
            removeAll(key, ' ');

            std::string value(valueBytes);
            removeAll(value, '\n');
            removeAll(value, '"');
            if (!value.empty())
                value.erase(0, 1);

            record[key] = value;
        }
        start += static_cast<std::string_view::size_type>(comma) + 1;
    }
    return record;
}
