#include "swfcontrol/engine/timeline/MovieDefinition.h"

#include <cctype>

namespace swf {

uint16_t MovieDefinition::exported(const std::string& name) const
{
    auto it = exports_.find(name);
    if (it != exports_.end())
        return it->second;
    for (const auto& e : exports_) {
        if (e.first.size() != name.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(e.first[i])) == std::tolower(static_cast<unsigned char>(name[i]));
        if (same)
            return e.second;
    }
    return 0;
}

int64_t Timeline::frameOfLabel(const std::string& label) const
{
    auto it = labels.find(label);
    if (it != labels.end())
        return it->second;
    for (const auto& entry : labels) {
        const std::string& name = entry.first;
        if (name.size() != label.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(name[i])) == std::tolower(static_cast<unsigned char>(label[i]));
        if (same)
            return entry.second;
    }
    return -1;
}

bool MovieDefinition::load(const uint8_t* data, std::size_t size, std::string& reason, const LoadLimits& limits)
{
    limits_ = limits;
    if (!readMovieFile(data, size, file_, reason, limits.movie))
        return false;
    readTags(file_.data.data() + file_.tagsOffset, file_.data.size() - file_.tagsOffset, root_, true);
    return true;
}

const Character* MovieDefinition::character(uint16_t id) const
{
    auto it = characters_.find(id);
    return it == characters_.end() ? nullptr : it->second.get();
}

const FontCharacter* MovieDefinition::font(uint16_t id) const
{
    const Character* ch = character(id);
    return ch && ch->kind == CharacterKind::Font ? &ch->font : nullptr;
}

const FontCharacter* MovieDefinition::fontAt(std::size_t index) const
{
    return index < fontIds_.size() ? font(fontIds_[index]) : nullptr;
}

const Bitmap* MovieDefinition::bitmap(uint16_t id)
{
    auto cached = bitmaps_.find(id);
    if (cached != bitmaps_.end())
        return cached->second.get();
    const Character* ch = character(id);
    if (!ch || ch->kind != CharacterKind::Bitmap)
        return nullptr;
    std::unique_ptr<Bitmap> bitmap(new Bitmap);
    std::string reason;
    if (!decodeBitmap(ch->bitmapTag, ch->bitmapBody.data(), ch->bitmapBody.size(), jpegTables_.data(),
                      jpegTables_.size(), *bitmap, reason))
        bitmap.reset();
    return (bitmaps_[id] = std::move(bitmap)).get();
}

void MovieDefinition::define(uint16_t id, std::unique_ptr<Character> ch)
{
    // The first definition of an id stands, as in Flash Player.
    if (characters_.size() >= limits_.maxCharacters || characters_.count(id))
        return;
    characters_[id] = std::move(ch);
}

namespace {

bool bitmapTagOf(uint16_t code, BitmapTag& tag)
{
    switch (code) {
    case TagDefineBits: tag = BitmapTag::DefineBits; return true;
    case TagDefineBitsJpeg2: tag = BitmapTag::DefineBitsJpeg2; return true;
    case TagDefineBitsJpeg3: tag = BitmapTag::DefineBitsJpeg3; return true;
    case TagDefineBitsJpeg4: tag = BitmapTag::DefineBitsJpeg4; return true;
    case TagDefineBitsLossless: tag = BitmapTag::DefineBitsLossless; return true;
    case TagDefineBitsLossless2: tag = BitmapTag::DefineBitsLossless2; return true;
    default: return false;
    }
}

int shapeVersionOf(uint16_t code)
{
    switch (code) {
    case TagDefineShape: return 1;
    case TagDefineShape2: return 2;
    case TagDefineShape3: return 3;
    case TagDefineShape4: return 4;
    default: return 0;
    }
}

} // namespace

void MovieDefinition::readTags(const uint8_t* data, std::size_t size, Timeline& timeline, bool isRoot)
{
    bool truncated = false;
    std::vector<Tag> tags = splitTags(data, size, &truncated);
    Frame frame;
    for (const Tag& tag : tags) {
        BitReader r = tag.reader();
        switch (tag.code) {
        case TagShowFrame:
            if (timeline.frames.size() < limits_.maxFrames)
                timeline.frames.push_back(std::move(frame));
            frame = Frame();
            continue;
        case TagPlaceObject:
        case TagPlaceObject2:
        case TagPlaceObject3: {
            DisplayOp op;
            if (readPlaceObject(tag, op.place, file_.version))
                frame.ops.push_back(std::move(op));
            break;
        }
        case TagRemoveObject:
        case TagRemoveObject2: {
            RemoveObject rm;
            DisplayOp op;
            op.remove = true;
            if (readRemoveObject(tag, rm)) {
                op.removeDepth = rm.depth;
                frame.ops.push_back(op);
            }
            break;
        }
        case TagDoAction:
            // A movie that declares ActionScript 3 runs no AVM1 actions.
            if (!actionScript3_)
                frame.actions.emplace_back(tag.body, tag.body + tag.size);
            break;
        case TagDoInitAction:
            if (isRoot && !actionScript3_) {
                InitAction init;
                init.spriteId = r.u16();
                if (!r.failed()) {
                    init.actions.assign(r.current(), r.current() + r.remaining());
                    frame.initActions.push_back(std::move(init));
                }
            }
            break;
        case TagExportAssets: {
            uint16_t count = r.u16();
            for (uint16_t i = 0; i < count && !r.failed(); ++i) {
                uint16_t id = r.u16();
                std::string name = r.string();
                if (!r.failed() && !exports_.count(name))
                    exports_[name] = id;
            }
            break;
        }
        case TagScriptLimits:
            if (isRoot) {
                uint16_t recursion = r.u16(), timeout = r.u16();
                if (!r.failed()) {
                    maxRecursion_ = recursion;
                    scriptTimeout_ = timeout;
                }
            }
            break;
        case TagFileAttributes:
            if (isRoot)
                actionScript3_ = (r.u8() & 0x08) != 0 && !r.failed();
            break;
        case TagFrameLabel: {
            std::string label = r.string();
            if (!r.failed() && !timeline.labels.count(label))
                timeline.labels[label] = static_cast<uint32_t>(timeline.frames.size());
            break;
        }
        case TagSetBackgroundColor:
            if (isRoot && !hasBackground_) {
                Rgba c = r.rgb();
                if (!r.failed()) {
                    background_ = c;
                    hasBackground_ = true;
                }
            }
            break;
        default:
            break;
        }
        // Definitions belong to the movie; inside a sprite they are not allowed.
        if (!isRoot)
            continue;
        uint16_t id = r.u16();
        if (r.failed())
            continue;
        std::unique_ptr<Character> ch(new Character);
        BitmapTag bitmapTag;
        if (int version = shapeVersionOf(tag.code)) {
            ch->kind = CharacterKind::Shape;
            readDefineShape(r, version, ch->shape, limits_.shape);
            define(id, std::move(ch));
        } else if (tag.code == TagDefineMorphShape || tag.code == TagDefineMorphShape2) {
            ch->kind = CharacterKind::MorphShape;
            ch->morph.read(r, tag.code == TagDefineMorphShape ? 1 : 2, limits_.shape);
            define(id, std::move(ch));
        } else if (tag.code == TagDefineSprite) {
            ch->kind = CharacterKind::Sprite;
            r.u16(); // frame count: the ShowFrame tags decide
            readTags(r.current(), r.remaining(), ch->sprite, false);
            define(id, std::move(ch));
        } else if (tag.code == TagDefineButton || tag.code == TagDefineButton2) {
            ch->kind = CharacterKind::Button;
            readButton(tag.code, r, ch->button);
            define(id, std::move(ch));
        } else if (bitmapTagOf(tag.code, bitmapTag)) {
            ch->kind = CharacterKind::Bitmap;
            ch->bitmapTag = bitmapTag;
            ch->bitmapBody.assign(r.current(), r.current() + r.remaining());
            define(id, std::move(ch));
        } else if (tag.code == TagDefineButtonCxform) {
            // DefineButton's colour transform, for every one of its records.
            auto it = characters_.find(id);
            ColorTransform cxform = r.cxform(false);
            if (it != characters_.end() && it->second->kind == CharacterKind::Button && !r.failed())
                for (ButtonRecord& rec : it->second->button.records)
                    rec.cxform = cxform;
        } else if (tag.code == TagDefineScalingGrid) {
            auto it = characters_.find(id);
            const Rect grid = r.rect();
            if (it != characters_.end() && !r.failed() && grid.xMin < grid.xMax && grid.yMin < grid.yMax &&
                (it->second->kind == CharacterKind::Sprite || it->second->kind == CharacterKind::Button)) {
                it->second->hasScalingGrid = true;
                it->second->scalingGrid = grid;
            }
        } else if (tag.code == TagJpegTables) {
            if (jpegTables_.empty())
                jpegTables_.assign(tag.body, tag.body + tag.size);
        } else if (tag.code == TagDefineFont || tag.code == TagDefineFont2 || tag.code == TagDefineFont3 ||
                   tag.code == TagDefineFont4) {
            ch->kind = CharacterKind::Font;
            ch->font.code = tag.code;
            ch->font.body.assign(r.current(), r.current() + r.remaining());
            if (!characters_.count(id))
                fontIds_.push_back(id);
            define(id, std::move(ch));
        } else if (tag.code == TagDefineFontInfo || tag.code == TagDefineFontInfo2) {
            auto it = characters_.find(id);
            if (it != characters_.end() && it->second->kind == CharacterKind::Font)
                it->second->font.info.push_back({tag.code, std::vector<uint8_t>(r.current(), r.current() + r.remaining())});
        } else if (tag.code == TagDefineText || tag.code == TagDefineText2 || tag.code == TagDefineEditText) {
            ch->kind = tag.code == TagDefineEditText ? CharacterKind::EditText : CharacterKind::Text;
            ch->text.code = tag.code;
            ch->text.body.assign(r.current(), r.current() + r.remaining());
            define(id, std::move(ch));
        }
    }
    // Tags after the last ShowFrame (a cut file) still make a frame.
    if ((!frame.ops.empty() || !frame.actions.empty()) && timeline.frames.size() < limits_.maxFrames)
        timeline.frames.push_back(std::move(frame));
    if (timeline.frames.empty())
        timeline.frames.emplace_back();
    for (auto it = timeline.labels.begin(); it != timeline.labels.end();) {
        if (it->second >= timeline.frames.size())
            it = timeline.labels.erase(it);
        else
            ++it;
    }
}

} // namespace swf
