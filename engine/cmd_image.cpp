// Image commands: 识别 finds a bitmap on the screen, 截图 saves or reads a screen region,
// 图片 works on a bitmap file.
#include "engine/commands.h"

#include "engine/linepatterns.h"
#include "platform/pathpattern.h"
#include "imaging/glyphs.h"
#include "imaging/imageops.h"
#include "imaging/region.h"
#include "imaging/templatesearch.h"
#include "platform/platform.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <limits>

using namespace imaging;

namespace {

const QString kMissingPicture = QStringLiteral(" 图片不存在!");
const QString kArrow = QStringLiteral("=>");
const QString kBraceOpen = QStringLiteral("{");
const QString kBraceClose = QStringLiteral("}");

// The pattern must match the whole text; "." crosses line breaks, which a variable's text
// may hold.
QRegularExpressionMatch matchWhole(const QString &pattern, const QString &text)
{
    const QRegularExpression re(QRegularExpression::anchoredPattern(pattern),
        QRegularExpression::DotMatchesEverythingOption);
    return re.match(text);
}

// A pattern written with "%P" where an absolute path starts.
QString withPath(QString pattern)
{
    return pattern.replace(QStringLiteral("%P"), pathpattern::absolutePathStart());
}

QString withPath(const char *pattern)
{
    return withPath(QString::fromUtf8(pattern));
}

QString nativePath(const QString &text)
{
    return QDir::toNativeSeparators(text.trimmed());
}

// The glyph library beside the executable.
QString defaultLibrary(CommandContext &ctx)
{
    const QString folder = QFileInfo(ctx.platform().executablePath()).absolutePath();
    return QDir::toNativeSeparators(folder + QStringLiteral("/BmpLibrary/"));
}

int number(const QRegularExpressionMatch &m, int group)
{
    return m.captured(group).toInt();
}

int limit(int start, int extent)
{
    const qint64 end = qint64(start) + extent;
    return int(
        qBound<qint64>(std::numeric_limits<int>::min(), end, std::numeric_limits<int>::max()));
}

// A recognised text to where the suffix their pattern captured ("复制" or "串n") says. The
// patterns accept either bracket width on each side, so the suffix goes to the rule in plain
// brackets. false after reporting an index out of range.
bool deliverText(
    CommandContext &ctx, const ScriptLine &line, const QString &suffix, const QString &text)
{
    const QString target = QLatin1Char('(') + suffix + QLatin1Char(')');
    return ctx.deliverResult(line, target, text) != Delivery::Failed;
}

// After a miss: when the next line closes a block, the nearest line above that repeats this
// one and opens a block starts that block again (the loop form).
void repeatEnclosingBlock(CommandContext &ctx, const ScriptLine &line)
{
    const int index = ctx.currentIndex();
    if (ctx.entryAt(index + 1).trimmed() != kBraceClose)
        return;
    for (int i = index - 1; i >= 0; --i) {
        if (ctx.entryAt(i).trimmed() == line.text && ctx.entryAt(i + 1).trimmed() == kBraceOpen) {
            ctx.setCurrentIndex(i + 1);
            return;
        }
    }
}

// The parts of a 识别 argument: the optional region before "=>", and the target after it.
struct Recognition
{
    QString target; // the path with its optional bracket and suffix, native separators
    QString path; // the bitmap
    bool hasRegion = false;
    SearchRegion region;
    int threshold = 0, tolerance = 0, misses = 0;
};

// Reads the target form. false after reporting a region that matches no form or a bitmap
// path that names no file.
bool parseRecognition(
    CommandContext &ctx, const ScriptLine &line, const QString &arg, Recognition &r)
{
    const QStringList parts = arg.split(kArrow, Qt::KeepEmptyParts);
    r.hasRegion = parts.size() == 2;
    r.target = QDir::toNativeSeparators(r.hasRegion ? parts.at(1) : arg).trimmed();
    if (r.hasRegion) {
        r.region = parseSearchRegion(parts.at(0), ctx.platform().cursorPosition());
        if (!r.region.matched()) {
            ctx.showLineError(line.text);
            return false;
        }
    }
    // Without a match the whole target is the path; a bitmap that does not load is the
    // empty template, which fits at once.
    r.path = r.target;
    const QRegularExpressionMatch m
        = matchWhole(withPath("(%P.+\\.bmp)\\s*(?:\\[(\\d+),(\\d+),(\\d+)\\])?"
                              "\\s*(?:[\\(（]((复制)|(串\\d+))[\\)）])?"),
            r.target);
    if (!m.hasMatch())
        return true;
    r.path = m.captured(1);
    if (m.capturedLength(2) > 0) {
        r.threshold = number(m, 2);
        r.tolerance = number(m, 3);
        r.misses = number(m, 4);
    }
    if (!QFileInfo(r.path).isFile()) {
        ctx.showLineError(line.text + kMissingPicture);
        return false;
    }
    return true;
}

SearchResult search(CommandContext &ctx, const Recognition &r)
{
    const QImage screen = ctx.platform().captureScreen();
    const QImage templ(r.path);
    const int left = r.hasRegion ? r.region.left : 0;
    const int top = r.hasRegion ? r.region.top : 0;
    const int right = r.hasRegion ? limit(r.region.left, r.region.width) : 0;
    const int bottom = r.hasRegion ? limit(r.region.top, r.region.height) : 0;
    return findTemplate(
        screen, templ, left, top, right, bottom, r.threshold, r.tolerance, r.misses);
}

} // namespace

