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
#include <QHash>
#include <QMutex>
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
    // Compiled once: the checker reads every line of a script with these. The run's thread and
    // the editor's background check share the cache (matching itself is thread-safe). Not
    // thread_local: with MinGW's threads its clean-up at a thread's end hangs the program.
    static QMutex lock;
    static QHash<QString, QRegularExpression> compiled;
    QRegularExpression re;
    {
        QMutexLocker locker(&lock);
        auto it = compiled.find(pattern);
        if (it == compiled.end())
            it = compiled.insert(pattern,
                QRegularExpression(QRegularExpression::anchoredPattern(pattern),
                    QRegularExpression::DotMatchesEverythingOption));
        re = *it;
    }
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

// How a 识别 argument reads.
enum class RecognitionForm {
    BadRegion, // a region that matches no form
    Bitmap, // an absolute .bmp path, with optional search numbers and target
    Plain, // anything else: the whole target is the path
};

RecognitionForm parseRecognition(const QString &arg, const QPoint &cursor, Recognition &r)
{
    const QStringList parts = arg.split(kArrow, Qt::KeepEmptyParts);
    r.hasRegion = parts.size() == 2;
    r.target = QDir::toNativeSeparators(r.hasRegion ? parts.at(1) : arg).trimmed();
    if (r.hasRegion) {
        r.region = parseSearchRegion(parts.at(0), cursor);
        if (!r.region.matched())
            return RecognitionForm::BadRegion;
    }
    // Without a match the whole target is the path; a bitmap that does not load is the
    // empty template, which fits at once.
    r.path = r.target;
    const QRegularExpressionMatch m
        = matchWhole(withPath("(%P.+\\.bmp)\\s*(?:\\[(\\d+),(\\d+),(\\d+)\\])?"
                              "\\s*(?:[\\(（]((复制)|(串\\d+))[\\)）])?"),
            r.target);
    if (!m.hasMatch())
        return RecognitionForm::Plain;
    r.path = m.captured(1);
    if (m.capturedLength(2) > 0) {
        r.threshold = number(m, 2);
        r.tolerance = number(m, 3);
        r.misses = number(m, 4);
    }
    return RecognitionForm::Bitmap;
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
    const RecognitionForm form = parseRecognition(arg, ctx.platform().cursorPosition(), r);
    if (form == RecognitionForm::BadRegion) {
        ctx.showLineError(line.text);
        return LineOutcome::EndRun;
    }
    if (form == RecognitionForm::Bitmap && !QFileInfo(r.path).isFile()) {
        ctx.showLineError(line.text + kMissingPicture);
        return LineOutcome::EndRun;
    }

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

void checkRecognise(LineCheck &check, const ScriptLine &line)
{
    if (!check.argumentKnown(line.argument, true))
        return;
    Recognition r;
    switch (parseRecognition(line.argument, QPoint(), r)) {
    case RecognitionForm::BadRegion:
        check.error(QStringLiteral("识别区域格式有误(应为 x1,y1-x2,y2、x,y-宽*高、x,y、mxy 等)"));
        return;
    case RecognitionForm::Bitmap:
        if (!check.fileExists(r.path))
            check.warning(kMissingPicture.trimmed());
        break;
    case RecognitionForm::Plain:
        if (!check.fileExists(r.path))
            check.warning(QStringLiteral("图片不存在，总是视为找到"));
        break;
    }
    check.target(r.target, false); // delivered only when the bitmap is found
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

namespace {

// The forms of a 截图 target, tried in this order.
enum class CaptureForm {
    Glyphs, // (GetCharImages)[n][name], [a,n][name] or [a,b,n][name]: cut the glyphs apart
    Recognise, // folder[w,h] (target) path: recognise the text
    CutBorder, // path.bmp(CutBorder)
    Save, // anything else is the file to save
};

// The region text and the target of a 截图 argument.
struct CaptureArgument
{
    QString region;
    QString target;
};

CaptureArgument captureArgument(const QString &arg)
{
    const QStringList parts = arg.split(kArrow, Qt::KeepEmptyParts);
    if (parts.size() != 2)
        return {arg, QStringLiteral("image.bmp")};
    return {parts.at(0), QDir::toNativeSeparators(parts.at(1)).trimmed()};
}

// For Glyphs, glyphNumbers tells how many numbers the brackets held (1 to 3).
CaptureForm captureForm(const QString &target, QRegularExpressionMatch *m, int *glyphNumbers)
{
    const QString cut = QString::fromUtf8(kGetCharImages);
    static const char *const glyphs[] = {"\\[(\\d+)\\]\\[(.+)\\]", "\\[(\\d+),(\\d+)\\]\\[(.+)\\]",
        "\\[(\\d+),(\\d+),(\\d+)\\]\\[(.+)\\]"};
    for (int k = 0; k < 3; ++k) {
        if ((*m = matchWhole(cut + QLatin1String(glyphs[k]), target)).hasMatch()) {
            *glyphNumbers = k + 1;
            return CaptureForm::Glyphs;
        }
    }
    if ((*m = matchWhole(withPath("(.*)\\[(\\d+)\\,(\\d+)\\]\\s*([\\(（]((复制)|(串\\d+))[\\)）])?"
                                  "\\s*(%P.+)?"),
             target))
            .hasMatch())
        return CaptureForm::Recognise;
    if ((*m = matchWhole(withPath("(%P.+\\.bmp)([\\(（][Cc]ut[Bb]order[\\)）])"), target))
            .hasMatch())
        return CaptureForm::CutBorder;
    return CaptureForm::Save;
}

// The glyph cut of a GetCharImages match with 1 to 3 numbers: (1, 0, n), (a, 0, n), (a, b, n).
void cutGlyphs(CommandContext &ctx, const QImage &picture, const QRegularExpressionMatch &m,
    int numbers, int first)
{
    const int a = numbers >= 2 ? number(m, first) : 1;
    const int b = numbers == 3 ? number(m, first + 1) : 0;
    const int n = number(m, first + numbers - 1);
    cutGlyphImages(picture, a, b, n, m.captured(first + numbers), defaultLibrary(ctx));
}

} // namespace

LineOutcome cmdCapture(CommandContext &ctx, const ScriptLine &line)
{
    QString arg = line.argument;
    if (!ctx.resolveSource(line, arg, true))
        return LineOutcome::EndRun;

    const CaptureArgument parts = captureArgument(arg);
    const QString &target = parts.target;
    const SearchRegion region = parseSearchRegion(parts.region, ctx.platform().cursorPosition());
    if (!region.hasExtent()) {
        ctx.showLineError(line.text);
        return LineOutcome::EndRun;
    }
    QImage picture = copyRegion(ctx.platform().captureScreen(), region);

    QRegularExpressionMatch m;
    int glyphNumbers = 0;
    switch (captureForm(target, &m, &glyphNumbers)) {
    case CaptureForm::Glyphs:
        cutGlyphs(ctx, picture, m, glyphNumbers, 1);
        break;
    case CaptureForm::Recognise: {
        QString folder = nativePath(m.captured(1));
        if (folder.isEmpty())
            folder = defaultLibrary(ctx);
        const QString text = recogniseText(picture, folder, number(m, 2), number(m, 3));
        if (m.capturedLength(4) > 0 && !deliverText(ctx, line, m.captured(5), text))
            return LineOutcome::EndRun;
        if (m.capturedLength(8) > 0) // a labelled sample for building libraries
            picture.save(
                QDir(nativePath(m.captured(8))).filePath(text + QStringLiteral(".bmp")), "BMP");
        break;
    }
    case CaptureForm::CutBorder:
        cutBorder(picture);
        picture.save(nativePath(m.captured(1)), "BMP");
        break;
    case CaptureForm::Save:
        picture.save(target.isEmpty() ? QStringLiteral("image.bmp") : target, "BMP");
        break;
    }
    return LineOutcome::Continue;
}

void checkCapture(LineCheck &check, const ScriptLine &line)
{
    if (!check.argumentKnown(line.argument, true))
        return;
    const CaptureArgument parts = captureArgument(line.argument);
    if (!parseSearchRegion(parts.region, QPoint()).hasExtent()) {
        check.error(QStringLiteral("截图区域格式有误(应为 x1,y1-x2,y2、x,y-宽*高、mxy-x2,y2 或 mxy-宽*高)"));
        return;
    }
    QRegularExpressionMatch m;
    int glyphNumbers = 0;
    if (captureForm(parts.target, &m, &glyphNumbers) == CaptureForm::Recognise
        && m.capturedLength(4) > 0)
        check.target(QLatin1Char('(') + m.captured(5) + QLatin1Char(')'));
}

namespace {

// The forms of a 图片 argument, tried in this order; each names the bitmap in its first group.
enum class PictureForm {
    CutBorder, // path.bmp (CutBorder)
    ReduceLight, // path.bmp (ReduceLightColour)[n]
    Glyphs, // path.bmp (GetCharImages)[n][name], [a,n][name] or [a,b,n][name]
    Recognise, // path.bmp [w,h] folder (target)
    None, // no form: nothing is done, and "image.bmp" must exist
};

PictureForm pictureForm(const QString &arg, QRegularExpressionMatch *m, int *glyphNumbers)
{
    const QString file = QStringLiteral("(%P.+\\.bmp)\\s*");
    const QString cut = file + QString::fromUtf8(kGetCharImages) + QStringLiteral("\\s*");
    if ((*m = matchWhole(withPath(file + QStringLiteral("[\\(（][Cc]ut[Bb]order[\\)）]")), arg))
            .hasMatch())
        return PictureForm::CutBorder;
    if ((*m = matchWhole(withPath(file
                                  + QStringLiteral(
                                      "[\\(（][Rr]educe[Ll]ight[Cc]olour[\\)）]\\s*\\[(\\d+)\\]")),
             arg))
            .hasMatch())
        return PictureForm::ReduceLight;
    static const char *const glyphs[] = {"\\[(\\d+)\\]\\[(.+)\\]", "\\[(\\d+),(\\d+)\\]\\[(.+)\\]",
        "\\[(\\d+),(\\d+),(\\d+)\\]\\[(.+)\\]"};
    for (int k = 0; k < 3; ++k) {
        if ((*m = matchWhole(withPath(cut + QLatin1String(glyphs[k])), arg)).hasMatch()) {
            *glyphNumbers = k + 1;
            return PictureForm::Glyphs;
        }
    }
    if ((*m = matchWhole(
             withPath(file
                 + QStringLiteral("\\[(\\d+)\\,(\\d+)\\]\\s*(%P.+)?[\\(（]((复制)|(串\\d+))[\\)）]")),
             arg))
            .hasMatch())
        return PictureForm::Recognise;
    return PictureForm::None;
}

QString picturePath(PictureForm form, const QRegularExpressionMatch &m)
{
    return form == PictureForm::None ? QStringLiteral("image.bmp") : nativePath(m.captured(1));
}

} // namespace

LineOutcome cmdPicture(CommandContext &ctx, const ScriptLine &line)
{
    QString arg = line.argument;
    if (!ctx.resolveSource(line, arg, true))
        return LineOutcome::EndRun;

    QRegularExpressionMatch m;
    int glyphNumbers = 0;
    const PictureForm form = pictureForm(arg, &m, &glyphNumbers);
    const QString path = picturePath(form, m);
    switch (form) {
    case PictureForm::CutBorder: {
        QImage image(path);
        cutBorder(image);
        image.save(path, "BMP");
        break;
    }
    case PictureForm::ReduceLight: {
        QImage image(path);
        reduceLightColour(image, number(m, 2));
        image.save(path, "BMP");
        break;
    }
    case PictureForm::Glyphs:
        cutGlyphs(ctx, QImage(path), m, glyphNumbers, 2);
        break;
    case PictureForm::Recognise: {
        QString folder = nativePath(m.captured(4));
        if (folder.isEmpty())
            folder = defaultLibrary(ctx);
        const QString text = recogniseText(QImage(path), folder, number(m, 2), number(m, 3));
        if (!deliverText(ctx, line, m.captured(5), text))
            return LineOutcome::EndRun;
        break;
    }
    case PictureForm::None:
        break;
    }
    // The file is looked for only after the work, which a missing file turned into work on
    // an empty image.
    if (!QFileInfo(path).isFile()) {
        ctx.showLineError(line.text + kMissingPicture);
        return LineOutcome::EndRun;
    }
    return LineOutcome::Continue;
}

void checkPicture(LineCheck &check, const ScriptLine &line)
{
    if (!check.argumentKnown(line.argument, true))
        return;
    QRegularExpressionMatch m;
    int glyphNumbers = 0;
    const PictureForm form = pictureForm(line.argument, &m, &glyphNumbers);
    if (form == PictureForm::Recognise)
        check.target(QLatin1Char('(') + m.captured(5) + QLatin1Char(')'));
    if (form == PictureForm::None)
        check.warning(QStringLiteral("图片参数无法识别：此行只查找 image.bmp，找不到时出错"));
    else if (!check.fileExists(picturePath(form, m)))
        check.warning(kMissingPicture.trimmed());
}
