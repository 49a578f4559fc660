#include "swfcontrol/engine/draw/Rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif

namespace swf {

void Rasterizer::reset(int x0, int y0, int x1, int y1)
{
    lines_.clear();
    clipX0_ = x0;
    clipY0_ = y0;
    clipX1_ = std::max(x0, x1);
    clipY1_ = std::max(y0, y1);
    minX_ = minY_ = 1e30f;
    maxX_ = maxY_ = -1e30f;
    left_ = right_ = 0;
}

void Rasterizer::store(double x0, double y0, double x1, double y1)
{
    if (y0 == y1)
        return;
    Line line{static_cast<float>(x0), static_cast<float>(y0), static_cast<float>(x1), static_cast<float>(y1), left_,
              right_};
    if (line.y0 == line.y1 || lines_.size() >= kMaxLines)
        return;
    lines_.push_back(line);
    minX_ = std::min(minX_, std::min(line.x0, line.x1));
    maxX_ = std::max(maxX_, std::max(line.x0, line.x1));
    minY_ = std::min(minY_, std::min(line.y0, line.y1));
    maxY_ = std::max(maxY_, std::max(line.y0, line.y1));
}

void Rasterizer::addLine(double x0, double y0, double x1, double y1)
{
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1) || y0 == y1)
        return;
    const double top = clipY0_, bottom = clipY1_, left = clipX0_, right = clipX1_;
    if (std::max(y0, y1) <= top || std::min(y0, y1) >= bottom)
        return;
    // Rows outside the clip are cut off exactly; nothing above or below them
    // depends on what lies there.
    const double dxdy = (x1 - x0) / (y1 - y0);
    auto clampY = [&](double& x, double& y) {
        if (y < top) {
            x += (top - y) * dxdy;
            y = top;
        } else if (y > bottom) {
            x += (bottom - y) * dxdy;
            y = bottom;
        }
    };
    clampY(x0, y0);
    clampY(x1, y1);
    if (y0 == y1)
        return;
    // Most lines lie wholly within the clip's columns.
    if (std::min(x0, x1) > left && std::max(x0, x1) < right) {
        store(x0, y0, x1, y1);
        return;
    }

    // Columns right of the clip only change pixels further right: drop them,
    // but the pixels up to the clip's edge may still be inside the outline.
    // Columns left of it still count as crossings: they collapse onto the
    // clip's left edge.
    double ts[4] = {0, 0, 0, 1};
    int n = 1;
    if (x0 != x1) {
        for (double cut : {left, right}) {
            const double t = (cut - x0) / (x1 - x0);
            if (t > 0 && t < 1)
                ts[n++] = t;
        }
    }
    ts[n++] = 1;
    // At most two cuts sit between the ends.
    if (n == 4 && ts[2] < ts[1])
        std::swap(ts[1], ts[2]);
    for (int i = 0; i + 1 < n; ++i) {
        const double ta = ts[i], tb = ts[i + 1];
        if (tb <= ta)
            continue;
        double xa = x0 + (x1 - x0) * ta, ya = y0 + (y1 - y0) * ta;
        double xb = x0 + (x1 - x0) * tb, yb = y0 + (y1 - y0) * tb;
        if (i == n - 2) {
            xb = x1;
            yb = y1;
        }
        const double mid = 0.5 * (xa + xb);
        if (mid >= right) {
            maxX_ = std::max(maxX_, static_cast<float>(right));
            minY_ = std::min(minY_, static_cast<float>(std::min(ya, yb)));
            maxY_ = std::max(maxY_, static_cast<float>(std::max(ya, yb)));
            continue;
        }
        if (mid <= left) {
            xa = xb = left;
        } else {
            xa = std::min(std::max(xa, left), right);
            xb = std::min(std::max(xb, left), right);
        }
        store(xa, ya, xb, yb);
    }
}