LineOutcome cmdRecognise(CommandContext &ctx, const ScriptLine &line)
{
    QString arg = line.argument;
    if (!ctx.resolveSource(line, arg, true))
        return LineOutcome::EndRun;
    Recognition r;
    if (!parseRecognition(ctx, line, arg, r))
        return LineOutcome::EndRun;

    const SearchResult result = search(ctx, r);
    switch (result.outcome) {
    case SearchResult::Found: {
        const QString position = QString::number(result.centre.x()) + QLatin1Char(',')
            + QString::number(result.centre.y());
        // (变n) is routed too although the target pattern never admits it: such a target
        // fails the pattern, its path then carries the suffix and the empty template fits.
        const Delivery delivery = ctx.deliverResult(line, r.target, position);
        if (delivery == Delivery::Failed)
            return LineOutcome::EndRun;
        if (delivery == Delivery::NoTarget)
            ctx.platform().setCursorPosition(result.centre);
        ctx.applyBlockRule(false); // found: skip the block, run an else block after it
        break;
    }
    case SearchResult::RegionTooShort:
        ctx.applyBlockRule(false);
        break;
    case SearchResult::RegionTooNarrow:
        break;
    case SearchResult::NotFound:
        repeatEnclosingBlock(ctx, line);
        break;
    }
    return LineOutcome::Continue;
}

namespace {

// Beyond this a "region" is no screen region any more; its copy would only exhaust memory.
constexpr qint64 kMaxCapturePixels = qint64(1) << 27;

QImage copyRegion(const QImage &screen, const SearchRegion &region)
{
    const qint64 width = qint64(region.width) + 1; // both corners are included
    const qint64 height = qint64(region.height) + 1;
    if (width * height > kMaxCapturePixels)
        return QImage();
    return screen.copy(region.left, region.top, int(width), int(height));
}

const char *const kGetCharImages = "[\\(（][Gg]et[Cc]har[Ii]mages[\\)）]";

} // namespace

LineOutcome cmdCapture(CommandContext &ctx, const ScriptLine &line)
{
    QString arg = line.argument;
    if (!ctx.resolveSource(line, arg, true))
        return LineOutcome::EndRun;

    const QStringList parts = arg.split(kArrow, Qt::KeepEmptyParts);
    const bool hasTarget = parts.size() == 2;
    const QString regionText = hasTarget ? parts.at(0) : arg;
    const QString target
        = hasTarget ? QDir::toNativeSeparators(parts.at(1)).trimmed() : QStringLiteral("image.bmp");
    const SearchRegion region = parseSearchRegion(regionText, ctx.platform().cursorPosition());
    if (!region.hasExtent()) {
        ctx.showLineError(line.text);
        return LineOutcome::EndRun;
    }
    QImage picture = copyRegion(ctx.platform().captureScreen(), region);

    const QString cut = QString::fromUtf8(kGetCharImages);
    QRegularExpressionMatch m;
    if ((m = matchWhole(cut + QStringLiteral("\\[(\\d+)\\]\\[(.+)\\]"), target)).hasMatch()) {
        cutGlyphImages(picture, 1, 0, number(m, 1), m.captured(2), defaultLibrary(ctx));
    } else if ((m = matchWhole(cut + QStringLiteral("\\[(\\d+),(\\d+)\\]\\[(.+)\\]"), target))
                   .hasMatch()) {
        cutGlyphImages(picture, number(m, 1), 0, number(m, 2), m.captured(3), defaultLibrary(ctx));
    } else if ((m = matchWhole(
                    cut + QStringLiteral("\\[(\\d+),(\\d+),(\\d+)\\]\\[(.+)\\]"), target))
                   .hasMatch()) {
        cutGlyphImages(
            picture, number(m, 1), number(m, 2), number(m, 3), m.captured(4), defaultLibrary(ctx));
    } else if ((m = matchWhole(
                    withPath("(.*)\\[(\\d+)\\,(\\d+)\\]\\s*([\\(（]((复制)|(串\\d+))[\\)）])?"
                             "\\s*(%P.+)?"),
                    target))
                   .hasMatch()) {
        QString folder = nativePath(m.captured(1));
        if (folder.isEmpty())
            folder = defaultLibrary(ctx);
        const QString text = recogniseText(picture, folder, number(m, 2), number(m, 3));
        if (m.capturedLength(4) > 0 && !deliverText(ctx, line, m.captured(5), text))
            return LineOutcome::EndRun;
        if (m.capturedLength(8) > 0) // a labelled sample for building libraries
            picture.save(
                QDir(nativePath(m.captured(8))).filePath(text + QStringLiteral(".bmp")), "BMP");
    } else if ((m = matchWhole(withPath("(%P.+\\.bmp)([\\(（][Cc]ut[Bb]order[\\)）])"), target))
                   .hasMatch()) {
        cutBorder(picture);
        picture.save(nativePath(m.captured(1)), "BMP");
    } else {
        picture.save(target.isEmpty() ? QStringLiteral("image.bmp") : target, "BMP");
    }
    return LineOutcome::Continue;
}

