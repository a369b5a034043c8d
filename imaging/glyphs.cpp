#include "imaging/glyphs.h"

#include "imaging/imageops.h"
#include "imaging/listingorder.h"
#include "imaging/pixelview.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QtAlgorithms>

#include <algorithm>
#include <vector>

namespace imaging {

using detail::greenOf;
using detail::PixelView;

namespace {

const QString kBlankSpace = QStringLiteral("BlankSpace");
const QString kLineBreak = QStringLiteral("\r\n");

// Columns of bits, one per pixel that is not green 255 (what recognition compares).
struct BitColumns
{
    int width = 0;
    int height = 0;
    int words = 0; // 64-bit words per column
    std::vector<quint64> bits;

    const quint64 *column(int x) const { return bits.data() + size_t(x) * words; }

    // count (≤ 64) bits of column x from row start on.
    quint64 slice(int x, int start, int count) const
    {
        const quint64 *col = column(x);
        const int word = start >> 6;
        const int shift = start & 63;
        quint64 v = col[word] >> shift;
        if (shift && word + 1 < words)
            v |= col[word + 1] << (64 - shift);
        return count == 64 ? v : v & ((quint64(1) << count) - 1);
    }
};

BitColumns notWhiteGreenBits(const PixelView &view)
{
    BitColumns b;
    b.width = view.width();
    b.height = view.height();
    b.words = (b.height + 63) / 64;
    b.bits.assign(size_t(b.width) * b.words, 0);
    for (int y = 0; y < b.height; ++y) {
        const QRgb *row = view.row(y);
        const int word = y >> 6;
        const quint64 bit = quint64(1) << (y & 63);
        for (int x = 0; x < b.width; ++x) {
            if (greenOf(row[x]) != 255)
                b.bits[size_t(x) * b.words + word] |= bit;
        }
    }
    return b;
}

struct PreparedGlyph
{
    QString text;
    bool blank = false; // compared against the untrimmed line
    int widthClass = 0;
    BitColumns bits;
};

struct PreparedLibrary
{
    std::vector<PreparedGlyph> glyphs; // null images left out: they never match
    std::vector<int> classWidths; // the distinct glyph widths
};

PreparedLibrary prepare(const GlyphLibrary &library)
{
    PreparedLibrary p;
    for (const Glyph &g : library) {
        if (g.image.isNull())
            continue;
        PreparedGlyph pg;
        pg.blank = g.name == kBlankSpace;
        pg.text = pg.blank ? QStringLiteral(" ") : g.name;
        pg.bits = notWhiteGreenBits(PixelView(g.image));
        auto at = std::find(p.classWidths.begin(), p.classWidths.end(), pg.bits.width);
        pg.widthClass = int(at - p.classWidths.begin());
        if (at == p.classWidths.end())
            p.classWidths.push_back(pg.bits.width);
        p.glyphs.push_back(std::move(pg));
    }
    return p;
}

// One text line: its compared bits and, per column, the rows holding ink.
class LineReader
{
public:
    LineReader(const QImage &line, const PreparedLibrary &library, int misses);
    void read(QString &text);

private:
    const PreparedGlyph *matchAt(
        int p, const std::vector<int> &cellTop, const std::vector<int> &cellHeight) const;
    void trimmedCell(int p, int width, int *top, int *height) const;
    bool fits(const PreparedGlyph &g, int p, int top) const;