// Each cell gets the change in coverage from the pixel on its left, so that a
// running sum along the row gives every pixel's signed covered area.
void Rasterizer::accumulateArea(const Line& line, int bx0, int by0, int rowWidth, int rows)
{
    double x0 = line.x0 - bx0, y0 = line.y0 - by0, x1 = line.x1 - bx0, y1 = line.y1 - by0;
    double dir = 1;
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        dir = -1;
    }
    const int lastColumn = rowWidth - 1;
    const double dxdy = (x1 - x0) / (y1 - y0);
    const int rowStart = std::max(0, static_cast<int>(std::floor(y0)));
    const int rowEnd = std::min(rows, static_cast<int>(std::ceil(y1)));
    double x = x0 + (rowStart > y0 ? (rowStart - y0) * dxdy : 0);
    for (int r = rowStart; r < rowEnd; ++r) {
        const double dy = std::min<double>(r + 1, y1) - std::max<double>(r, y0);
        const double xNext = x + dxdy * dy;
        const double d = dy * dir;
        float* row = &cells_[static_cast<std::size_t>(r) * rowWidth];
        const double xl = std::max(0.0, std::min(x, xNext));
        const double xr = std::max(0.0, std::max(x, xNext));
        const int il = std::min(lastColumn - 1, static_cast<int>(xl));
        const int ir = std::min(lastColumn, static_cast<int>(std::ceil(xr)));
        touch(r, il);
        touch(r, std::max(il + 1, ir));
        if (ir <= il + 1) {
            const double mid = 0.5 * (xl + xr) - il;
            row[il] += static_cast<float>(d * (1 - mid));
            row[il + 1] += static_cast<float>(d * mid);
        } else {
            // The edge crosses several columns within this row: a triangle in
            // the first and last, even steps in between.
            const double s = 1 / (xr - xl);
            const double fl = xl - il;
            const double first = 0.5 * s * (1 - fl) * (1 - fl);
            const double fr = xr - (ir - 1);
            const double last = 0.5 * s * fr * fr;
            row[il] += static_cast<float>(d * first);
            if (ir == il + 2) {
                row[il + 1] += static_cast<float>(d * (1 - first - last));
            } else {
                const double second = s * (1.5 - fl);
                row[il + 1] += static_cast<float>(d * (second - first));
                const float step = static_cast<float>(d * s);
                for (int i = il + 2; i < ir - 1; ++i)
                    row[i] += step;
                const double beforeLast = second + (ir - il - 3) * s;
                row[ir - 1] += static_cast<float>(d * (1 - beforeLast - last));
            }
            row[ir] += static_cast<float>(d * last);
        }
        x = xNext;
    }
}

namespace {

// Sample positions within a pixel, one per sub-row: the pixel centre, or
// the standard rotated grid of four.
const double kCentre[1][2] = {{0.5, 0.5}};
const double kFour[4][2] = {{0.375, 0.125}, {0.875, 0.375}, {0.125, 0.625}, {0.625, 0.875}};

// std::ceil without the library call, for the small values met here.
inline int ceilInt(double v)
{
    const int i = static_cast<int>(v);
    return i < v ? i + 1 : i;
}

inline int floorInt(double v)
{
    const int i = static_cast<int>(v);
    return i > v ? i - 1 : i;
}

// The index of the lowest set bit of a non-zero word.
inline int lowestBit(uint32_t v)
{
#if defined(_MSC_VER) && !defined(__clang__)
    unsigned long i;
    _BitScanForward(&i, v);
    return static_cast<int>(i);
#else
    return __builtin_ctz(v);
#endif
}

// Calls emit(sample, column) for each sample line of row r that the line
// from (x0, y0) down to y1 crosses: the sample's cell is the first whose
// sample lies right of the crossing.
template <class Emit>
void crossSampleLines(double x0, double y0, double y1, double dxdy, int r, int samples, int lastColumn, Emit emit)
{
    const double (*pattern)[2] = samples == 4 ? kFour : kCentre;
    for (int k = 0; k < samples; ++k) {
        const double sy = r + pattern[k][1];
        // Samples on the top end count, those on the bottom end do not.
        if (sy < y0 || sy >= y1)
            continue;
        const double x = x0 + (sy - y0) * dxdy;
        emit(k, std::min(lastColumn, std::max(0, ceilInt(x - pattern[k][0]))));
    }
}

// A line as the samples see it: its vertices snapped, running down, and the
// pixel rows whose sample lines it may cross.
struct SampleEdge {
    double x0 = 0, y0 = 0, y1 = 0, dxdy = 0;
    int32_t dir = 1;
    int rowStart = 0, rowEnd = 0; // empty for a line no sample line can meet