LineOutcome cmdPicture(CommandContext &ctx, const ScriptLine &line)
{
    QString arg = line.argument;
    if (!ctx.resolveSource(line, arg, true))
        return LineOutcome::EndRun;

    const QString file = QStringLiteral("(%P.+\\.bmp)\\s*");
    const QString cut = file + QString::fromUtf8(kGetCharImages) + QStringLiteral("\\s*");
    QString path = QStringLiteral("image.bmp");
    QRegularExpressionMatch m;
    auto load = [&] {
        path = nativePath(m.captured(1));
        return QImage(path);
    };
    if ((m = matchWhole(withPath(file + QStringLiteral("[\\(（][Cc]ut[Bb]order[\\)）]")), arg))
            .hasMatch()) {
        QImage image = load();
        cutBorder(image);
        image.save(path, "BMP");
    } else if ((m = matchWhole(withPath(file
                                   + QStringLiteral(
                                       "[\\(（][Rr]educe[Ll]ight[Cc]olour[\\)）]\\s*\\[(\\d+)\\]")),
                    arg))
                   .hasMatch()) {
        QImage image = load();
        reduceLightColour(image, number(m, 2));
        image.save(path, "BMP");
    } else if ((m = matchWhole(withPath(cut + QStringLiteral("\\[(\\d+)\\]\\[(.+)\\]")), arg))
                   .hasMatch()) {
        cutGlyphImages(load(), 1, 0, number(m, 2), m.captured(3), defaultLibrary(ctx));
    } else if ((m = matchWhole(
                    withPath(cut + QStringLiteral("\\[(\\d+),(\\d+)\\]\\[(.+)\\]")), arg))
                   .hasMatch()) {
        cutGlyphImages(load(), number(m, 2), 0, number(m, 3), m.captured(4), defaultLibrary(ctx));
    } else if ((m = matchWhole(
                    withPath(cut + QStringLiteral("\\[(\\d+),(\\d+),(\\d+)\\]\\[(.+)\\]")), arg))
                   .hasMatch()) {
        cutGlyphImages(
            load(), number(m, 2), number(m, 3), number(m, 4), m.captured(5), defaultLibrary(ctx));
    } else if ((m = matchWhole(
                    withPath(file
                        + QStringLiteral(
                            "\\[(\\d+)\\,(\\d+)\\]\\s*(%P.+)?[\\(（]((复制)|(串\\d+))[\\)）]")),
                    arg))
                   .hasMatch()) {
        QString folder = nativePath(m.captured(4));
        if (folder.isEmpty())
            folder = defaultLibrary(ctx);
        const QString text = recogniseText(load(), folder, number(m, 2), number(m, 3));
        if (!deliverText(ctx, line, m.captured(5), text))
            return LineOutcome::EndRun;
    }
    // The file is looked for only after the work, which a missing file turned into work on
    // an empty image.
    if (!QFileInfo(path).isFile()) {
        ctx.showLineError(line.text + kMissingPicture);
        return LineOutcome::EndRun;
    }
    return LineOutcome::Continue;
}