    const PreparedLibrary &m_library;
    int m_misses;
    BitColumns m_bits;
    std::vector<int> m_top;
    std::vector<int> m_bottom;
};

LineReader::LineReader(const QImage &line, const PreparedLibrary &library, int misses)
    : m_library(library)
    , m_misses(misses)
{
    const PixelView view(line);
    m_bits = notWhiteGreenBits(view);
    m_top.assign(size_t(m_bits.width), -1);
    m_bottom.assign(size_t(m_bits.width), -1);
    for (int y = 0; y < m_bits.height; ++y) {
        const QRgb *row = view.row(y);
        for (int x = 0; x < m_bits.width; ++x) {
            if (!view.isWhite(row[x])) {
                if (m_top[x] < 0)
                    m_top[x] = y;
                m_bottom[x] = y;
            }
        }
    }
}

void LineReader::read(QString &text)
{
    const int W = m_bits.width;
    std::vector<int> cellTop(m_library.classWidths.size());
    std::vector<int> cellHeight(m_library.classWidths.size());
    int p = 0;
    while (p < W) {
        // The trimmed cell of every glyph width at this place, worked out once.
        for (size_t c = 0; c < m_library.classWidths.size(); ++c)
            trimmedCell(p, m_library.classWidths[c], &cellTop[c], &cellHeight[c]);
        const PreparedGlyph *match = matchAt(p, cellTop, cellHeight);
        if (match) {
            text += match->text;
            p += match->bits.width;
        } else {
            ++p;
        }
    }
}

// The first glyph of the library that fits at p, or none.
const PreparedGlyph *LineReader::matchAt(
    int p, const std::vector<int> &cellTop, const std::vector<int> &cellHeight) const
{
    for (const PreparedGlyph &g : m_library.glyphs) {
        const int top = g.blank ? 0 : cellTop[size_t(g.widthClass)];
        const int height = g.blank ? m_bits.height : cellHeight[size_t(g.widthClass)];
        if (height != g.bits.height)
            continue; // cannot match: no pixel needs comparing
        if (fits(g, p, top))
            return &g;
    }
    return nullptr;
}

// The rows a cell of `width` columns from p keeps after trimTop and trimBottom. Columns beyond
// the line are black (QImage::copy fills them so), so they keep every row.
void LineReader::trimmedCell(int p, int width, int *top, int *height) const
{
    if (p + width > m_bits.width) {
        *top = 0;
        *height = m_bits.height;
        return;
    }
    int first = -1, last = -1;
    for (int x = p; x < p + width; ++x) {
        if (m_top[x] < 0)
            continue;
        if (first < 0 || m_top[x] < first)
            first = m_top[x];
        last = std::max(last, m_bottom[x]);
    }
    if (first < 0) { // all white: trimTop keeps it whole, trimBottom keeps row 0
        *top = 0;
        *height = 1;
    } else {
        *top = first;
        *height = last - first + 1;
    }
}

bool LineReader::fits(const PreparedGlyph &g, int p, int top) const
{
    int differing = 0;
    const int h = g.bits.height;
    for (int i = 0; i < g.bits.width; ++i) {
        const int x = p + i;
        for (int start = 0; start < h; start += 64) {
            const int count = std::min(64, h - start);
            const quint64 mask = count == 64 ? ~quint64(0) : (quint64(1) << count) - 1;
            const quint64 cell = x < m_bits.width ? m_bits.slice(x, top + start, count) : mask;
            const quint64 glyph = g.bits.slice(i, start, count);
            differing += qPopulationCount(cell ^ glyph);
            if (differing > m_misses)
                return false;
        }
    }
    return true;
}

void listGlyphFiles(const QString &path, QFileInfoList &out, QSet<QString> &visited)
{
    const QDir dir(path);
    const QString canonical = dir.canonicalPath();
    if (canonical.isEmpty() || visited.contains(canonical))
        return; // missing, or a link back into a folder already listed
    visited.insert(canonical);
    const QDir::SortFlags order = glyphListingOrder();
    out += dir.entryInfoList(QDir::Files | QDir::NoSymLinks | QDir::Hidden, order);
    const QFileInfoList folders = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, order);
    for (const QFileInfo &folder : folders)
        listGlyphFiles(folder.filePath(), out, visited);
}

// Removes the first line of the page for the next round. false when the page did not get
// smaller (an all-white page), which would otherwise be read again and again.
bool nextLine(QImage &page)
{
    const int before = page.height();
    dropFirstLine(page);
    trimTop(page);
    return page.height() < before;
}

} // namespace

GlyphLibrary loadGlyphLibrary(const QString &folder)
{
    QFileInfoList files;
    QSet<QString> visited;
    listGlyphFiles(folder, files, visited);
    GlyphLibrary library;
    for (const QFileInfo &file : qAsConst(files)) {
        if (file.suffix() != QLatin1String("bmp"))
            continue;
        library.append({file.completeBaseName(), QImage(file.filePath())});
    }
    return library;
}

QString recogniseText(const QImage &image, const GlyphLibrary &library, int threshold, int misses)
{
    const PreparedLibrary prepared = prepare(library);
    QImage page = image;
    reduceLightColour(page, threshold);
    cutBorder(page);
    QString text;
    while (page.height() >= 7) {
        QImage line = page;
        keepFirstLine(line);
        trimRight(line);
        LineReader(line, prepared, misses).read(text);
        text += kLineBreak;
        if (!nextLine(page))
            break;
    }
    text.chop(2);
    return text;
}