    SampleEdge(float lx0, float ly0, float lx1, float ly1, int bx0, int by0, int rows)
    {
        // Vertices snap to 1/256 pixel first, as graphics hardware does:
        // which side of an edge a sample that lies almost on it falls
        // depends on that.
        const auto snap = [](double v) { return static_cast<double>(floorInt(v * 256 + 0.5)) / 256; };
        x0 = snap(lx0) - bx0, y0 = snap(ly0) - by0;
        double x1 = snap(lx1) - bx0;
        y1 = snap(ly1) - by0;
        if (y0 == y1)
            return;
        if (y0 > y1) {
            std::swap(x0, x1);
            std::swap(y0, y1);
            dir = -1;
        }
        dxdy = (x1 - x0) / (y1 - y0);
        rowStart = std::max(0, floorInt(y0));
        rowEnd = std::min(rows, ceilInt(y1));
    }

    template <class Emit>
    void crossRow(int r, int samples, int lastColumn, Emit emit) const
    {
        crossSampleLines(x0, y0, y1, dxdy, r, samples, lastColumn, emit);
    }
};

} // namespace

// Each sample's cell gets the winding change of the edges that cross its
// sample line left of the pixel's sample. A pixel's samples sit side by side
// (cell k of pixel x is windings_[(row * rowWidth + x) * samples + k]), so
// summing a row reads them together.
void Rasterizer::accumulateSamples(const Line& line, int bx0, int by0, int rowWidth, int rows, int samples)
{
    const SampleEdge edge(line.x0, line.y0, line.x1, line.y1, bx0, by0, rows);
    for (int r = edge.rowStart; r < edge.rowEnd; ++r) {
        int32_t* row = &windings_[static_cast<std::size_t>(r) * rowWidth * samples];
        uint32_t* bits = &rowBits_[static_cast<std::size_t>(r) * bitWords_];
        edge.crossRow(r, samples, rowWidth - 1, [&](int k, int column) {
            row[column * samples + k] += edge.dir;
            bits[column >> 5] |= 1u << (column & 31);
        });
    }
}

PixelBox Rasterizer::lineBox() const
{
    PixelBox box;
    if (lines_.empty())
        return box;
    box.x0 = std::max(clipX0_, static_cast<int>(std::floor(minX_)));
    box.x1 = std::min(clipX1_, static_cast<int>(std::ceil(maxX_)));
    box.y0 = std::max(clipY0_, static_cast<int>(std::floor(minY_)));
    box.y1 = std::min(clipY1_, static_cast<int>(std::ceil(maxY_)));
    return box;
}

