#include "swfcontrol/engine/timeline/MoviePlayer.h"

#include "swfcontrol/engine/timeline/Actions.h"
#include "swfcontrol/engine/timeline/MovieDefinition.h"
#include "swfcontrol/engine/draw/Filters.h"
#include "swfcontrol/engine/draw/ScalingGrid.h"

#include <algorithm>
#include <cmath>
#include <cctype>
#include <cstring>
#include <deque>
#include <map>
#include <vector>

namespace swf {

namespace {

struct Clip;

struct Instance {
    explicit Instance(std::size_t& live) : live_(live) { ++live_; }
    ~Instance() { --live_; }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    uint16_t depth = 0;
    uint16_t characterId = 0;
    const Character* character = nullptr;
    Matrix matrix;
    ColorTransform cxform;
    uint16_t ratio = 0;
    std::string name;
    uint16_t clipDepth = 0;
    uint8_t blendMode = 0;
    std::vector<Filter> filters;
    bool visible = true;
    bool cacheAsBitmap = false;
    const std::vector<ClipAction>* clipActions = nullptr; // a sprite's onClipEvent handlers
    bool hasBackground = false; // opaqueBackground, or PlaceObject3's background
    Rgba background;
    // Set from script: scale9Grid (in the object's twips, ahead of its
    // character's DefineScalingGrid) and scrollRect (the object's twips it
    // shows, from its origin, clipped).
    bool hasScale9 = false;
    Rect scale9;
    bool hasScrollRect = false;
    Rect scrollRect;
    uint64_t bornTick = 0;

    std::shared_ptr<Clip> clip; // a sprite's timeline
    // A button's records, by depth, each with the states it shows in.
    std::vector<std::pair<uint8_t, std::unique_ptr<Instance>>> parts;
    uint8_t buttonState = ButtonUp;
    std::weak_ptr<Clip> parent; // whose timeline a button's actions control