QString recogniseText(const QImage &image, const QString &folder, int threshold, int misses)
{
    return recogniseText(image, loadGlyphLibrary(folder), threshold, misses);
}

namespace {

class GlyphCutter
{
public:
    GlyphCutter(int minCellWidth, int maxCellWidth, const QString &names, const QString &folder)
        : m_min(minCellWidth)
        , m_max(maxCellWidth)
        , m_names(names)
        , m_folder(folder)
    {
    }

    int count() const { return m_count; }
    void cutLine(const QImage &line);

private:
    static std::vector<bool> inkColumns(const PixelView &view);
    static bool joinsLeft(const PixelView &view, int x);
    void save(QImage glyph, bool trimRightSide);

    int m_min;
    int m_max;
    QString m_names;
    QString m_folder;
    int m_count = 0;
};

// Which columns of the line hold ink.
std::vector<bool> GlyphCutter::inkColumns(const PixelView &view)
{
    const int W = view.width();
    std::vector<bool> inkColumn(size_t(W), false);
    for (int y = 0; y < view.height(); ++y) {
        const QRgb *row = view.row(y);
        for (int x = 0; x < W; ++x) {
            if (!inkColumn[size_t(x)] && !view.isWhite(row[x]))
                inkColumn[size_t(x)] = true;
        }
    }
    return inkColumn;
}

void GlyphCutter::cutLine(const QImage &line)
{
    const PixelView view(line);
    const int W = view.width();
    const int H = view.height();
    const std::vector<bool> inkColumn = inkColumns(view);
    int ink = 0;
    int gap = 0;
    for (int x = 0; x < W; ++x) {
        if (inkColumn[size_t(x)]) {
            ++ink;
        } else if (ink > 0) {
            ++gap;
            const int width = ink + gap;
            if (width >= m_min) { // the white column ends the cell and is left out
                save(line.copy(x + 1 - width, 0, width - 1, H), true);
                ink = gap = 0;
                continue;
            }
        } else {
            continue; // white before any ink starts nothing
        }
        const int width = ink + gap;
        if (x == W - 1) {
            save(line.copy(W - width, 0, width, H), false);
            break;
        }
        if (width == m_max) {
            // Touching characters: the column goes with the cell when its ink joins the
            // column to its left (or continues downwards). A one-column cell cannot give its
            // only column away, or the same column would start cells forever.
            if (m_max == 1 || joinsLeft(view, x)) {
                save(line.copy(x + 1 - m_max, 0, m_max, H), false);
            } else {
                save(line.copy(x + 1 - m_max, 0, m_max - 1, H), false);
                --x; // this column starts the next cell
            }
            ink = gap = 0;
        }
    }
}

bool GlyphCutter::joinsLeft(const PixelView &view, int x)
{
    const int H = view.height();
    auto ink = [&](int cx, int cy) { return cx >= 0 && !view.isWhite(view.row(cy)[cx]); };
    for (int r = 0; r + 1 < H; ++r) {
        if (!ink(x, r))
            continue;
        if (ink(x, r + 1) || ink(x - 1, r + 1) || ink(x - 1, r) || (r > 0 && ink(x - 1, r - 1)))
            return true;
    }
    return false;
}

void GlyphCutter::save(QImage glyph, bool trimRightSide)
{
    trimTop(glyph);
    trimBottom(glyph);
    if (trimRightSide)
        trimRight(glyph);
    const int i = m_count++;
    QString name;
    if (m_names == QLatin1String("0"))
        name = QString::number(i);
    else if (i < m_names.size())
        name = m_names.mid(i, 1);
    else
        return; // counted, not written
    glyph.save(QDir(m_folder).filePath(name + QStringLiteral(".bmp")), "BMP");
}

} // namespace

int cutGlyphImages(const QImage &image, int minCellWidth, int maxCellWidth, int threshold,
    const QString &names, const QString &libraryFolder)
{
    QImage page = image;
    cutBorder(page);
    reduceLightColour(page, threshold);
    GlyphCutter cutter(
        minCellWidth, maxCellWidth == 0 ? page.height() : maxCellWidth, names, libraryFolder);
    while (page.height() >= 7) {
        QImage line = page;
        keepFirstLine(line);
        trimLeft(line);
        trimRight(line);
        cutter.cutLine(line);
        if (!nextLine(page))
            break;
    }
    return cutter.count();
}

} // namespace imaging
