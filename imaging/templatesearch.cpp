#include "imaging/templatesearch.h"

#include "imaging/pixelview.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define QUORVEL_SSE2 1
#include <emmintrin.h>
#endif

// How the search is made fast without changing its answer:
// - The green channel of the part of the screen the candidates can touch is prepared once as
//   bytes, column by column (the scan order), with black wherever that part leaves the screen.
// - Whether a place fits depends only on how many of its pixels miss, not on the order they
//   are compared in. So the template's pixels are compared rarest value first (judged by a
//   sample of the screen), which rejects almost every place at the first pixel.
// - Sixteen consecutive places of one column are judged at once with SSE2; the first place
//   in scan order that survives all pixels is the answer.
// - Places that lie wholly outside the screen all see the same black pixels, so they are
//   judged once instead of one by one (regions may reach far beyond the screen).

namespace imaging {

using detail::greenOf;
using detail::PixelView;

namespace {

struct TemplatePixel
{
    int offset; // column * stride + row, inside the prepared plane
    quint8 low; // the screen's green must lie in low … high to hit
    quint8 high;
};

// Green of a pixel as the search compares it, after the optional light reduction.
inline quint8 searchGreen(QRgb p, const PixelView &view, bool reduce, double n)
{
    if (reduce) {
        QRgb c = p;
        if (view.premultiplied() && qAlpha(c) != 255)
            c = qUnpremultiply(c);
        if (0.299 * qRed(c) + 0.578 * qGreen(c) + 0.114 * qBlue(c) >= n)
            return 255;
    }
    return quint8(greenOf(p));
}

// Greens of the screen from column x0 (plane coordinates) on, column after column.
struct Plane
{
    qint64 x0 = 0, y0 = 0; // screen position of the first column and row
    int columns = 0, rows = 0;
    int stride = 0; // bytes per column: rows rounded up plus room for a 16-byte read
    std::vector<quint8> data;

    const quint8 *column(qint64 x) const { return data.data() + (x - x0) * stride; }
};

void extractRow(
    const QRgb *src, int count, quint8 *out, const PixelView &view, bool reduce, double n)
{
    int x = 0;
#ifdef QUORVEL_SSE2
    if (!reduce) {
        const __m128i mask = _mm_set1_epi32(0xff);
        for (; x + 16 <= count; x += 16) {
            const __m128i *s = reinterpret_cast<const __m128i *>(src + x);
            const __m128i a = _mm_and_si128(_mm_srli_epi32(_mm_loadu_si128(s), 8), mask);
            const __m128i b = _mm_and_si128(_mm_srli_epi32(_mm_loadu_si128(s + 1), 8), mask);
            const __m128i c = _mm_and_si128(_mm_srli_epi32(_mm_loadu_si128(s + 2), 8), mask);
            const __m128i d = _mm_and_si128(_mm_srli_epi32(_mm_loadu_si128(s + 3), 8), mask);
            const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x), packed);
        }
    }
#endif
    for (; x < count; ++x)
        out[x] = searchGreen(src[x], view, reduce, n);
}