Coverage Rasterizer::render(FillRule rule, Sampling sampling)
{
    Coverage out;
    const PixelBox box = lineBox();
    if (box.x1 <= box.x0 || box.y1 <= box.y0)
        return out;
    const int bx0 = box.x0, by0 = box.y0;
    const int width = box.x1 - bx0, height = box.y1 - by0;
    const int rowWidth = width + 2;
    const int subRows = sampling == Sampling::FourSamples ? 4 : 1;
    const std::size_t cellCount = static_cast<std::size_t>(rowWidth) * height * subRows;
    // Cells are left zero after every render, so growing is the only clearing.
    if (sampling == Sampling::Area && cells_.size() < cellCount)
        cells_.resize(cellCount, 0.0f);
    if (sampling != Sampling::Area && windings_.size() < cellCount)
        windings_.resize(cellCount, 0);
    const int stride = (width + 3) & ~3;
    mask_.resize(static_cast<std::size_t>(stride) * height);

    // Even-odd keeps the lowest bit of the winding, non-zero any bit.
    const int32_t insideMask = rule == FillRule::NonZero ? ~0 : 1;
    if (sampling != Sampling::Area) {
        // A bit for each cell an edge changed: between them, every pixel of a
        // row takes the coverage of the one before.
        bitWords_ = (static_cast<std::size_t>(rowWidth) + 31) / 32;
        rowBits_.assign(bitWords_ * height, 0);
        for (const Line& line : lines_)
            accumulateSamples(line, bx0, by0, rowWidth, height, subRows);
        static const uint8_t levels[5] = {0, 64, 128, 191, 255};
        for (int r = 0; r < height; ++r) {
            uint8_t* dst = &mask_[static_cast<std::size_t>(r) * stride];
            uint32_t* bits = &rowBits_[static_cast<std::size_t>(r) * bitWords_];
            int32_t* row = &windings_[static_cast<std::size_t>(r) * rowWidth * subRows];
            int32_t acc[4] = {0, 0, 0, 0};
            uint8_t level = 0;
            int runStart = 0;
            for (std::size_t word = 0; word < bitWords_; ++word) {
                while (bits[word] != 0) {
                    const int x = static_cast<int>(word * 32) + lowestBit(bits[word]);
                    bits[word] &= bits[word] - 1;
                    if (runStart < width)
                        std::memset(dst + runStart, level, static_cast<std::size_t>(std::min(x, width) - runStart));
                    runStart = x;
                    int32_t* cell = row + static_cast<std::size_t>(x) * subRows;
                    int inside = 0;
                    for (int k = 0; k < subRows; ++k) {
                        acc[k] += cell[k];
                        cell[k] = 0;
                        inside += (acc[k] & insideMask) != 0;
                    }
                    level = subRows == 1 ? (inside ? 255 : 0) : levels[inside];
                }
            }
            if (runStart < width)
                std::memset(dst + runStart, level, static_cast<std::size_t>(width - runStart));
        }
    } else {
        spanMin_.assign(height, rowWidth);
        spanMax_.assign(height, -1);
        for (const Line& line : lines_)
            accumulateArea(line, bx0, by0, rowWidth, height);
        const auto areaLevel = [rule](float acc) {
            float v = std::fabs(acc);
            if (rule == FillRule::NonZero) {
                v = std::min(v, 1.0f);
            } else {
                v -= 2 * std::floor(v * 0.5f);
                if (v > 1)
                    v = 2 - v;
            }
            return static_cast<uint8_t>(v * 255 + 0.5f);
        };
        for (int r = 0; r < height; ++r) {
            uint8_t* dst = &mask_[static_cast<std::size_t>(r) * stride];
            const int first = std::min(spanMin_[r], width), last = std::min(spanMax_[r] + 1, rowWidth);
            std::memset(dst, 0, static_cast<std::size_t>(first));
            float* row = &cells_[static_cast<std::size_t>(r) * rowWidth];
            float acc = 0;
            for (int x = first; x < last; ++x) {
                acc += row[x];
                row[x] = 0;
                if (x < width)
                    dst[x] = areaLevel(acc);
            }
            // Right of the last touched cell, the coverage stays.
            if (last < width)
                std::memset(dst + last, areaLevel(acc), static_cast<std::size_t>(width - last));
        }
    }
    out.x = bx0;
    out.y = by0;
    out.width = width;
    out.height = height;
    out.stride = stride;
    out.data = mask_.data();
    return out;
}