    // A morph shape at its ratio, or a placed bitmap as a filled rectangle.
    bool morphValid = false;
    uint16_t morphRatio = 0;
    Shape morphShape;

private:
    std::size_t& live_;
};

using DisplayList = std::map<uint16_t, std::unique_ptr<Instance>>;

struct Clip {
    const Timeline* timeline = nullptr;
    int64_t frame = -1; // 0-based; -1 before the first is entered
    bool playing = true;
    unsigned nesting = 0;
    std::vector<uint16_t> lineage; // the sprite ids of this clip and its ancestors
    std::weak_ptr<Clip> parent;
    DisplayList list;
};

struct QueuedActions {
    std::weak_ptr<Clip> clip;
    const std::vector<uint8_t>* code = nullptr;
};

bool startsWithNoCase(const std::string& s, const char* prefix)
{
    std::size_t i = 0;
    for (; prefix[i]; ++i)
        if (i >= s.size() || std::tolower(static_cast<unsigned char>(s[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

BlendMode blendOf(uint8_t mode)
{
    return mode >= 2 && mode <= 14 ? static_cast<BlendMode>(mode) : BlendMode::Normal;
}

struct Box {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty = true;
    void add(Point p)
    {
        if (empty) {
            x0 = x1 = p.x;
            y0 = y1 = p.y;
            empty = false;
            return;
        }
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    bool contains(double x, double y) const { return !empty && x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};

// Whether a point (shape twips) lies in a shape's fills or strokes, for the
// hit areas of buttons: each fill by the even-odd rule over its edges, each
// stroke within half its width of its edges.
bool shapeContains(const Shape& shape, Point p)
{
    std::vector<uint32_t> crossings(shape.fills.size() + 1, 0);
    auto segment = [&](const ShapeEdge& e, Point a, Point b) {
        if ((a.y > p.y) != (b.y > p.y)) {
            double x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
            if (x > p.x) {
                if (e.fill0 < crossings.size())
                    ++crossings[e.fill0];
                if (e.fill1 != e.fill0 && e.fill1 < crossings.size())
                    ++crossings[e.fill1];
            }
        }
        if (e.line >= 1 && e.line <= shape.lines.size()) {
            double half = std::max(20.0, static_cast<double>(shape.lines[e.line - 1].width)) / 2;
            double dx = b.x - a.x, dy = b.y - a.y, len = dx * dx + dy * dy;
            double t = len > 0 ? std::max(0.0, std::min(1.0, ((p.x - a.x) * dx + (p.y - a.y) * dy) / len)) : 0;
            double ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y;
            return ex * ex + ey * ey <= half * half;
        }
        return false;
    };
    for (const ShapeEdge& e : shape.edges) {
        Point a{static_cast<double>(e.x0), static_cast<double>(e.y0)};
        Point b{static_cast<double>(e.x1), static_cast<double>(e.y1)};
        if (!e.curved) {
            if (segment(e, a, b))
                return true;
            continue;
        }
        Point prev = a;
        for (int i = 1; i <= 8; ++i) {
            double t = i / 8.0, u = 1 - t;
            Point q{u * u * a.x + 2 * u * t * e.cx + t * t * b.x, u * u * a.y + 2 * u * t * e.cy + t * t * b.y};
            if (segment(e, prev, q))
                return true;
            prev = q;
        }
    }
    for (std::size_t f = 1; f < crossings.size(); ++f)
        if (crossings[f] & 1)
            return true;
    return false;
}

} // namespace

struct MoviePlayer::Impl {
    MovieDefinition movie;
    PlayerLimits limits;
    std::size_t live = 0;
    std::shared_ptr<Clip> root;
    uint64_t tick = 0;
    bool loop = true;
    Quality quality = Quality::High;
    double stageScale = 1; // frame pixels to a stage pixel
    std::optional<Rgba> backgroundOverride;
    FsCommandHandler fsCommand;
    DeviceTextRasterizer* deviceText = nullptr;
    const DeviceFonts* deviceFonts = nullptr;
    struct KeptText {
        DeviceText text;
        DeviceCoverage coverage;
        uint64_t lastUse = 0;
    };
    std::vector<KeptText> keptTexts;
    uint64_t deviceClock = 0;
    std::deque<QueuedActions> queue;
    std::size_t draws = 0; // this frame's so far, against the limits
    std::size_t edges = 0;

    double mouseX = -1, mouseY = -1;
    bool mousePressed = false;
    Instance* hover = nullptr;   // valid only between a hit test and the next timeline change
    Instance* pressed = nullptr; // likewise; compared by identity with a fresh hit test

    ~Impl()
    {
        queue.clear();
        root.reset(); // before `live`, which instances count down
    }

    // --- timelines -------------------------------------------------------

    std::unique_ptr<Instance> instantiate(uint16_t id, const Character* ch, unsigned nesting,
                                          const std::shared_ptr<Clip>& parent)
    {
        if (live >= limits.maxInstances)
            return nullptr;
        std::unique_ptr<Instance> inst(new Instance(live));
        inst->characterId = id;
        inst->character = ch;
        inst->bornTick = tick;
        inst->parent = parent;
        // A sprite never appears inside itself: that would nest without end.
        bool cycle = parent && std::find(parent->lineage.begin(), parent->lineage.end(), id) != parent->lineage.end();
        if (ch->kind == CharacterKind::Sprite && nesting < limits.maxNesting && !cycle) {
            inst->clip = std::make_shared<Clip>();
            inst->clip->timeline = &ch->sprite;
            inst->clip->nesting = nesting + 1;
            inst->clip->parent = parent;
            if (parent)
                inst->clip->lineage = parent->lineage;
            inst->clip->lineage.push_back(id);
            enterFrame(inst->clip, 0, true);
        } else if (ch->kind == CharacterKind::Button && nesting < limits.maxNesting) {
            std::vector<const ButtonRecord*> records;
            for (const ButtonRecord& rec : ch->button.records)
                records.push_back(&rec);
            std::stable_sort(records.begin(), records.end(),
                             [](const ButtonRecord* a, const ButtonRecord* b) { return a->depth < b->depth; });
            for (const ButtonRecord* rec : records) {
                const Character* partCh = movie.character(rec->characterId);
                if (!partCh || !displayable(partCh->kind))
                    continue;
                std::unique_ptr<Instance> part = instantiate(rec->characterId, partCh, nesting + 1, parent);
                if (!part)
                    continue;
                part->depth = rec->depth;
                part->matrix = rec->matrix;
                part->cxform = rec->cxform;
                part->blendMode = rec->blendMode;
                part->filters = rec->filters;
                inst->parts.emplace_back(rec->states, std::move(part));
            }
        }
        return inst;
    }

    static bool displayable(CharacterKind kind)
    {
        return kind == CharacterKind::Shape || kind == CharacterKind::MorphShape || kind == CharacterKind::Sprite ||
               kind == CharacterKind::Button || kind == CharacterKind::Text || kind == CharacterKind::EditText ||
               kind == CharacterKind::Bitmap;
    }

    static void applyProperties(Instance& inst, const PlaceObject& po)
    {
        if (po.hasMatrix)
            inst.matrix = po.matrix;
        if (po.hasCxform)
            inst.cxform = po.cxform;
        if (po.hasRatio) {
            inst.ratio = po.ratio;
            inst.morphValid = false;
        }
        if (po.hasName)
            inst.name = po.name;
        if (po.hasClipDepth)
            inst.clipDepth = po.clipDepth;
        if (po.hasBlendMode)
            inst.blendMode = po.blendMode;
        if (po.hasFilters)
            inst.filters = po.filters;
        if (po.hasVisible)
            inst.visible = po.visible;
        if (po.hasCacheAsBitmap)
            inst.cacheAsBitmap = po.cacheAsBitmap;
        if (po.hasBackground) {
            inst.hasBackground = true;
            inst.background = po.background;
        }
    }

    void place(const std::shared_ptr<Clip>& clip, const PlaceObject& po, DisplayList* reuse)
    {
        DisplayList& list = clip->list;
        auto existing = list.find(po.depth);
        // A move changes what is at the depth; a replacement at an empty depth
        // places its character as a new placement does, below.
        if (po.move && existing != list.end()) {
            Instance& inst = *existing->second;
            if (po.hasCharacter && po.characterId != inst.characterId) {
                const Character* ch = movie.character(po.characterId);
                if (ch && displayable(ch->kind)) {
                    // Replacing keeps the placement but starts the new character afresh.
                    std::unique_ptr<Instance> fresh = instantiate(po.characterId, ch, clip->nesting, clip);
                    if (fresh) {
                        fresh->depth = inst.depth;
                        fresh->matrix = inst.matrix;
                        fresh->cxform = inst.cxform;
                        fresh->ratio = inst.ratio;
                        fresh->name = inst.name;
                        fresh->clipDepth = inst.clipDepth;
                        fresh->blendMode = inst.blendMode;
                        fresh->filters = inst.filters;
                        fresh->visible = inst.visible;
                        fresh->hasBackground = inst.hasBackground;
                        fresh->cacheAsBitmap = inst.cacheAsBitmap;
                        fresh->background = inst.background;
                        forget(inst);
                        existing->second = std::move(fresh);
                    }
                }
            }
            applyProperties(*existing->second, po);
            return;
        }
        if (!po.hasCharacter)
            return;
        const Character* ch = movie.character(po.characterId);
        if (!ch || !displayable(ch->kind))
            return;
        std::unique_ptr<Instance> inst;
        if (reuse) {
            auto old = reuse->find(po.depth);
            if (old != reuse->end() && old->second->characterId == po.characterId) {
                inst = std::move(old->second);
                reuse->erase(old);
                Instance& i = *inst;
                i.matrix = Matrix();
                i.cxform = ColorTransform();
                i.ratio = 0;
                i.morphValid = false;
                i.name.clear();
                i.clipDepth = 0;
                i.blendMode = 0;
                i.filters.clear();
                i.visible = true;
                i.hasBackground = false;
                i.cacheAsBitmap = false;
                i.clipActions = nullptr;
            }
        }
        bool fresh = !inst;
        if (!inst)
            inst = instantiate(po.characterId, ch, clip->nesting, clip);
        if (!inst)
            return;
        inst->depth = po.depth;
        applyProperties(*inst, po);
        if (inst->clip && !po.clipActions.empty()) {
            inst->clipActions = &po.clipActions;
            if (fresh)
                queueClipEvent(*inst, ClipEventLoad);
        }
        if (existing != list.end()) {
            forget(*existing->second);
            existing->second = std::move(inst);
        } else {
            list[po.depth] = std::move(inst);
        }
    }

    // Drops the mouse's references into an instance that goes away.
    void forget(const Instance& inst)
    {
        if (hover == &inst)
            hover = nullptr;
        if (pressed == &inst)
            pressed = nullptr;
        for (const auto& part : inst.parts)
            forget(*part.second);
        if (inst.clip)
            for (const auto& child : inst.clip->list)
                forget(*child.second);
    }

    void applyOps(const std::shared_ptr<Clip>& clip, const Frame& frame, DisplayList* reuse)
    {
        for (const DisplayOp& op : frame.ops) {
            if (op.remove) {
                auto it = clip->list.find(op.removeDepth);
                if (it != clip->list.end()) {
                    forget(*it->second);
                    clip->list.erase(it);
                }
            } else {
                place(clip, op.place, reuse);
            }
        }
    }

    void queueActions(const std::shared_ptr<Clip>& clip, const Frame& frame)
    {
        for (const std::vector<uint8_t>& code : frame.actions)
            queue.push_back({clip, &code});
    }

    void queueClipEvent(const Instance& inst, uint32_t event)
    {
        if (!inst.clipActions || !inst.clip)
            return;
        for (const ClipAction& action : *inst.clipActions)
            if (action.events & event)
                queue.push_back({inst.clip, &action.actions});
    }

    // Moves one frame on from the current one.
    void enterFrame(const std::shared_ptr<Clip>& clip, uint32_t frame, bool runActions)
    {
        const Frame& f = clip->timeline->frames[frame];
        applyOps(clip, f, nullptr);
        clip->frame = frame;
        if (runActions)
            queueActions(clip, f);
    }

    void gotoFrame(const std::shared_ptr<Clip>& clip, uint32_t target)
    {
        const Timeline& tl = *clip->timeline;
        if (target >= tl.frames.size())
            target = static_cast<uint32_t>(tl.frames.size() - 1);
        if (static_cast<int64_t>(target) == clip->frame)
            return;
        if (static_cast<int64_t>(target) > clip->frame) {
            for (int64_t f = clip->frame + 1; f <= target; ++f)
                enterFrame(clip, static_cast<uint32_t>(f), f == target);
            return;
        }
        // Going back rebuilds the list from the first frame; what stays at
        // a depth with the same character keeps its own state.
        DisplayList old;
        old.swap(clip->list);
        for (uint32_t f = 0; f <= target; ++f)
            applyOps(clip, tl.frames[f], &old);
        for (const auto& gone : old)
            forget(*gone.second);
        clip->frame = target;
        queueActions(clip, tl.frames[target]);
    }

    void advanceClip(const std::shared_ptr<Clip>& clip)
    {
        const Timeline& tl = *clip->timeline;
        if (clip->playing) {
            uint32_t next = static_cast<uint32_t>(clip->frame + 1);
            if (next < tl.frames.size()) {
                enterFrame(clip, next, true);
            } else if (clip == root && !loop) {
                clip->playing = false;
            } else if (tl.frames.size() > 1) {
                gotoFrame(clip, 0);
            }
        }
        std::vector<std::shared_ptr<Clip>> children;
        for (const auto& entry : clip->list)
            collectClips(*entry.second, children);
        for (const auto& child : children)
            advanceClip(child);
    }

    void collectClips(const Instance& inst, std::vector<std::shared_ptr<Clip>>& out)
    {
        if (inst.bornTick == tick)
            return; // placed this tick: it shows its first frame first
        if (inst.clip) {
            out.push_back(inst.clip);
            queueClipEvent(inst, ClipEventEnterFrame);
        }
        for (const auto& part : inst.parts)
            collectClips(*part.second, out);
    }

    // --- actions ---------------------------------------------------------

    class Host : public ActionHost {
    public:
        Host(Impl& impl, std::shared_ptr<Clip> clip) : impl_(impl), clip_(std::move(clip)) {}
        void play() override { clip_->playing = true; }
        void stop() override { clip_->playing = false; }
        void nextFrame() override
        {
            impl_.gotoFrame(clip_, static_cast<uint32_t>(clip_->frame + 1));
            clip_->playing = false;
        }
        void previousFrame() override
        {
            if (clip_->frame > 0)
                impl_.gotoFrame(clip_, static_cast<uint32_t>(clip_->frame - 1));
            clip_->playing = false;
        }
        void gotoFrame(uint32_t frame, bool play) override
        {
            impl_.gotoFrame(clip_, frame);
            clip_->playing = play;
        }
        void gotoLabel(const std::string& label, bool play) override
        {
            int64_t frame = clip_->timeline->frameOfLabel(label);
            if (frame < 0)
                return;
            impl_.gotoFrame(clip_, static_cast<uint32_t>(frame));
            clip_->playing = play;
        }
        void getUrl(const std::string& url, const std::string& target) override
        {
            // Only FSCommands leave the movie; no other URL is ever opened.
            if (startsWithNoCase(url, "FSCommand:") && impl_.fsCommand)
                impl_.fsCommand(url.substr(10), target);
        }

        std::shared_ptr<ActionHost> find(const std::string& path) override
        {
            std::shared_ptr<Clip> at = clip_;
            std::size_t pos = 0;
            if (!path.empty() && path[0] == '/')
                at = impl_.root;
            while (at && pos <= path.size()) {
                std::size_t end = path.find_first_of("./", pos);
                if (end == std::string::npos)
                    end = path.size();
                std::string part = path.substr(pos, end - pos);
                pos = end + 1;
                if (part.empty() || part == "this")
                    continue;
                if (part == "_root" || part == "_level0")
                    at = impl_.root;
                else if (part == "_parent" || part == "..")
                    at = at->parent.lock();
                else
                    at = child(*at, part);
            }
            return at ? std::make_shared<Host>(impl_, at) : nullptr;
        }

    private:
        // Instance names match exactly, or else ignoring ASCII case as
        // movies before SWF 7 do.
        std::shared_ptr<Clip> child(const Clip& clip, const std::string& name) const
        {
            for (const auto& entry : clip.list)
                if (entry.second->clip && entry.second->name == name)
                    return entry.second->clip;
            for (const auto& entry : clip.list)
                if (entry.second->clip && startsWithNoCase(entry.second->name, name.c_str()) &&
                    entry.second->name.size() == name.size())
                    return entry.second->clip;
            return nullptr;
        }

        Impl& impl_;
        std::shared_ptr<Clip> clip_;
    };

    void runQueue()
    {
        std::size_t budget = limits.maxActionsPerTick;
        while (!queue.empty()) {
            QueuedActions next = queue.front();
            queue.pop_front();
            std::shared_ptr<Clip> clip = next.clip.lock();
            if (!clip || budget == 0)
                continue; // its clip is gone, or this tick has run enough
            Host host(*this, clip);
            std::size_t steps = std::min<std::size_t>(budget, 100000);
            runActions(next.code->data(), next.code->size(), host, steps);
            budget -= std::min(budget, std::max<std::size_t>(1, next.code->size()));
        }
    }

    // --- drawing ---------------------------------------------------------

    // The host draws device text; what it drew lately is kept, as the same
    // text comes back frame after frame (its colour does not count).
    const DeviceCoverage* deviceCoverageOf(const DeviceText& text)
    {
        constexpr std::size_t kKeptBytes = 4u * 1024u * 1024u;
        const auto same = [&](const DeviceText& a) {
            return a.text == text.text && a.face == text.face && a.size == text.size && a.bold == text.bold &&
                   a.italic == text.italic && a.box == text.box && a.left == text.left && a.top == text.top &&
                   a.right == text.right && a.bottom == text.bottom && a.align == text.align &&
                   a.wrap == text.wrap && a.multiline == text.multiline && a.baseline == text.baseline &&
                   a.offsets == text.offsets;
        };
        ++deviceClock;
        for (KeptText& kept : keptTexts) {
            if (same(kept.text)) {
                kept.lastUse = deviceClock;
                return &kept.coverage;
            }
        }
        KeptText fresh;
        if (!deviceText->rasterize(text, fresh.coverage))
            return nullptr;
        fresh.text = text;
        fresh.lastUse = deviceClock;
        // The least used give way until the new one fits.
        std::size_t held = fresh.coverage.data.size();
        for (const KeptText& kept : keptTexts)
            held += kept.coverage.data.size();
        while (held > kKeptBytes && !keptTexts.empty()) {
            auto oldest = std::min_element(keptTexts.begin(), keptTexts.end(),
                                           [](const KeptText& a, const KeptText& b) { return a.lastUse < b.lastUse; });
            held -= oldest->coverage.data.size();
            keptTexts.erase(oldest);
        }
        keptTexts.push_back(std::move(fresh));
        return &keptTexts.back().coverage;
    }

    // Past the frame's budget the rest of the frame is left out, so that no
    // movie can make one frame take without bound.
    void paint(Renderer& r, const Shape& shape, const Matrix& m, const ColorTransform& cx, const Rgba* solid = nullptr)
    {
        edges += shape.edges.size();
        if (edges > limits.maxEdgesPerFrame || ++draws > limits.maxDrawsPerFrame)
            return;
        r.drawShape(shape, m, cx, solid ? nullptr : &movie, solid);
    }

    // Stage twips to stage pixels, or to frame pixels at `scale` to one.
    Matrix stageMatrix(double scale = 1) const
    {
        const Rect& s = movie.stage();
        Matrix m;
        m.a = m.d = scale / 20;
        m.tx = -s.xMin * scale / 20;
        m.ty = -s.yMin * scale / 20;
        return m;
    }

    void drawList(Renderer& r, DisplayList& list, const Matrix& m, const ColorTransform& cx, bool mask)
    {
        std::vector<uint16_t> clips; // clip depths of the masks in force
        for (const auto& entry : list) {
            Instance& inst = *entry.second;
            while (!clips.empty() && inst.depth > clips.back()) {
                r.popMask();
                clips.pop_back();
            }
            if (inst.clipDepth > 0) {
                if (mask)
                    continue; // a mask inside a mask's content does not clip it
                r.beginMask();
                drawInstance(r, inst, m, cx, true);
                r.endMask();
                clips.push_back(inst.clipDepth);
                continue;
            }
            if (!inst.visible)
                continue;
            drawInstance(r, inst, m, cx, mask);
        }
        while (!clips.empty()) {
            r.popMask();
            clips.pop_back();
        }
    }

    // What a cached bitmap's pixels depend on: the instance's content as the
    // timeline stands (characters, matrices, colour transforms, frames,
    // states and filters of everything inside), where it lies within its
    // bitmap, the stage's scale and the quality. Its own colour transform
    // applies as the bitmap is drawn, so it does not count; nor does a move
    // by whole pixels, unless the bitmap reaches beyond the frame.
    uint64_t cacheKey(const Instance& inst, const Matrix& m, int originX, int originY, const Renderer& r)
    {
        uint64_t h = 0x84222325cbf29ce4ull;
        contentKey(inst, h, 0);
        const double linear[] = {m.a, m.b, m.c, m.d, m.tx - originX, m.ty - originY, stageScale};
        for (double v : linear)
            mixReal(h, v);
        mixKey(h, static_cast<uint64_t>(quality));
        Box box;
        addBounds(inst, m, box, 0);
        const FilterBox grown = filteredBounds(
            inst.filters, stageScale,
            FilterBox{static_cast<int>(std::floor(std::max(-1e9, box.x0))), static_cast<int>(std::floor(std::max(-1e9, box.y0))),
                      static_cast<int>(std::ceil(std::min(1e9, box.x1))), static_cast<int>(std::ceil(std::min(1e9, box.y1)))});
        if (box.empty || grown.x0 < 0 || grown.y0 < 0 || grown.x1 > r.width() || grown.y1 > r.height()) {
            mixKey(h, static_cast<uint64_t>(static_cast<uint32_t>(originX)));
            mixKey(h, static_cast<uint64_t>(static_cast<uint32_t>(originY)));
        }
        return h;
    }

    static void mixKey(uint64_t& h, uint64_t v)
    {
        h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
        h *= 0xff51afd7ed558ccdull;
    }

    static void mixReal(uint64_t& h, double v)
    {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        mixKey(h, bits);
    }

    static void mixCx(uint64_t& h, const ColorTransform& c)
    {
        const float v[] = {c.mulR, c.mulG, c.mulB, c.mulA, c.addR, c.addG, c.addB, c.addA};
        for (float f : v)
            mixReal(h, static_cast<double>(f));
    }

    void contentKey(const Instance& inst, uint64_t& h, unsigned depth)
    {
        if (depth > limits.maxNesting)
            return;
        mixKey(h, reinterpret_cast<uintptr_t>(inst.character));
        mixKey(h, (uint64_t(inst.ratio) << 32) | (uint64_t(inst.clipDepth) << 16) | (uint64_t(inst.blendMode) << 8) |
                      (uint64_t(inst.visible) << 1) | uint64_t(inst.buttonState) << 40);
        if (inst.hasBackground)
            mixKey(h, (uint64_t(inst.background.r) << 16) | (uint64_t(inst.background.g) << 8) | inst.background.b | (uint64_t(1) << 32));
        for (const Filter& f : inst.filters) {
            const double v[] = {static_cast<double>(f.kind), f.blurX, f.blurY, static_cast<double>(f.passes), f.angle,
                                f.distance, f.strength, static_cast<double>(f.placement), static_cast<double>(f.knockout),
                                static_cast<double>(f.hideObject)};
            for (double x : v)
                mixReal(h, x);
            mixKey(h, (uint64_t(f.color.r) << 24) | (uint64_t(f.color.g) << 16) | (uint64_t(f.color.b) << 8) | f.color.a);
            mixKey(h, (uint64_t(f.highlight.r) << 24) | (uint64_t(f.highlight.g) << 16) | (uint64_t(f.highlight.b) << 8) | f.highlight.a);
            for (const FilterStop& stop : f.stops)
                mixKey(h, (uint64_t(stop.color.r) << 32) | (uint64_t(stop.color.g) << 24) | (uint64_t(stop.color.b) << 16) |
                              (uint64_t(stop.color.a) << 8) | stop.ratio);
            for (float x : f.matrix)
                mixReal(h, static_cast<double>(x));
            for (float x : f.kernel)
                mixReal(h, static_cast<double>(x));
            mixKey(h, reinterpret_cast<uintptr_t>(f.map.get()));
        }
        const auto child = [&](const Instance& c) {
            const double v[] = {c.matrix.a, c.matrix.b, c.matrix.c, c.matrix.d, c.matrix.tx, c.matrix.ty};
            for (double x : v)
                mixReal(h, x);
            mixCx(h, c.cxform);
            mixKey(h, uint64_t(c.depth));
            contentKey(c, h, depth + 1);
        };
        if (inst.clip) {
            mixKey(h, static_cast<uint64_t>(inst.clip->frame));
            for (const auto& entry : inst.clip->list)
                child(*entry.second);
        }
        for (const auto& part : inst.parts) {
            if (part.first & inst.buttonState)
                child(*part.second);
        }
    }

    void drawInstance(Renderer& r, Instance& inst, const Matrix& parentM, const ColorTransform& parentCx,
                      bool mask)
    {
        if (draws > limits.maxDrawsPerFrame || edges > limits.maxEdgesPerFrame)
            return;
        Matrix m = parentM * inst.matrix;
        ColorTransform cx = parentCx * inst.cxform;
        BlendMode mode = mask ? BlendMode::Normal : blendOf(inst.blendMode);
        // A cached bitmap is drawn once into a layer of its own and kept
        // while it stays the same; filters draw through one.
        const bool filtered = !mask && !inst.filters.empty();
        const bool cached = !mask && (inst.cacheAsBitmap || filtered);
        int originX = 0, originY = 0;
        if (cached || inst.cacheAsBitmap) {
            // The bitmap starts at the object's top-left corner moved to the
            // nearest whole pixel.
            Box box;
            addBounds(inst, m, box, 0);
            if (!box.empty) {
                originX = static_cast<int>(std::max(-1e9, std::min(1e9, std::round(box.x0))));
                originY = static_cast<int>(std::max(-1e9, std::min(1e9, std::round(box.y0))));
                m.tx += std::round(box.x0) - box.x0;
                m.ty += std::round(box.y0) - box.y0;
            }
        }
        if (cached && mode == BlendMode::Normal)
            mode = BlendMode::Layer;
        bool layer = mode != BlendMode::Normal;
        if (layer) {
            r.beginLayer(mode);
            cx = ColorTransform();
        }
        const uint64_t key = cached ? cacheKey(inst, m, originX, originY, r) : 0;
        if (!cached || !r.drawKeptLayer(key, originX, originY)) {
            if (inst.hasScrollRect)
                drawScrolled(r, inst, m, cx, mask);
            else
                drawContent(r, inst, m, cx, mask);
            if (filtered)
                r.filterLayer(inst.filters, stageScale);
            if (cached)
                r.keepLayer(key, originX, originY);
        }
        if (layer)
            r.endLayer(parentCx * inst.cxform);
    }

    // scrollRect: the object shows its twips from the rectangle's corner on,
    // moved to its origin on whole pixels, and clipped to the rectangle.
    void drawScrolled(Renderer& r, Instance& inst, const Matrix& m, const ColorTransform& cx, bool mask)
    {
        const Rect& s = inst.scrollRect;
        Shape clip;
        FillStyle fill;
        clip.fills.push_back(fill);
        rectangle(clip, {0, s.xMax - s.xMin, 0, s.yMax - s.yMin});
        if (!mask) {
            r.beginMask();
            r.drawShape(clip, m, ColorTransform(), nullptr);
            r.endMask();
        }
        Matrix scrolled = m;
        scrolled.tx = std::round(m.tx - m.a * s.xMin - m.c * s.yMin);
        scrolled.ty = std::round(m.ty - m.b * s.xMin - m.d * s.yMin);
        drawContent(r, inst, scrolled, cx, mask);
        if (!mask)
            r.popMask();
    }

    // A sprite with a scaling grid, scaled and neither turned nor skewed:
    // the shapes right inside it go through the grid, anything else is
    // drawn as it is. False when the grid does not apply.
    bool drawScaledNine(Renderer& r, Instance& inst, const Matrix& m, const ColorTransform& cx, bool mask)
    {
        const bool scripted = inst.hasScale9;
        if ((!scripted && !inst.character->hasScalingGrid) || inst.matrix.b != 0 || inst.matrix.c != 0 ||
            (inst.matrix.a == 1 && inst.matrix.d == 1))
            return false;
        ScalingGrid grid;
        grid.grid = scripted ? inst.scale9 : inst.character->scalingGrid;
        grid.scaleX = inst.matrix.a;
        grid.scaleY = inst.matrix.d;
        Box box;
        for (const auto& child : inst.clip->list)
            addBounds(*child.second, child.second->matrix, box, 1);
        if (box.empty)
            return false;
        grid.bounds = Rect{static_cast<int32_t>(std::floor(box.x0)), static_cast<int32_t>(std::ceil(box.x1)),
                           static_cast<int32_t>(std::floor(box.y0)), static_cast<int32_t>(std::ceil(box.y1))};
        for (const auto& entry : inst.clip->list) {
            Instance& child = *entry.second;
            if (child.clipDepth > 0 || !child.visible)
                continue;
            if (child.character->kind == CharacterKind::Shape)
                paint(r, scaleNine(child.character->shape, child.matrix, grid), m, cx * child.cxform);
            else
                drawInstance(r, child, m, cx, mask);
        }
        return true;
    }

    // What an instance draws, its own layer and filters aside.
    void drawContent(Renderer& r, Instance& inst, const Matrix& m, const ColorTransform& cx, bool mask)
    {
        if (inst.hasBackground && !mask)
            drawBackground(r, inst, m, cx);
        const Character& ch = *inst.character;
        switch (ch.kind) {
        case CharacterKind::Shape:
            paint(r, ch.shape, m, cx);
            break;
        case CharacterKind::Bitmap: {
            if (!inst.morphValid) {
                inst.morphShape = bitmapShape(inst.characterId);
                inst.morphValid = true;
            }
            // At its own size a bitmap lands on whole pixels, unresampled.
            Matrix at = m;
            if (at.b == 0 && at.c == 0 && std::fabs(std::fabs(at.a) - 0.05) < 1e-9 && std::fabs(std::fabs(at.d) - 0.05) < 1e-9) {
                at.tx = std::round(at.tx);
                at.ty = std::round(at.ty);
            }
            paint(r, inst.morphShape, at, cx);
            break;
        }
        case CharacterKind::MorphShape: {
            if (!inst.morphValid || inst.morphRatio != inst.ratio) {
                inst.morphShape = ch.morph.at(inst.ratio);
                inst.morphRatio = inst.ratio;
                inst.morphValid = true;
            }
            paint(r, inst.morphShape, m, cx);
            break;
        }
        case CharacterKind::Sprite:
            if (inst.clip && !drawScaledNine(r, inst, m, cx, mask))
                drawList(r, inst.clip->list, m, cx, mask);
            break;
        case CharacterKind::Button: {
            uint8_t state = inst.buttonState;
            for (auto& part : inst.parts)
                if (part.first & state)
                    drawInstance(r, *part.second, m, cx, mask);
            break;
        }
        case CharacterKind::Text:
        case CharacterKind::EditText:
        {
            const DeviceTextSink device = [&](const DeviceText& text) {
                if (++draws > limits.maxDrawsPerFrame)
                    return;
                const DeviceCoverage* c = deviceCoverageOf(text);
                if (c && c->width > 0 && c->height > 0 &&
                    c->data.size() >= static_cast<std::size_t>(c->width) * c->height)
                    r.drawCoverage(c->x, c->y, c->width, c->height, c->data.data(), text.color, cx);
            };
            drawText(
                ch.text, movie, m,
                [&](const Shape& glyph, const Matrix& toPixels, Rgba color) { paint(r, glyph, toPixels, cx, &color); },
                deviceText ? &device : nullptr);
            break;
        }
        default:
            break;
        }
    }

    // A bitmap placed by itself: a rectangle of its size filled with it.
    Shape bitmapShape(uint16_t id)
    {
        Shape shape;
        const Bitmap* bitmap = movie.bitmap(id);
        if (!bitmap || bitmap->width <= 0 || bitmap->height <= 0)
            return shape;
        FillStyle fill;
        fill.kind = FillKind::Bitmap;
        fill.bitmapId = id;
        fill.bitmapRepeat = false;
        fill.bitmapSmooth = false;
        fill.matrix.a = fill.matrix.d = 20;
        shape.fills.push_back(fill);
        rectangle(shape, {0, bitmap->width * 20, 0, bitmap->height * 20});
        return shape;
    }

    static void rectangle(Shape& shape, const Rect& r)
    {
        const int32_t xs[] = {r.xMin, r.xMax, r.xMax, r.xMin}, ys[] = {r.yMin, r.yMin, r.yMax, r.yMax};
        for (int i = 0; i < 4; ++i) {
            ShapeEdge e;
            e.x0 = xs[i];
            e.y0 = ys[i];
            e.x1 = xs[(i + 1) % 4];
            e.y1 = ys[(i + 1) % 4];
            e.fill1 = 1;
            shape.edges.push_back(e);
        }
        shape.bounds = shape.edgeBounds = r;
        StyleGroup g;
        g.fillCount = static_cast<uint32_t>(shape.fills.size());
        g.edgeCount = shape.edges.size();
        shape.groups.push_back(g);
    }

    // cacheAsBitmap with an opaque background: the cached bitmap, whole
    // pixels around the content, starts as that colour.
    void drawBackground(Renderer& r, const Instance& inst, const Matrix& m, const ColorTransform& cx)
    {
        Box box;
        addBounds(inst, m, box, 0);
        if (box.empty)
            return;
        Shape shape;
        FillStyle fill;
        fill.color = inst.background;
        shape.fills.push_back(fill);
        rectangle(shape, {static_cast<int32_t>(std::floor(box.x0)) * 20, static_cast<int32_t>(std::ceil(box.x1)) * 20,
                          static_cast<int32_t>(std::floor(box.y0)) * 20, static_cast<int32_t>(std::ceil(box.y1)) * 20});
        Matrix toPixels;
        toPixels.a = toPixels.d = 1.0 / 20;
        r.drawShape(shape, toPixels, cx, nullptr);
    }

    // --- the mouse -------------------------------------------------------

    void addBounds(const Instance& inst, const Matrix& m, Box& box, unsigned depth)
    {
        if (depth > limits.maxNesting)
            return;
        const Character& ch = *inst.character;
        const Rect* bounds = nullptr;
        Rect text;
        if (ch.kind == CharacterKind::Shape) {
            bounds = &ch.shape.bounds;
        } else if ((ch.kind == CharacterKind::MorphShape || ch.kind == CharacterKind::Bitmap) && inst.morphValid) {
            bounds = &inst.morphShape.bounds;
        } else if (ch.kind == CharacterKind::Text || ch.kind == CharacterKind::EditText) {
            text = textBounds(ch.text);
            bounds = &text;
        }
        if (bounds) {
            const double xs[] = {static_cast<double>(bounds->xMin), static_cast<double>(bounds->xMax)};
            const double ys[] = {static_cast<double>(bounds->yMin), static_cast<double>(bounds->yMax)};
            for (double x : xs)
                for (double y : ys)
                    box.add(m.apply({x, y}));
        }
        if (inst.clip)
            for (const auto& child : inst.clip->list)
                addBounds(*child.second, m * child.second->matrix, box, depth + 1);
        for (const auto& part : inst.parts)
            if (part.first & inst.buttonState)
                addBounds(*part.second, m * part.second->matrix, box, depth + 1);
    }

    // Whether a hit-area character holds the point: shapes by their outline,
    // sprites by their children, anything else by its bounds.
    bool hits(const Instance& inst, const Matrix& m, double x, double y, unsigned depth)
    {
        if (depth > limits.maxNesting)
            return false;
        const Character& ch = *inst.character;
        if (ch.kind == CharacterKind::Shape || (ch.kind == CharacterKind::MorphShape && inst.morphValid)) {
            double det = m.determinant();
            if (det == 0)
                return false;
            double dx = x - m.tx, dy = y - m.ty;
            Point local{(m.d * dx - m.c * dy) / det, (m.a * dy - m.b * dx) / det};
            const Shape& shape = ch.kind == CharacterKind::Shape ? ch.shape : inst.morphShape;
            return shapeContains(shape, local);
        }
        if (inst.clip) {
            for (const auto& child : inst.clip->list)
                if (child.second->clipDepth == 0 && hits(*child.second, m * child.second->matrix, x, y, depth + 1))
                    return true;
            return false;
        }
        Box box;
        addBounds(inst, m, box, depth);
        return box.contains(x, y);
    }

    // The topmost button whose hit area holds the point.
    Instance* hitButton(const DisplayList& list, const Matrix& m, double x, double y, unsigned depth)
    {
        if (depth > limits.maxNesting)
            return nullptr;
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            Instance& inst = *it->second;
            if (!inst.visible || inst.clipDepth > 0)
                continue;
            Matrix im = m * inst.matrix;
            if (inst.character->kind == CharacterKind::Button) {
                for (const auto& part : inst.parts)
                    if ((part.first & ButtonHitTest) && hits(*part.second, im * part.second->matrix, x, y, depth + 1))
                        return &inst;
            } else if (inst.clip) {
                if (Instance* hit = hitButton(inst.clip->list, im, x, y, depth + 1))
                    return hit;
            }
        }
        return nullptr;
    }

    void buttonEvent(Instance* button, uint16_t condition)
    {
        if (!button)
            return;
        std::shared_ptr<Clip> parent = button->parent.lock();
        if (!parent)
            return;
        for (const ButtonAction& action : button->character->button.actions)
            if (action.conditions & condition)
                queue.push_back({parent, &action.actions});
    }

    void updateStates()
    {
        if (hover)
            hover->buttonState = mousePressed && pressed == hover ? ButtonDown : ButtonOver;
        if (pressed && pressed != hover)
            pressed->buttonState = ButtonUp;
    }

    void mouseMoved()
    {
        if (!root)
            return;
        Instance* hit = hitButton(root->list, stageMatrix(), mouseX, mouseY, 0);
        if (hit != hover) {
            if (hover) {
                hover->buttonState = ButtonUp;
                buttonEvent(hover, mousePressed && pressed == hover ? CondOverDownToOutDown : CondOverUpToIdle);
            }
            hover = hit;
            if (hover)
                buttonEvent(hover, mousePressed && pressed == hover ? CondOutDownToOverDown : CondIdleToOverUp);
        }
        updateStates();
        runQueue();
    }
};

MoviePlayer::MoviePlayer() : impl_(new Impl) {}
MoviePlayer::~MoviePlayer() = default;

bool MoviePlayer::load(const uint8_t* data, std::size_t size, std::string& reason, const PlayerLimits& limits)
{
    // What the host set stays across loads: its FSCommand handler, device
    // text, loop, quality and background override.
    std::unique_ptr<Impl> next(new Impl);
    next->fsCommand = std::move(impl_->fsCommand);
    next->deviceText = impl_->deviceText;
    next->deviceFonts = impl_->deviceFonts;
    next->loop = impl_->loop;
    next->quality = impl_->quality;
    next->stageScale = impl_->stageScale;
    next->backgroundOverride = impl_->backgroundOverride;
    next->limits = limits;
    impl_ = std::move(next);
    LoadLimits load;
    load.movie.maxMovieBytes = limits.maxMovieBytes;
    if (!impl_->movie.load(data, size, reason, load)) {
        impl_->movie = MovieDefinition();
        return false;
    }
    impl_->movie.setDeviceFonts(impl_->deviceFonts);
    impl_->root = std::make_shared<Clip>();
    impl_->root->timeline = &impl_->movie.root();
    impl_->enterFrame(impl_->root, 0, true);
    impl_->runQueue();
    return true;
}

bool MoviePlayer::loaded() const { return impl_->root != nullptr; }

int MoviePlayer::stageWidth() const
{
    const Rect& s = impl_->movie.stage();
    int64_t w = (static_cast<int64_t>(s.xMax) - s.xMin) / 20;
    return static_cast<int>(std::max<int64_t>(0, std::min<int64_t>(w, 1 << 30)));
}

int MoviePlayer::stageHeight() const
{
    const Rect& s = impl_->movie.stage();
    int64_t h = (static_cast<int64_t>(s.yMax) - s.yMin) / 20;
    return static_cast<int>(std::max<int64_t>(0, std::min<int64_t>(h, 1 << 30)));
}

double MoviePlayer::frameRate() const { return impl_->movie.frameRate() / 256.0; }
unsigned MoviePlayer::version() const { return impl_->movie.version(); }
Rgba MoviePlayer::background() const { return impl_->movie.background(); }
void MoviePlayer::setBackgroundOverride(std::optional<Rgba> colour) { impl_->backgroundOverride = colour; }

uint32_t MoviePlayer::totalFrames() const
{
    return impl_->root ? static_cast<uint32_t>(impl_->root->timeline->frames.size()) : 1;
}

void MoviePlayer::advance()
{
    if (!impl_->root)
        return;
    ++impl_->tick;
    impl_->advanceClip(impl_->root);
    impl_->runQueue();
    impl_->updateStates();
}

void MoviePlayer::setScale(double scale)
{
    if (std::isfinite(scale))
        impl_->stageScale = std::max(1.0 / 16, std::min(16.0, scale));
}

double MoviePlayer::scale() const { return impl_->stageScale; }

int MoviePlayer::frameWidth() const
{
    const Rect& s = impl_->movie.stage();
    const double w = (static_cast<double>(s.xMax) - s.xMin) * impl_->stageScale / 20;
    return static_cast<int>(std::max(0.0, std::min(w, double(1 << 30))));
}

int MoviePlayer::frameHeight() const
{
    const Rect& s = impl_->movie.stage();
    const double h = (static_cast<double>(s.yMax) - s.yMin) * impl_->stageScale / 20;
    return static_cast<int>(std::max(0.0, std::min(h, double(1 << 30))));
}

void MoviePlayer::render(Renderer& renderer)
{
    int w = frameWidth(), h = frameHeight();
    // A frame buffer past 16384 pixels a side or 64 M pixels is refused: the
    // stage size comes straight from the file.
    if (w > 16384 || h > 16384 || static_cast<int64_t>(w) * h > (int64_t(64) << 20))
        return;
    if ((renderer.width() != w || renderer.height() != h) && !renderer.resize(w, h))
        return;
    renderer.setQuality(impl_->quality);
    renderer.clear(impl_->backgroundOverride.value_or(impl_->movie.background()));
    if (!impl_->root)
        return;
    impl_->draws = 0;
    impl_->edges = 0;
    impl_->drawList(renderer, impl_->root->list, impl_->stageMatrix(impl_->stageScale), ColorTransform(), false);
}

void MoviePlayer::play()
{
    if (impl_->root)
        impl_->root->playing = true;
}

void MoviePlayer::stop()
{
    if (impl_->root)
        impl_->root->playing = false;
}

bool MoviePlayer::isPlaying() const { return impl_->root && impl_->root->playing; }

void MoviePlayer::gotoFrame(uint32_t frame)
{
    if (!impl_->root)
        return;
    impl_->gotoFrame(impl_->root, frame);
    impl_->runQueue();
}

uint32_t MoviePlayer::currentFrame() const
{
    return impl_->root && impl_->root->frame > 0 ? static_cast<uint32_t>(impl_->root->frame) : 0;
}

void MoviePlayer::rewind()
{
    gotoFrame(0);
    stop();
}

void MoviePlayer::forward()
{
    gotoFrame(currentFrame() + 1);
    stop();
}

void MoviePlayer::back()
{
    if (currentFrame() > 0)
        gotoFrame(currentFrame() - 1);
    stop();
}

void MoviePlayer::setLoop(bool loop) { impl_->loop = loop; }
bool MoviePlayer::loop() const { return impl_->loop; }
void MoviePlayer::setQuality(Quality quality) { impl_->quality = quality; }
Quality MoviePlayer::quality() const { return impl_->quality; }

void MoviePlayer::mouseMove(double x, double y)
{
    impl_->mouseX = x;
    impl_->mouseY = y;
    impl_->mouseMoved();
}

void MoviePlayer::mouseDown()
{
    Impl& i = *impl_;
    i.mouseMoved();
    i.mousePressed = true;
    i.pressed = i.hover;
    i.buttonEvent(i.pressed, CondOverUpToOverDown);
    i.updateStates();
    i.runQueue();
}

void MoviePlayer::mouseUp()
{
    Impl& i = *impl_;
    i.mouseMoved();
    if (i.pressed)
        i.buttonEvent(i.pressed, i.pressed == i.hover ? CondOverDownToOverUp : CondOutDownToIdle);
    if (i.pressed && i.pressed != i.hover)
        i.pressed->buttonState = ButtonUp;
    i.mousePressed = false;
    i.pressed = nullptr;
    i.updateStates();
    i.runQueue();
}

// A fresh hit test: `hover` may name an instance the timeline has removed since.
bool MoviePlayer::overButton() const
{
    return impl_->root &&
           impl_->hitButton(impl_->root->list, impl_->stageMatrix(), impl_->mouseX, impl_->mouseY, 0) != nullptr;
}

void MoviePlayer::setFsCommandHandler(FsCommandHandler handler) { impl_->fsCommand = std::move(handler); }
void MoviePlayer::setDeviceText(DeviceTextRasterizer* rasterizer) { impl_->deviceText = rasterizer; }

void MoviePlayer::setDeviceFonts(const DeviceFonts* fonts)
{
    impl_->deviceFonts = fonts;
    impl_->movie.setDeviceFonts(fonts);
}

} // namespace swf
