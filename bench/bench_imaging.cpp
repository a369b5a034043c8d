// The image engine's figures, each beside the plain per-pixel version (tests/imaging/
// plainreference.h) measured in the same run:
//   search of a 1920 × 1080 screen for a 48 × 48 template, absent or in the bottom-right
//   corner, on random noise and on a mostly white desktop, with t = 0, k = 0 and t = 10, k = 20;
//   recognition of ten lines of 40 characters with a 100-glyph library;
//   one full-screen capture of a 1920 × 1080 Xvfb screen (and capture plus search).
// The capture needs Xvfb; without it those rows report an error and the rest still run.
#include "platform/platform.h"
#include "imaging/glyphs.h"
#include "imaging/imageops.h"
#include "imaging/templatesearch.h"
#include "plainreference.h"
#include "xvfbsession.h"

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kSide = 48;
// The last place the search tries: x = right - w is never tried.
const QPoint kCorner(kWidth - kSide - 1, kHeight - kSide - 1);

QImage noise(int w, int h, quint32 seed)
{
    QRandomGenerator random(seed);
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = 0xff000000u | (random.generate() & 0xffffffu);
    }
    return image;
}

// Windows with title bars and lines of text on a white desktop, a taskbar, a few icons.
QImage desktop()
{
    QRandomGenerator random(11);
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    p.setFont(font);
    const QStringList words {"file", "edit", "view", "window", "help", "open", "save", "script",
        "run", "stop", "image", "search", "screen", "table", "record", "value", "line", "text"};
    for (int i = 0; i < 7; ++i) {
        const QRect frame(random.bounded(60, 1200), random.bounded(20, 600),
            random.bounded(300, 700), random.bounded(200, 420));
        p.fillRect(frame, Qt::white);
        p.setPen(QColor(160, 160, 160));
        p.drawRect(frame);
        p.fillRect(frame.x(), frame.y(), frame.width(), 24, QColor(0, 90, 160));
        p.setPen(Qt::white);
        p.drawText(frame.x() + 8, frame.y() + 17, words.at(i) + QStringLiteral(" - Quorvel"));
        p.setPen(Qt::black);
        for (int y = frame.y() + 44; y < frame.bottom() - 8; y += 18) {
            QString line;
            for (int w = random.bounded(3, 10); w > 0; --w)
                line += words.at(random.bounded(words.size())) + QLatin1Char(' ');
            p.drawText(frame.x() + 10, y, line);
        }
        p.fillRect(frame.right() - 90, frame.bottom() - 34, 80, 24, QColor(225, 225, 225));
    }
    for (int i = 0; i < 6; ++i) {
        const QRect icon(12, 20 + i * 80, 48, 48);
        p.fillRect(icon, QColor::fromHsv(i * 50, 160, 220));
        p.setPen(Qt::black);
        p.drawText(icon.x(), icon.bottom() + 14, words.at(i));
    }
    p.fillRect(0, kHeight - 44, kWidth, 44, QColor(40, 44, 60));
    // A clock in the corner: the template that is found.
    const QRect clock(kCorner, QSize(kSide, kSide));
    p.fillRect(clock, QColor(250, 240, 200));
    p.setPen(QColor(200, 40, 40));
    p.drawEllipse(clock.adjusted(4, 4, -4, -4));
    p.drawLine(clock.center(), clock.center() + QPoint(0, -14));
    p.drawLine(clock.center(), clock.center() + QPoint(10, 3));
    return image;
}

// A 48 × 48 piece of desktop-like content that is nowhere on the desktop.
QImage absentTile()
{
    QImage tile(kSide, kSide, QImage::Format_RGB32);
    tile.fill(Qt::white);
    QPainter p(&tile);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(2, 16, QStringLiteral("zebra"));
    p.drawText(2, 34, QStringLiteral("quay"));
    p.fillRect(0, 40, kSide, 8, QColor(0, 90, 160));
    return tile;
}

struct Scene
{
    QImage screen;
    QImage absent;
    QImage corner;
};

const Scene &scene(bool noisy)
{
    static const Scene noiseScene = [] {
        Scene s;
        s.screen = noise(kWidth, kHeight, 1);
        s.absent = noise(kSide, kSide, 2);
        s.corner = s.screen.copy(QRect(kCorner, QSize(kSide, kSide)));
        return s;
    }();
    static const Scene desktopScene = [] {
        Scene s;
        s.screen = desktop();
        s.absent = absentTile();
        s.corner = s.screen.copy(QRect(kCorner, QSize(kSide, kSide)));
        return s;
    }();
    return noisy ? noiseScene : desktopScene;
}

void search(benchmark::State &state, bool noisy, bool present, int t, int k, bool fast)
{
    const Scene &s = scene(noisy);
    const QImage &templ = present ? s.corner : s.absent;
    const imaging::SearchResult expected
        = imaging::findTemplate(s.screen, templ, 0, 0, 0, 0, 0, t, k);
    if ((expected.outcome == imaging::SearchResult::Found) != present
        || (present && expected.centre != kCorner + QPoint(kSide / 2, kSide / 2))) {
        state.SkipWithError("the scene does not give the intended answer");
        return;
    }
    for (auto _ : state) {
        const imaging::SearchResult r = fast
            ? imaging::findTemplate(s.screen, templ, 0, 0, 0, 0, 0, t, k)
            : plain::findTemplate(s.screen, templ, 0, 0, 0, 0, 0, t, k);
        benchmark::DoNotOptimize(r);
        if (r.outcome != expected.outcome || r.centre != expected.centre)
            state.SkipWithError("the two searches disagree");
    }
}

