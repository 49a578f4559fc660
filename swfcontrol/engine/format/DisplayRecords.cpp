#include "swfcontrol/engine/format/DisplayRecords.h"

namespace swf {

namespace {

std::vector<uint8_t> actionBytes(BitReader& r, std::size_t limit);

// CLIPACTIONS: what a damaged list loses is its handlers, not the placement.
void readClipActions(BitReader& r, unsigned swfVersion, std::vector<ClipAction>& out)
{
    bool wide = swfVersion >= 6;
    auto flags = [&r, wide]() -> uint32_t {
        uint32_t v = r.u8();
        v |= static_cast<uint32_t>(r.u8()) << 8;
        if (wide) {
            v |= static_cast<uint32_t>(r.u8()) << 16;
            v |= static_cast<uint32_t>(r.u8()) << 24;
        }
        return v;
    };
    r.u16();
    flags();
    while (!r.failed() && out.size() < 256) {
        ClipAction a;
        a.events = flags();
        if (a.events == 0 || r.failed())
            return;
        uint32_t size = r.u32();
        if (r.failed() || size > r.remaining())
            return;
        BitReader body = r.sub(size);
        if (a.events & 0x020000u) // key press: a key code comes first
            body.u8();
        a.actions = actionBytes(body, body.remaining());
        out.push_back(std::move(a));
    }
}

} // namespace

bool readPlaceObject(const Tag& tag, PlaceObject& out, unsigned swfVersion)
{
    out = PlaceObject();
    BitReader r = tag.reader();
    if (tag.code == TagPlaceObject) {
        out.hasCharacter = true;
        out.characterId = r.u16();
        out.depth = r.u16();
        out.hasMatrix = true;
        out.matrix = r.matrix();
        if (!r.failed() && !r.atEnd()) {
            out.hasCxform = true;
            out.cxform = r.cxform(false);
        }
        return !r.failed();
    }
    uint8_t flags = r.u8();
    uint8_t flags3 = tag.code == TagPlaceObject3 ? r.u8() : 0;
    out.depth = r.u16();
    // Only HasClassName brings a name: HasImage (a bitmap character) does not,
    // whatever older format notes say.
    if (flags3 & 0x08)
        r.string();
    out.move = (flags & 0x01) != 0;
    out.hasCharacter = (flags & 0x02) != 0;
    if (out.hasCharacter)
        out.characterId = r.u16();
    out.hasMatrix = (flags & 0x04) != 0;
    if (out.hasMatrix)
        out.matrix = r.matrix();
    out.hasCxform = (flags & 0x08) != 0;
    if (out.hasCxform)
        out.cxform = r.cxform(true);
    out.hasRatio = (flags & 0x10) != 0;
    if (out.hasRatio)
        out.ratio = r.u16();
    out.hasName = (flags & 0x20) != 0;
    if (out.hasName)
        out.name = r.string();
    out.hasClipDepth = (flags & 0x40) != 0;
    if (out.hasClipDepth)
        out.clipDepth = r.u16();
    if (r.failed())
        return false;
    // What follows only PlaceObject3 has; a damaged filter list loses the
    // blend mode, visibility and clip actions but not the placement itself.
    out.hasFilters = (flags3 & 0x01) != 0;
    if (out.hasFilters && !readFilters(r, &out.filters))
        return true;
    if (flags3 & 0x02) {
        out.blendMode = r.u8();
        out.hasBlendMode = !r.failed();
    }
    if (flags3 & 0x04) {
        // Some writers set the flag with no byte behind it, at the tag's end.
        out.hasCacheAsBitmap = true;
        out.cacheAsBitmap = r.atEnd() || r.u8() != 0;
    }
    if (flags3 & 0x20) {
        out.visible = r.u8() != 0;
        out.hasVisible = !r.failed();
    }
    if (flags3 & 0x40) {
        out.background = r.rgba();
        out.hasBackground = !r.failed();
    }
    if ((flags & 0x80) && !r.failed())
        readClipActions(r, swfVersion, out.clipActions);
    return true;
}

bool readRemoveObject(const Tag& tag, RemoveObject& out)
{
    BitReader r = tag.reader();
    if (tag.code == TagRemoveObject)
        r.u16();
    out.depth = r.u16();
    return !r.failed();
}

namespace {

// Action records up to and including their end byte, copied out.
std::vector<uint8_t> actionBytes(BitReader& r, std::size_t limit)
{
    const uint8_t* start = r.current();
    std::size_t n = 0;
    std::size_t avail = limit < r.remaining() ? limit : r.remaining();
    while (n < avail) {
        uint8_t code = start[n++];
        if (code == 0)
            break;
        if (code >= 0x80) {
            if (avail - n < 2) {
                n = avail;
                break;
            }
            std::size_t len = start[n] | (start[n + 1] << 8);
            n += 2 + (len < avail - n - 2 ? len : avail - n - 2);
        }
    }
    std::vector<uint8_t> bytes(start, start + n);
    r.skip(n);
    return bytes;
}

} // namespace

bool readButton(uint16_t code, BitReader& r, ButtonDefinition& out)
{
    out = ButtonDefinition();
    bool two = code == TagDefineButton2;
    std::size_t actionStart = 0;
    if (two) {
        out.trackAsMenu = (r.u8() & 1) != 0;
        std::size_t at = r.position();
        uint16_t offset = r.u16();
        actionStart = offset ? at + offset : 0;
    }
    while (!r.failed()) {
        uint8_t flags = r.u8();
        if (flags == 0 || r.failed())
            break;
        ButtonRecord rec;
        rec.states = flags & 0x0f;
        rec.characterId = r.u16();
        rec.depth = r.u16();
        rec.matrix = r.matrix();
        if (two) {
            rec.cxform = r.cxform(true);
            if ((flags & 0x10) && !readFilters(r, &rec.filters))
                return false;
            if (flags & 0x20)
                rec.blendMode = r.u8();
        }
        if (!r.failed())
            out.records.push_back(rec);
    }
    if (r.failed())
        return false;
    if (!two) {
        ButtonAction a;
        a.conditions = CondOverDownToOverUp;
        a.actions = actionBytes(r, r.remaining());
        out.actions.push_back(std::move(a));
        return true;
    }
    if (actionStart == 0)
        return true;
    if (actionStart < r.position() || actionStart - r.position() > r.remaining())
        return false;
    r.skip(actionStart - r.position());
    while (!r.failed() && !r.atEnd()) {
        std::size_t at = r.position();
        uint16_t size = r.u16();
        ButtonAction a;
        uint8_t hi = r.u8();
        uint8_t lo = r.u8();
        a.conditions = static_cast<uint16_t>((hi << 8) | (lo & 0x01));
        std::size_t limit = size ? size - (r.position() - at < size ? r.position() - at : size) : r.remaining();
        a.actions = actionBytes(r, limit);
        if (r.failed())
            break;
        out.actions.push_back(std::move(a));
        if (size == 0)
            break;
        std::size_t next = at + size;
        if (next < r.position() || next - r.position() > r.remaining())
            break;
        r.skip(next - r.position());
    }
    return true;
}

} // namespace swf
