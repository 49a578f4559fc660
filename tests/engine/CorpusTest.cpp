// Plays every folder of both SWF corpora through the engine with its own
// rule (test.toml: frames or ticks, image comparisons with triggers,
// tolerances, outlier counts, quality, the viewport's scale) and compares the
// captured stage with the expected images. Folders named in a set's passing
// list (corpus-passing.txt, corpus-2-passing.txt) must pass; the others
// report their counts and are skipped, so a regression fails and progress
// shows. Each set prints how many of its folders pass.
// Failing captures are written beside the build as NAME.actual.png and
// NAME.diff.png (red: outlier pixels).
#include "swfcontrol/engine/draw/Renderer.h"
#include "swfcontrol/engine/timeline/MoviePlayer.h"
#include "tools/fallbackfont/FallbackFonts.h"
#include "tools/swfrender/PngFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

struct Check {
    int tolerance = 0;
    long maxOutliers = 0;
};

struct Comparison {
    std::string name;
    long trigger = -1; // frames played before the capture; -1: at the end
    Check base;
    std::vector<Check> checks; // when present they replace `base`
};

struct CorpusCase {
    long frames = 1;
    swf::Quality quality = swf::Quality::High;
    // viewport_dimensions: the stage is fitted into width x height pixels,
    // times scale_factor; 0 when the test gives none.
    double viewportWidth = 0, viewportHeight = 0, scaleFactor = 1;
    // Device text: with_default_font draws it with the fallback font; a
    // [fonts.*] table names a font file of the folder instead.
    bool defaultFont = false;
    std::string fontFile;
    std::vector<Comparison> comparisons;
};

