// Turns closed outlines, given as loose line segments in pixel space, into
// an A8 coverage mask over the rectangle they touch. Segments need not be
// linked: only their direction and position count, so a fill's edges can be
// added in any order as long as each contour closes. Many solid fills can
// also go through in one sweep, straight to pixels (renderStyles).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace swf {

enum class FillRule { EvenOdd, NonZero };

// How a pixel's coverage is measured. Centre: in or out by the pixel's
// centre, with the top-left rule for centres on an edge. FourSamples: the
// share of four samples inside (the rotated grid of 4x multisampling), so
// edges take five levels. Area: the exact covered area.
enum class Sampling { Centre, FourSamples, Area };

// Coverage of one outline: `data` holds `height` rows of `stride` bytes (a
// multiple of 4, as pixman's A8 images want); its pixel (0, 0) is frame pixel
// (x, y). Owned by the rasterizer, valid until its next render.
struct Coverage {
    int x = 0, y = 0, width = 0, height = 0;
    int stride = 0;
    uint8_t* data = nullptr;

    bool empty() const { return width <= 0 || height <= 0; }
};

// A rectangle of frame pixels, [x0, x1) x [y0, y1).
struct PixelBox {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

class Rasterizer {
public:
    // Starts a new outline; no pixel outside [x0, x1) x [y0, y1) is touched.
    void reset(int x0, int y0, int x1, int y1);
    void addLine(double x0, double y0, double x1, double y1);
    // For renderStyles: the fills left and right of the lines added next,
    // as indices into its colours (0 for none). A line counts for its right
    // fill as it runs and for its left fill reversed.
    void setStyles(uint32_t left, uint32_t right)
    {
        left_ = left;
        right_ = right;
    }
    bool hasLines() const { return !lines_.empty(); }
    // Whether nothing within the box can change a pixel's coverage: it lies
    // wholly above, below, left or right of the clip. Curves there can be
    // taken as their chords.
    bool outsideClip(double x0, double y0, double x1, double y1) const
    {
        return y1 <= clipY0_ || y0 >= clipY1_ || x1 <= clipX0_ || x0 >= clipX1_;
    }
    // An outline beyond this many segments is cut short, so that no input
    // takes unbounded memory.
    static constexpr std::size_t kMaxLines = std::size_t(1) << 22;
    std::size_t lineCount() const { return lines_.size(); }

    Coverage render(FillRule rule, Sampling sampling);

    // Many solid fills in one sweep, each with its premultiplied colour
    // (0xAARRGGBB) from `colors`, onto `dst`, a frame of `stride` words.
    // FourSamples: each pixel of the lines' box gets the sum of the fills'
    // colours, each weighted by the share of its samples the fill covers, as
    // adding each fill's render() through its coverage into a transparent
    // `dst` would. Centre: the fills that cover a pixel's centre are painted
    // over it in their order. `written` gets the box that may have changed.
    // False, with nothing written, for outlines of more than kMaxSweepLines
    // lines or kMaxCrossings sample line crossings: render() takes those
    // fill by fill.
    bool renderStyles(FillRule rule, Sampling sampling, const uint32_t* colors, std::size_t colorCount,
                      uint32_t* dst, std::size_t stride, PixelBox& written);
    static constexpr std::size_t kMaxCrossings = std::size_t(1) << 22;
    static constexpr std::size_t kMaxSweepLines = std::size_t(1) << 20;

private:
    struct Line {
        float x0, y0, x1, y1;
        uint32_t left, right;
    };
    // renderStyles' lines as its samples see them (see SampleEdge), with
    // the fill that counts +1 where they cross a sample line, and the one
    // that counts -1.
    struct StyleEdge {
        double x0, y0, y1, dxdy;
        int rowEnd;
        uint32_t plus, minus;
    };
    // A crossing of one row, chained to the next in the same cell.
    struct RowCrossing {
        int32_t next;
        uint32_t plus, minus;
    };

    // The pixels the lines touch, within the clip; empty when none.
    PixelBox lineBox() const;
    void store(double x0, double y0, double x1, double y1);
    void accumulateArea(const Line& line, int bx0, int by0, int rowWidth, int rows);
    void accumulateSamples(const Line& line, int bx0, int by0, int rowWidth, int rows, int samples);

    std::vector<Line> lines_;
    std::vector<float> cells_;      // area changes (Sampling::Area)
    std::vector<int32_t> windings_; // winding changes per sample row
    std::vector<uint8_t> mask_;
    // Per row, the first and last cell any edge touched: outside them every
    // pixel takes the coverage left of them, so only that stretch is summed.
    std::vector<int> spanMin_, spanMax_;
    // Sampled coverage: per row, a bit for each cell an edge changed.
    std::vector<uint32_t> rowBits_;
    std::size_t bitWords_ = 0;
    // renderStyles: its lines as found and sorted by first row, where each
    // row's lines end in that order, the lines that cross the current row,
    // its crossings, the first crossing of each cell and a bit for each
    // column with any; per sample row each fill's winding and the fills it
    // is inside.
    std::vector<StyleEdge> styleEdges_, sortedEdges_;
    std::vector<uint32_t> rowStart_, active_;
    std::vector<RowCrossing> rowCrossings_;
    std::vector<int32_t> cellFirst_;
    std::vector<uint32_t> columnBits_;
    std::vector<int32_t> styleWindings_;
    std::vector<uint32_t> inside_[4];
    std::vector<uint32_t> touched_;
    uint32_t styleColor(const uint32_t* colors);
    void paintStyles(uint32_t* out, int count, const uint32_t* colors);
    uint32_t left_ = 0, right_ = 0;

    void touch(int row, int column)
    {
        spanMin_[row] = column < spanMin_[row] ? column : spanMin_[row];
        spanMax_[row] = column > spanMax_[row] ? column : spanMax_[row];
    }
    int clipX0_ = 0, clipY0_ = 0, clipX1_ = 0, clipY1_ = 0;
    float minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0;
};

} // namespace swf