// Transposes a 16 × 16 block of bytes (rows `stride` apart) into out[column][row].
void transpose16(const quint8 *in, int stride, quint8 out[16][16])
{
#ifdef QUORVEL_SSE2
    __m128i a[16], b[16];
    for (int r = 0; r < 16; ++r)
        a[r] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + r * stride));
    for (int r = 0; r < 16; r += 2) {
        b[r] = _mm_unpacklo_epi8(a[r], a[r + 1]);
        b[r + 1] = _mm_unpackhi_epi8(a[r], a[r + 1]);
    }
    for (int g = 0; g < 16; g += 4) {
        a[g] = _mm_unpacklo_epi16(b[g], b[g + 2]);
        a[g + 1] = _mm_unpackhi_epi16(b[g], b[g + 2]);
        a[g + 2] = _mm_unpacklo_epi16(b[g + 1], b[g + 3]);
        a[g + 3] = _mm_unpackhi_epi16(b[g + 1], b[g + 3]);
    }
    // a[g..g+3] now hold rows g … g+3 for columns 0-3, 4-7, 8-11, 12-15.
    for (int q = 0; q < 4; ++q) {
        b[2 * q] = _mm_unpacklo_epi32(a[q], a[q + 4]); // rows 0-7, columns 4q, 4q+1
        b[2 * q + 1] = _mm_unpackhi_epi32(a[q], a[q + 4]); // columns 4q+2, 4q+3
        b[8 + 2 * q] = _mm_unpacklo_epi32(a[q + 8], a[q + 12]); // rows 8-15
        b[8 + 2 * q + 1] = _mm_unpackhi_epi32(a[q + 8], a[q + 12]);
    }
    for (int p = 0; p < 8; ++p) {
        _mm_storeu_si128(
            reinterpret_cast<__m128i *>(out[2 * p]), _mm_unpacklo_epi64(b[p], b[p + 8]));
        _mm_storeu_si128(
            reinterpret_cast<__m128i *>(out[2 * p + 1]), _mm_unpackhi_epi64(b[p], b[p + 8]));
    }
#else
    for (int r = 0; r < 16; ++r) {
        for (int c = 0; c < 16; ++c)
            out[c][r] = in[r * stride + c];
    }
#endif
}

// Fills the plane from the screen: rows are read in strips of 16 and written column-wise.
void fillPlane(Plane &plane, const PixelView &view, bool reduce, double n)
{
    const qint64 sx0 = std::max<qint64>(plane.x0, 0);
    const qint64 sx1 = std::min<qint64>(plane.x0 + plane.columns, view.width());
    const qint64 sy0 = std::max<qint64>(plane.y0, 0);
    const qint64 sy1 = std::min<qint64>(plane.y0 + plane.rows, view.height());
    if (sx0 >= sx1 || sy0 >= sy1)
        return;
    const int count = int(sx1 - sx0);
    const int paddedCount = (count + 15) & ~15;
    std::vector<quint8> strip(size_t(paddedCount) * 16, 0);
    quint8 block[16][16];
    for (qint64 y = sy0; y < sy1; y += 16) {
        const int rows = int(std::min<qint64>(16, sy1 - y));
        for (int r = 0; r < rows; ++r)
            extractRow(view.row(int(y + r)) + sx0, count, &strip[size_t(r) * paddedCount], view,
                reduce, n);
        for (int r = rows; r < 16; ++r)
            std::memset(&strip[size_t(r) * paddedCount], 0, size_t(paddedCount));
        for (int xb = 0; xb < count; xb += 16) {
            transpose16(&strip[size_t(xb)], paddedCount, block);
            const int columns = std::min(16, count - xb);
            quint8 *dst = plane.data.data() + (sx0 - plane.x0 + xb) * plane.stride + (y - plane.y0);
            for (int c = 0; c < columns; ++c)
                std::memcpy(dst + size_t(c) * plane.stride, block[c], 16);
        }
    }
}

// Template pixels in the order they are compared: the ones whose accepted green range is
// rarest on the screen first.
std::vector<TemplatePixel> orderTemplate(
    const std::vector<quint8> &greens, int w, int h, int t, const Plane &plane)
{
    quint32 histogram[256] = {};
    const int columnStep = std::max(1, plane.columns / 256);
    const int rowStep = std::max(1, plane.rows / 256);
    for (int c = 0; c < plane.columns; c += columnStep) {
        const quint8 *col = plane.data.data() + size_t(c) * plane.stride;
        for (int r = 0; r < plane.rows; r += rowStep)
            ++histogram[col[r]];
    }
    quint64 below[257] = {};
    for (int v = 0; v < 256; ++v)
        below[v + 1] = below[v] + histogram[v];

    struct Ranked
    {
        quint64 frequency;
        TemplatePixel pixel;
    };
    std::vector<Ranked> ranked;
    ranked.reserve(size_t(w) * h);
    for (int i = 0; i < w; ++i) {
        for (int j = 0; j < h; ++j) {
            const int v = greens[size_t(i) * h + j];
            const int low = std::max(0, v - t);
            const int high = std::min(255, v + t);
            ranked.push_back(
                {below[high + 1] - below[low], {i * plane.stride + j, quint8(low), quint8(high)}});
        }
    }
    std::stable_sort(ranked.begin(), ranked.end(),
        [](const Ranked &a, const Ranked &b) { return a.frequency < b.frequency; });
    std::vector<TemplatePixel> ordered;
    ordered.reserve(ranked.size());
    for (const Ranked &r : ranked)
        ordered.push_back(r.pixel);
    return ordered;
}