std::string trim(const std::string& s)
{
    std::size_t a = s.find_first_not_of(" \t\r");
    std::size_t b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

Comparison& comparisonNamed(CorpusCase& c, std::string name)
{
    name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
    for (Comparison& comp : c.comparisons)
        if (comp.name == name)
            return comp;
    c.comparisons.push_back(Comparison());
    c.comparisons.back().name = name;
    return c.comparisons.back();
}

// A number from an inline table: `key = 1.5` inside `{ ... }`, or 0.
double inlineNumber(const std::string& table, const std::string& key)
{
    std::size_t at = table.find(key);
    while (at != std::string::npos) {
        const bool whole = (at == 0 || !std::isalnum(static_cast<unsigned char>(table[at - 1]))) &&
                           table.compare(at + key.size(), 2, " =") == 0;
        if (whole)
            return std::atof(table.c_str() + table.find('=', at) + 1);
        at = table.find(key, at + 1);
    }
    return 0;
}

// The few TOML forms the corpus uses: sections, arrays of tables, integers,
// booleans, strings and the inline tables of with_renderer and
// viewport_dimensions.
bool readCase(const std::string& path, CorpusCase& out)
{
    std::ifstream in(path);
    if (!in)
        return false;
    std::string section, line;
    Check* check = nullptr;
    while (std::getline(in, line)) {
        std::string t = trim(line.substr(0, line.find('#')));
        if (t.empty())
            continue;
        if (t.compare(0, 2, "[[") == 0) {
            section = trim(t.substr(2, t.find("]]") - 2));
            check = nullptr;
            const std::string prefix = "image_comparisons.", suffix = ".checks";
            if (section.compare(0, prefix.size(), prefix) == 0 && section.size() > prefix.size() + suffix.size()) {
                Comparison& comp = comparisonNamed(out, section.substr(prefix.size(), section.size() - prefix.size() - suffix.size()));
                comp.checks.push_back(Check());
                check = &comp.checks.back();
            }
            continue;
        }
        if (t[0] == '[') {
            section = trim(t.substr(1, t.find(']') - 1));
            check = nullptr;
            if (section.compare(0, 18, "image_comparisons.") == 0)
                comparisonNamed(out, section.substr(18));
            continue;
        }
        std::size_t eq = t.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = trim(t.substr(0, eq)), value = trim(t.substr(eq + 1));
        // A dotted key at the top: image_comparisons."name".trigger = N
        std::string where = section;
        std::size_t dot = key.rfind('.');
        if (section.empty() && key.compare(0, 18, "image_comparisons.") == 0 && dot > 18) {
            where = key.substr(0, dot);
            key = key.substr(dot + 1);
        }
        if (where.empty() && (key == "num_frames" || key == "num_ticks")) {
            out.frames = std::atol(value.c_str());
        } else if (section == "player_options" && key == "with_renderer") {
            if (value.find("\"low\"") != std::string::npos)
                out.quality = swf::Quality::Low;
        } else if (section == "player_options" && key == "with_default_font") {
            out.defaultFont = value == "true";
        } else if (section.compare(0, 6, "fonts.") == 0 && key == "path") {
            out.fontFile = value.substr(1, value.size() >= 2 ? value.size() - 2 : 0);
        } else if (section == "player_options" && key == "viewport_dimensions") {
            out.viewportWidth = inlineNumber(value, "width");
            out.viewportHeight = inlineNumber(value, "height");
            const double factor = inlineNumber(value, "scale_factor");
            out.scaleFactor = factor > 0 ? factor : 1;
        } else if (check) {
            if (key == "tolerance")
                check->tolerance = std::atoi(value.c_str());
            else if (key == "max_outliers")
                check->maxOutliers = std::atol(value.c_str());
        } else if (where.compare(0, 18, "image_comparisons.") == 0) {
            Comparison& comp = comparisonNamed(out, where.substr(18));
            if (key == "tolerance")
                comp.base.tolerance = std::atoi(value.c_str());
            else if (key == "max_outliers")
                comp.base.maxOutliers = std::atol(value.c_str());
            else if (key == "trigger")
                comp.trigger = std::atol(value.c_str());
        }
    }
    if (out.comparisons.empty())
        comparisonNamed(out, "output");
    return true;
}

long outliers(const swf::RgbaImage& actual, const swf::RgbaImage& expected, int tolerance)
{
    long n = 0;
    for (std::size_t i = 0; i < expected.rgba.size(); i += 4)
        for (int c = 0; c < 3; ++c)
            if (std::abs(actual.rgba[i + c] - expected.rgba[i + c]) > tolerance)
                ++n;
    return n;
}

swf::RgbaImage diffImage(const swf::RgbaImage& actual, const swf::RgbaImage& expected, int tolerance)
{
    swf::RgbaImage d = expected;
    for (std::size_t i = 0; i < d.rgba.size(); i += 4) {
        bool bad = false;
        for (int c = 0; c < 3; ++c)
            bad = bad || std::abs(actual.rgba[i + c] - expected.rgba[i + c]) > tolerance;
        uint8_t grey = static_cast<uint8_t>((expected.rgba[i] + expected.rgba[i + 1] + expected.rgba[i + 2]) / 12 + 160);
        d.rgba[i] = bad ? 255 : grey;
        d.rgba[i + 1] = bad ? 0 : grey;
        d.rgba[i + 2] = bad ? 0 : grey;
        d.rgba[i + 3] = 255;
    }
    return d;
}

// One corpus: the folders copied into the project, the GPL ones used from
// the shared copy, and the list of those that must pass.
struct CorpusSet {
    const char* name;
    const char* local;
    const char* shared;
    const char* passing;
};

const CorpusSet kSets[] = {
    {"swf-corpus", QP_ENGINE_CORPUS, QP_SHARED_CORPUS, QP_ENGINE_CORPUS_PASSING},
    {"swf-corpus-2", QP_ENGINE_CORPUS_2, QP_SHARED_CORPUS_2, QP_ENGINE_CORPUS_2_PASSING},
};

struct CorpusFolder {
    const CorpusSet* set;
    std::string path;
};

void PrintTo(const CorpusFolder& folder, std::ostream* os) { *os << folder.path; }

std::vector<CorpusFolder> listFolders(const CorpusSet& set)
{
    std::vector<CorpusFolder> folders;
    const std::string roots[] = {set.local, set.shared};
    std::set<std::string> seen;
    for (const std::string& root : roots) {
        DIR* dir = opendir(root.c_str());
        if (!dir)
            continue;
        while (dirent* e = readdir(dir)) {
            std::string name = e->d_name;
            struct stat st;
            std::string path = root + "/" + name;
            if (name[0] == '.' || stat((path + "/test.toml").c_str(), &st) != 0 || seen.count(name))
                continue;
            // Only the GPL folders come from the shared copy; they are never copied here.
            if (root != set.local && name.compare(0, 11, "from_gnash_") != 0)
                continue;
            seen.insert(name);
            folders.push_back({&set, path});
        }
        closedir(dir);
    }
    std::sort(folders.begin(), folders.end(),
              [](const CorpusFolder& a, const CorpusFolder& b) { return a.path < b.path; });
    return folders;
}

std::set<std::string> expectedToPass(const CorpusSet& set)
{
    std::set<std::string> names;
    std::ifstream in(set.passing);
    std::string line;
    while (std::getline(in, line)) {
        line = trim(line.substr(0, line.find('#')));
        if (!line.empty())
            names.insert(line);
    }
    return names;
}

// Folders run and passed per set, printed when the run ends.
struct Tally {
    int run = 0, passed = 0;
};
Tally tallies[sizeof kSets / sizeof kSets[0]];

class TallyPrinter : public testing::Environment {
public:
    void TearDown() override
    {
        for (std::size_t i = 0; i < sizeof kSets / sizeof kSets[0]; ++i) {
            if (tallies[i].run)
                std::printf("%s: %d of %d folders pass\n", kSets[i].name, tallies[i].passed, tallies[i].run);
        }
    }
};
testing::Environment* const tallyPrinter = testing::AddGlobalTestEnvironment(new TallyPrinter);

std::string baseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

class Corpus : public testing::TestWithParam<CorpusFolder> {};

TEST_P(Corpus, MatchesExpectedImages)
{
    const CorpusSet& set = *GetParam().set;
    const std::string folder = GetParam().path;
    const std::string name = baseName(folder);
    CorpusCase c;
    ASSERT_TRUE(readCase(folder + "/test.toml", c));
    Tally& tally = tallies[&set - kSets];
    struct stat st;
    if (stat((folder + "/" + c.comparisons.front().name + ".expected.png").c_str(), &st) != 0) {
        // Judged by its trace output alone, which needs ActionScript.
        ++tally.run;
        GTEST_SKIP() << name << " has no expected image";
    }
    std::ifstream in(folder + "/test.swf", std::ios::binary);
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    swf::MoviePlayer player;
    std::string reason;
    swf::FallbackFonts fonts;
    if (!c.fontFile.empty()) {
        ASSERT_TRUE(fonts.load(folder + "/" + c.fontFile, "", "", "", reason)) << reason;
        player.setDeviceFonts(&fonts);
    } else if (c.defaultFont) {
        ASSERT_TRUE(fonts.loadShipped(reason)) << reason;
        player.setDeviceFonts(&fonts);
    }
    ASSERT_TRUE(player.load(data.data(), data.size(), reason)) << reason;
    player.setQuality(c.quality);
    if (c.viewportWidth > 0 && c.viewportHeight > 0 && player.stageWidth() > 0 && player.stageHeight() > 0)
        player.setScale(std::min(c.viewportWidth / player.stageWidth(), c.viewportHeight / player.stageHeight()) *
                        c.scaleFactor);

    long frames = c.frames;
    for (const Comparison& comp : c.comparisons)
        frames = std::max(frames, comp.trigger);
    std::vector<swf::RgbaImage> captures(c.comparisons.size());
    swf::Renderer renderer;
    for (long frame = 1; frame <= frames; ++frame) {
        if (frame > 1)
            player.advance();
        for (std::size_t i = 0; i < c.comparisons.size(); ++i) {
            long at = c.comparisons[i].trigger < 0 ? frames : c.comparisons[i].trigger;
            if (at != frame)
                continue;
            player.render(renderer);
            captures[i] = swf::fromPremultiplied(renderer.pixels(), renderer.width(), renderer.height());
        }
    }

    std::string outDir = std::string(QP_ENGINE_CORPUS_OUT) + "/" + name;
    std::ostringstream report;
    bool passed = true;
    for (std::size_t i = 0; i < c.comparisons.size(); ++i) {
        const Comparison& comp = c.comparisons[i];
        swf::RgbaImage expected;
        ASSERT_TRUE(swf::readPng(folder + "/" + comp.name + ".expected.png", expected, reason)) << reason;
        const swf::RgbaImage& actual = captures[i];
        if (actual.width != expected.width || actual.height != expected.height) {
            report << comp.name << ": size " << actual.width << "x" << actual.height << ", expected "
                   << expected.width << "x" << expected.height << "\n";
            passed = false;
            continue;
        }
        std::vector<Check> checks = comp.checks.empty() ? std::vector<Check>{comp.base} : comp.checks;
        bool ok = true;
        int worstTolerance = 0;
        report << comp.name << ":";
        for (const Check& check : checks) {
            long n = outliers(actual, expected, check.tolerance);
            report << " [tolerance " << check.tolerance << ": " << n << " outliers, " << check.maxOutliers
                   << " allowed]";
            if (n > check.maxOutliers) {
                ok = false;
                worstTolerance = check.tolerance;
            }
        }
        report << (ok ? " ok\n" : " FAIL\n");
        if (!ok) {
            passed = false;
            mkdir(QP_ENGINE_CORPUS_OUT, 0755);
            mkdir(outDir.c_str(), 0755);
            swf::writePng(outDir + "/" + comp.name + ".actual.png", actual, reason);
            swf::writePng(outDir + "/" + comp.name + ".diff.png", diffImage(actual, expected, worstTolerance), reason);
        }
    }
    ++tally.run;
    tally.passed += passed ? 1 : 0;
    bool mustPass = expectedToPass(set).count(name) != 0;
    if (mustPass) {
        EXPECT_TRUE(passed) << name << " no longer passes:\n" << report.str() << "images in " << outDir;
    } else if (!passed) {
        GTEST_SKIP() << name << " is not expected to pass yet:\n" << report.str();
    } else {
        std::printf("%s passes: add it to %s\n", name.c_str(), baseName(set.passing).c_str());
    }
    std::printf("%s", report.str().c_str());
}

std::string testName(const testing::TestParamInfo<CorpusFolder>& info)
{
    std::string n = baseName(info.param.path);
    for (char& ch : n)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return n;
}

INSTANTIATE_TEST_SUITE_P(Folders, Corpus, testing::ValuesIn(listFolders(kSets[0])), testName);
INSTANTIATE_TEST_SUITE_P(Second, Corpus, testing::ValuesIn(listFolders(kSets[1])), testName);

} // namespace