// The colour of a pixel whose four samples lie inside the fills listed in
// inside_: each fill's colour through its share of the samples, summed with
// saturation.
uint32_t Rasterizer::styleColor(const uint32_t* colors)
{
    static const uint8_t levels[5] = {0, 64, 128, 191, 255};
    // Mostly each sample lies in one fill at most (0 for none).
    uint32_t one[4];
    bool simple = true;
    for (int k = 0; k < 4; ++k) {
        const std::size_t n = inside_[k].size();
        simple = simple && n <= 1;
        one[k] = n == 1 ? inside_[k][0] : 0;
    }
    if (simple && one[0] == one[1] && one[0] == one[2] && one[0] == one[3])
        return colors[one[0]];
    unsigned sum[4] = {0, 0, 0, 0};
    const auto add = [&](uint32_t style, int count) {
        const uint32_t c = colors[style];
        const unsigned level = levels[count];
        for (int ch = 0; ch < 4; ++ch) {
            const unsigned t = ((c >> (8 * ch)) & 255) * level + 128;
            sum[ch] += (t + (t >> 8)) >> 8;
        }
    };
    if (simple) {
        for (int k = 0; k < 4; ++k) {
            if (one[k] == 0)
                continue;
            int count = 1;
            for (int j = k + 1; j < 4; ++j) {
                if (one[j] == one[k]) {
                    ++count;
                    one[j] = 0;
                }
            }
            add(one[k], count);
        }
    } else {
        const auto has = [&](int k, uint32_t style) {
            return std::find(inside_[k].begin(), inside_[k].end(), style) != inside_[k].end();
        };
        for (int k = 0; k < 4; ++k) {
            for (uint32_t style : inside_[k]) {
                // Each fill is counted at the first sample row it covers.
                bool seen = false;
                for (int j = 0; j < k && !seen; ++j)
                    seen = has(j, style);
                if (seen)
                    continue;
                int count = 1;
                for (int j = k + 1; j < 4; ++j)
                    count += has(j, style) ? 1 : 0;
                add(style, count);
            }
        }
    }
    uint32_t out = 0;
    for (int ch = 0; ch < 4; ++ch)
        out |= uint32_t(sum[ch] > 255 ? 255 : sum[ch]) << (8 * ch);
    return out;
}

// Paints `count` pixels with the fills whose centre sample lies inside them,
// lowest first, each over what is there.
void Rasterizer::paintStyles(uint32_t* out, int count, const uint32_t* colors)
{
    std::vector<uint32_t>& inside = inside_[0];
    if (inside.size() > 1)
        std::sort(inside.begin(), inside.end());
    for (uint32_t style : inside) {
        const uint32_t c = colors[style];
        const unsigned keep = 255 - (c >> 24);
        if (keep == 0) {
            std::fill(out, out + count, c);
            continue;
        }
        if (keep == 255)
            continue;
        for (int i = 0; i < count; ++i) {
            const uint32_t d = out[i];
            uint32_t v = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                const unsigned t = ((d >> shift) & 255) * keep + 128;
                const unsigned sum = ((c >> shift) & 255) + ((t + (t >> 8)) >> 8);
                v |= uint32_t(sum > 255 ? 255 : sum) << shift;
            }
            out[i] = v;
        }
    }
}