// First fitting place y in [from, to) (plane rows) of one plane column, or -1.
int searchColumnPlain(
    const quint8 *column, int from, int to, const std::vector<TemplatePixel> &pixels, qint64 k)
{
    for (int y = from; y < to; ++y) {
        const quint8 *base = column + y;
        qint64 misses = 0;
        bool fits = true;
        for (const TemplatePixel &p : pixels) {
            const quint8 g = base[p.offset];
            if ((g < p.low || g > p.high) && ++misses > k) {
                fits = false;
                break;
            }
        }
        if (fits)
            return y;
    }
    return -1;
}

#ifdef QUORVEL_SSE2
struct VectorPixel
{
    __m128i low;
    __m128i high;
    int offset;
};

// The same for sixteen places at once; k < 255 so that byte counters cannot wrap past it.
int searchColumnSse2(
    const quint8 *column, int from, int to, const std::vector<VectorPixel> &pixels, int k)
{
    const __m128i one = _mm_set1_epi8(1);
    const __m128i limit = _mm_set1_epi8(char(k + 1));
    for (int y = from; y < to; y += 16) {
        const int lanes = std::min(16, to - y);
        const int valid = lanes == 16 ? 0xffff : (1 << lanes) - 1;
        const quint8 *base = column + y;
        __m128i misses = _mm_setzero_si128();
        int alive = valid;
        for (const VectorPixel &p : pixels) {
            const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i *>(base + p.offset));
            const __m128i off = _mm_or_si128(_mm_subs_epu8(g, p.high), _mm_subs_epu8(p.low, g));
            misses = _mm_adds_epu8(misses, _mm_min_epu8(off, one));
            const __m128i dead = _mm_cmpeq_epi8(_mm_max_epu8(misses, limit), misses);
            alive = valid & ~_mm_movemask_epi8(dead);
            if (!alive)
                break;
        }
        if (alive) {
            int lane = 0;
            while (!(alive & (1 << lane)))
                ++lane;
            return y + lane;
        }
    }
    return -1;
}
#endif

// The template's greens as the search compares them, column by column.
std::vector<quint8> templateGreens(const QImage &templ, bool reduce, double threshold)
{
    const int w = templ.width();
    const int h = templ.height();
    std::vector<quint8> greens(size_t(w) * h);
    const PixelView view(templ);
    for (int y = 0; y < h; ++y) {
        const QRgb *row = view.row(y);
        for (int x = 0; x < w; ++x)
            greens[size_t(x) * h + y] = searchGreen(row[x], view, reduce, threshold);
    }
    return greens;
}

// The places of a search: the first one (left, top), the end of each scan (xEnd, yEnd), and
// those that see at least one screen pixel, x in [x0, x1) and y in [y0, y1).
struct Places
{
    qint64 left, top, xEnd, yEnd;
    qint64 x0, x1, y0, y1;
    bool blackFits; // an all-black view fits: places wholly outside the screen do
};

struct Place
{
    qint64 x, y;
};

