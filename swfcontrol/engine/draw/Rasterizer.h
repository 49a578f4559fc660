// Turns closed outlines, given as loose line segments in pixel space, into
// an A8 coverage mask over the rectangle they touch. Segments need not be
// linked: only their direction and position count, so a fill's edges can be
// added in any order as long as each contour closes.
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

class Rasterizer {
public:
    // Starts a new outline; no pixel outside [x0, x1) x [y0, y1) is touched.
    void reset(int x0, int y0, int x1, int y1);
    void addLine(double x0, double y0, double x1, double y1);
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

private:
    struct Line {
        float x0, y0, x1, y1;
    };

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

    void touch(int row, int column)
    {
        spanMin_[row] = column < spanMin_[row] ? column : spanMin_[row];
        spanMax_[row] = column > spanMax_[row] ? column : spanMax_[row];
    }
    int clipX0_ = 0, clipY0_ = 0, clipX1_ = 0, clipY1_ = 0;
    float minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0;
};

} // namespace swf