bool Rasterizer::renderStyles(FillRule rule, Sampling sampling, const uint32_t* colors, std::size_t colorCount,
                              uint32_t* dst, std::size_t stride, PixelBox& written)
{
    written = PixelBox{};
    if (lines_.empty() || colorCount == 0 || sampling == Sampling::Area)
        return sampling != Sampling::Area;
    if (lines_.size() > kMaxSweepLines)
        return false;
    const int samples = sampling == Sampling::FourSamples ? 4 : 1;
    const PixelBox box = lineBox();
    if (box.x1 <= box.x0 || box.y1 <= box.y0)
        return true;
    const int bx0 = box.x0, by0 = box.y0;
    const int width = box.x1 - bx0, height = box.y1 - by0;
    const int rowWidth = width + 2;

    // The lines as samples see them, then their order by first row.
    styleEdges_.clear();
    rowStart_.assign(static_cast<std::size_t>(height) + 1, 0);
    std::size_t crossings = 0;
    for (const Line& line : lines_) {
        if (line.left == line.right || line.left >= colorCount || line.right >= colorCount)
            continue;
        const SampleEdge e(line.x0, line.y0, line.x1, line.y1, bx0, by0, height);
        if (e.rowStart >= e.rowEnd)
            continue;
        crossings += static_cast<std::size_t>(e.rowEnd - e.rowStart) * samples;
        // A line running up counts for its fills the other way round.
        const uint32_t plus = e.dir > 0 ? line.right : line.left, minus = e.dir > 0 ? line.left : line.right;
        styleEdges_.push_back({e.x0, e.y0, e.y1, e.dxdy, e.rowEnd, plus, minus});
        ++rowStart_[e.rowStart + 1];
    }
    if (crossings > kMaxCrossings)
        return false;
    for (int r = 0; r < height; ++r)
        rowStart_[r + 1] += rowStart_[r];
    // Sorted in place of their indices: the lines of a row then sit together.
    sortedEdges_.resize(styleEdges_.size());
    for (const StyleEdge& e : styleEdges_)
        sortedEdges_[rowStart_[std::max(0, floorInt(e.y0))]++] = e;

    cellFirst_.assign(static_cast<std::size_t>(rowWidth) * samples, -1);
    columnBits_.assign((static_cast<std::size_t>(rowWidth) + 31) / 32, 0);
    styleWindings_.assign(colorCount * samples, 0);
    active_.clear();
    const int32_t insideMask = rule == FillRule::NonZero ? ~0 : 1;
    const int lastColumn = rowWidth - 1;
    std::size_t next = 0;
    for (int r = 0; r < height; ++r) {
        // Lines that begin in this row join those still running.
        for (; next < rowStart_[r]; ++next)
            active_.push_back(static_cast<uint32_t>(next));
        if (active_.empty())
            continue; // nothing crosses the row: it lies outside every fill
        // The row's crossings, each chained to its cell; lines that end in
        // this row leave.
        if (rowCrossings_.size() < active_.size() * samples)
            rowCrossings_.resize(active_.size() * samples);
        int32_t count = 0;
        std::size_t kept = 0;
        for (uint32_t index : active_) {
            const StyleEdge& se = sortedEdges_[index];
            crossSampleLines(se.x0, se.y0, se.y1, se.dxdy, r, samples, lastColumn, [&](int k, int column) {
                const int32_t cell = column * samples + k;
                rowCrossings_[count] = {cellFirst_[cell], se.plus, se.minus};
                cellFirst_[cell] = count++;
                columnBits_[column >> 5] |= 1u << (column & 31);
            });
            if (se.rowEnd > r + 1)
                active_[kept++] = index;
        }
        active_.resize(kept);
        if (count == 0)
            continue;

        // Walking the crossed columns in order: every pixel from one to the
        // next looks alike, so the run between them is painted as one.
        uint32_t* out = dst + static_cast<std::size_t>(by0 + r) * stride + bx0;
        uint32_t color = 0;
        int runStart = width;
        const auto paintRun = [&](int end) {
            end = std::min(end, width);
            if (runStart >= end)
                return;
            if (samples == 1)
                paintStyles(out + runStart, end - runStart, colors);
            else if (color != 0)
                std::fill(out + runStart, out + end, color);
        };
        for (std::size_t word = 0; word < columnBits_.size(); ++word) {
            while (columnBits_[word] != 0) {
                const int x = static_cast<int>(word * 32) + lowestBit(columnBits_[word]);
                columnBits_[word] &= columnBits_[word] - 1;
                paintRun(x);
                runStart = x;
                for (int k = 0; k < samples; ++k) {
                    int32_t& first = cellFirst_[static_cast<std::size_t>(x) * samples + k];
                    int32_t* windings = &styleWindings_[colorCount * k];
                    std::vector<uint32_t>& inside = inside_[k];
                    for (int32_t i = first; i >= 0; i = rowCrossings_[i].next) {
                        const RowCrossing& c = rowCrossings_[i];
                        const uint32_t styles[2] = {c.plus, c.minus};
                        for (int side = 0; side < 2; ++side) {
                            const uint32_t style = styles[side];
                            if (style == 0)
                                continue;
                            int32_t& w = windings[style];
                            const bool was = (w & insideMask) != 0;
                            if (w == 0)
                                touched_.push_back(static_cast<uint32_t>(colorCount * k + style));
                            w += side == 0 ? 1 : -1;
                            if (((w & insideMask) != 0) == was)
                                continue;
                            if (was) {
                                // The order does not count (paintStyles sorts).
                                *std::find(inside.begin(), inside.end(), style) = inside.back();
                                inside.pop_back();
                            } else {
                                inside.push_back(style);
                            }
                        }
                    }
                    first = -1;
                }
                if (samples == 4)
                    color = styleColor(colors);
            }
        }
        // Windings right of the last crossing need not come back to zero
        // (lines beyond the clip's right edge are dropped).
        paintRun(width);
        for (uint32_t at : touched_)
            styleWindings_[at] = 0;
        touched_.clear();
        for (auto& inside : inside_)
            inside.clear();
    }
    written = box;
    return true;
}

} // namespace swf