// The first place in scan order (column by column) that fits, among the places that see the
// screen and the all-black ones after them; none when nothing fits.
std::optional<Place> scanPlaces(const QImage &screen, const std::vector<quint8> &greens, int w,
    int h, int t, int k, bool reduce, double threshold, const Places &at)
{
    Plane plane;
    plane.x0 = at.x0;
    plane.y0 = at.y0;
    plane.columns = int(at.x1 - at.x0 + w - 1);
    plane.rows = int(at.y1 - at.y0 + h - 1);
    plane.stride = ((plane.rows + 15) & ~15) + 16;
    plane.data.assign(size_t(plane.columns) * plane.stride, 0);
    fillPlane(plane, PixelView(screen), reduce, threshold);

    const std::vector<TemplatePixel> pixels = orderTemplate(greens, w, h, t, plane);
    const int rowCount = int(at.y1 - at.y0);
#ifdef QUORVEL_SSE2
    std::vector<VectorPixel> vectorPixels;
    if (k < 255) {
        vectorPixels.reserve(pixels.size());
        for (const TemplatePixel &p : pixels)
            vectorPixels.push_back(
                {_mm_set1_epi8(char(p.low)), _mm_set1_epi8(char(p.high)), p.offset});
    }
#endif
    for (qint64 x = at.x0; x < at.x1; ++x) {
        const quint8 *column = plane.column(x);
        int y = -1;
#ifdef QUORVEL_SSE2
        if (k < 255)
            y = searchColumnSse2(column, 0, rowCount, vectorPixels, k);
        else
#endif
            y = searchColumnPlain(column, 0, rowCount, pixels, k);
        if (y >= 0)
            return Place {x, at.y0 + y};
        // Below the screen every place of this column sees only black.
        if (at.blackFits && at.y1 < at.yEnd)
            return Place {x, at.y1};
    }
    if (at.blackFits && at.x1 < at.xEnd)
        return Place {at.x1, at.top};
    return std::nullopt;
}

} // namespace

SearchResult findTemplate(const QImage &screen, const QImage &templ, int left, int top, int right,
    int bottom, int n, int t, int k)
{
    const bool reduce = n >= 1 && n <= 254;
    const double threshold = n;
    t = std::max(t, 0);
    k = std::max(k, 0);
    const qint64 W = screen.width();
    const qint64 H = screen.height();
    const int w = templ.width();
    const int h = templ.height();

    qint64 r = right, b = bottom;
    if (r == 0 || r == left)
        r = W;
    if (b == 0 || b == top)
        b = H;
    Places at {left, top, r - w, b - h, 0, 0, 0, 0, false};

    SearchResult result;
    if (left >= at.xEnd || top >= at.yEnd) {
        result.outcome
            = left >= at.xEnd ? SearchResult::RegionTooNarrow : SearchResult::RegionTooShort;
        return result;
    }
    auto found = [&](qint64 x, qint64 y) {
        result.outcome = SearchResult::Found;
        result.centre = QPoint(int(x + w / 2), int(y + h / 2));
        return result;
    };
    // An empty template, or more misses allowed than it has pixels: the first place fits.
    if (w == 0 || h == 0 || qint64(k) >= qint64(w) * h)
        return found(left, top);

    const std::vector<quint8> greens = templateGreens(templ, reduce, threshold);
    qint64 blackMisses = 0;
    for (quint8 v : greens)
        blackMisses += v > t ? 1 : 0;
    at.blackFits = blackMisses <= k;

    at.x0 = std::max<qint64>(left, 1 - w);
    at.x1 = std::min<qint64>(at.xEnd, W);
    at.y0 = std::max<qint64>(top, 1 - h);
    at.y1 = std::min<qint64>(at.yEnd, H);
    const bool columnsSeeScreen = at.x0 < at.x1;
    const bool rowsSeeScreen = at.y0 < at.y1;
    if (at.blackFits && (left < at.x0 || !columnsSeeScreen || top < at.y0 || !rowsSeeScreen))
        return found(left, top); // the very first place lies wholly outside and fits
    if (!columnsSeeScreen || !rowsSeeScreen)
        return result; // not found
    const std::optional<Place> place
        = scanPlaces(screen, greens, w, h, t, k, reduce, threshold, at);
    return place ? found(place->x, place->y) : result;
}

} // namespace imaging