// A library of 100 glyphs rendered from a font, and a page of 10 lines of 40 of them.
struct Reading
{
    imaging::GlyphLibrary library;
    plain::Library plainLibrary;
    QImage page;
    QString text;
    QString folder; // the library as files, named g000 … g099
};

const Reading &reading()
{
    static QTemporaryDir dir;
    static const Reading r = [] {
        Reading r;
        const QString chars
            = QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstu"
                             "vwxyzαβγδεζηθλμξπρστφχψωΔΘΛΞΠΣΦΨΩ#$%&@?+=<>{");
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPixelSize(16);
        font.setStyleStrategy(QFont::NoAntialias);
        for (const QChar c : chars) {
            QImage g(24, 24, QImage::Format_RGB32);
            g.fill(Qt::white);
            QPainter p(&g);
            p.setFont(font);
            p.setPen(Qt::black);
            p.drawText(4, 18, QString(c));
            p.end();
            imaging::cutBorder(g);
            r.library.append({QString(c), g});
            r.plainLibrary.append({QString(c), g});
            g.save(dir.filePath(QStringLiteral("g%1.bmp").arg(
                       r.library.size() - 1, 3, 10, QLatin1Char('0'))),
                "BMP");
        }
        r.folder = dir.path();
        QRandomGenerator random(5);
        const int lineHeight = 22;
        r.page = QImage(40 * 16, 10 * (lineHeight + 4) + 8, QImage::Format_RGB32);
        r.page.fill(Qt::white);
        for (int line = 0; line < 10; ++line) {
            int x = 4;
            for (int i = 0; i < 40; ++i) {
                const imaging::Glyph &g = r.library.at(random.bounded(r.library.size()));
                QPainter p(&r.page);
                p.drawImage(
                    x, 4 + line * (lineHeight + 4) + (lineHeight - g.image.height()) / 2, g.image);
                x += g.image.width() + 2;
            }
        }
        r.text = imaging::recogniseText(r.page, r.library, 200, 0);
        return r;
    }();
    return r;
}

void recognise(benchmark::State &state, int variant)
{
    const Reading &r = reading();
    if (r.text.size() < 400) {
        state.SkipWithError("the page was not read");
        return;
    }
    for (auto _ : state) {
        QString text;
        switch (variant) {
        case 0:
            text = imaging::recogniseText(r.page, r.library, 200, 0);
            break;
        case 1:
            text = imaging::recogniseText(r.page, r.folder, 200, 0);
            break;
        default:
            text = plain::recogniseText(r.page, r.plainLibrary, 200, 0);
            break;
        }
        benchmark::DoNotOptimize(text);
        if (variant != 1 && text != r.text)
            state.SkipWithError("the two readings disagree");
    }
    state.counters["characters"] = r.text.size() - 18;
}

bool g_haveX = false;

void capture(benchmark::State &state, bool thenSearch)
{
    if (!g_haveX) {
        state.SkipWithError("no Xvfb");
        return;
    }
    const QImage templ = scene(false).absent;
    for (auto _ : state) {
        const QImage screen = systemPlatform().captureScreen();
        if (screen.size() != QSize(kWidth, kHeight))
            state.SkipWithError("the capture has the wrong size");
        if (thenSearch)
            benchmark::DoNotOptimize(imaging::findTemplate(screen, templ, 0, 0, 0, 0, 0, 0, 0));
        benchmark::DoNotOptimize(screen);
    }
}

void registerAll()
{
    for (const bool noisy : {true, false}) {
        for (const bool present : {false, true}) {
            for (const auto &tk : {std::make_pair(0, 0), std::make_pair(10, 20)}) {
                for (const bool fast : {true, false}) {
                    const std::string name = std::string("search/") + (noisy ? "noise" : "desktop")
                        + (present ? "/bottom-right" : "/absent") + "/t" + std::to_string(tk.first)
                        + "k" + std::to_string(tk.second) + (fast ? "/fast" : "/plain");
                    auto *b = benchmark::RegisterBenchmark(
                        name.c_str(), search, noisy, present, tk.first, tk.second, fast);
                    b->Unit(benchmark::kMillisecond);
                    if (!fast)
                        b->Iterations(tk.first ? 1 : 3);
                }
            }
        }
    }
    benchmark::RegisterBenchmark("recognise/10x40, 100 glyphs/fast", recognise, 0)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(
        "recognise/10x40, 100 glyphs/fast, library loaded from files", recognise, 1)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("recognise/10x40, 100 glyphs/plain", recognise, 2)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RegisterBenchmark("capture/1920x1080 Xvfb", capture, false)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(
        "capture/1920x1080 Xvfb, then search (absent, t0k0)", capture, true)
        ->Unit(benchmark::kMillisecond);
}

} // namespace

int main(int argc, char **argv)
{
    // A private Xvfb of full-HD size for the capture figures; never the desktop's display.
    XvfbSession::Options options;
    options.screen = QSize(kWidth, kHeight);
    std::unique_ptr<XvfbSession> x;
    if (XvfbSession::missingTools(options).isEmpty())
        x = std::make_unique<XvfbSession>(options);
    g_haveX = x && x->isValid();
    if (g_haveX) {
        qputenv("DISPLAY", x->display().toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
