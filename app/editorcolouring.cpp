#include "app/colouringparts.h"

#include <QRegularExpression>
#include <QVector>

#include <utility>

namespace editor {

namespace {

struct ColourStep
{
    QRegularExpression pattern;
    QString replacement;
};

QString wrapped(const char *style)
{
    return QStringLiteral("<span><span style='%1'>\\1</span></span>").arg(QLatin1String(style));
}

// The colour table, in the order it is applied: later patterns see the spans of earlier ones.
// Word boundaries and \d must know Chinese letters, so the patterns use Unicode properties.
const QVector<ColourStep> &colourSteps()
{
    static const QVector<ColourStep> steps = [] {
        const auto rx = [](const char *pattern) {
            QRegularExpression re(
                QString::fromUtf8(pattern), QRegularExpression::UseUnicodePropertiesOption);
            re.optimize();
            return re;
        };
        const QString darkRed = wrapped("color:#aa0000;");
        const QString darkGreen = wrapped("color:#007700;");
        const QString green = wrapped("color:#00AA00;");
        const QString orange = wrapped("color:#FF5500;");
        const QString blue = wrapped("color:#0055ff;");
        return QVector<ColourStep> {
            {rx("(_[^\\s]*_)"), wrapped("color:#00aa00;")},
            {rx("((\\b文件夹->)|(\\b按下->)|(\\b抬起->)|(\\b截图->)|(\\b串\\d+->)|(\\b图片->)|"
                "(\\b刷新->)|(\\b日期->)|(\\b文件->)|(\\b改名->)|(\\b存csv->)|(\\b查csv->)|"
                "(\\b串串->)|(\\b跳到->)|(\\b跳减->)|(\\b跳加->)|(\\b复制->)|(\\b鼠标->)|"
                "(\\b延时->)|(\\b键盘->)|(\\b粘贴->)|(\\b时间->)|(\\b打开->)|(\\b关机->)|"
                "(\\bcmd->))"),
                darkRed},
            {rx("(\\b识别->)"), wrapped("color:#e90000;")},
            {rx("(\\b变\\d+->)"), darkGreen},
            {rx("(\\[变\\d+\\])"), darkGreen},
            {rx("(\\(变\\d+\\))"), darkGreen},
            {rx("(\\b串\\d+->)"), green},
            {rx("(\\[串\\d+\\])"), green},
            {rx("(\\(串\\d+\\))"), green},
            {rx("(\\b执行->\\d*)"),
                QStringLiteral("<span><span style='color:#FF0000;'><b>\\1</b></span></span>")},
            {rx("(\\b截止->)"), wrapped("font-weight:600;")},
            {rx("(\\b循环[^\\-]*->\\d+[^{}]*\\n[{])"), orange},
            {rx("(\\b循环[^\\-]*->\\d+[^{}]*\\n[}])"), orange},
            {rx("(\\b已复制->)"), blue},
            {rx("(\\b对比->)"), blue},
            {rx("(\\belse)"), blue},
            {rx("(#define)"), wrapped("color:#aa557f;")},
            {rx("(#insert)"), wrapped("color:#aaaa00;")},
        };
    }();
    return steps;
}

// A comment shows in grey only: the colour spans inside it are dropped (opening tags of the
// form "<span...>" and every "</span>").
void appendWithoutSpans(QString &out, const QString &text, int from, int to)
{
    static const QString open = QStringLiteral("<span");
    static const QString close = QStringLiteral("</span>");
    int i = from;
    while (i < to) {
        const int tag = text.indexOf(QLatin1Char('<'), i);
        if (tag < 0 || tag >= to) {
            out += text.midRef(i, to - i);
            return;
        }
        out += text.midRef(i, tag - i);
        const QStringRef rest = text.midRef(tag, to - tag);
        if (rest.startsWith(close)) {
            i = tag + close.size();
        } else if (rest.startsWith(open)) {
            const int end = text.indexOf(QLatin1Char('>'), tag);
            if (end < 0 || end >= to) {
                out += rest;
                return;
            }
            i = end + 1;
        } else {
            out += QLatin1Char('<');
            i = tag + 1;
        }
    }
}

void appendGrey(QString &out, const QString &text, int from, int to)
{
    out += parts::kGreyOpen;
    appendWithoutSpans(out, text, from, to);
    out += parts::kGreyClose;
}

// "/*" to the end of the next "*/", or to the end of the text.
QString greyBlockComments(const QString &text)
{
    static const QString start = QStringLiteral("/*");
    static const QString stop = QStringLiteral("*/");
    QString out;
    out.reserve(text.size() + text.size() / 4);
    int copied = 0;
    for (;;) {
        const int f = text.indexOf(start, copied);
        if (f < 0)
            break;
        const int close = text.indexOf(stop, f + 2);
        const int end = close < 0 ? text.size() : close + 2;
        out += text.midRef(copied, f - copied);
        appendGrey(out, text, f, end);
        copied = end;
    }
    out += text.midRef(copied);
    return out;
}

} // namespace

namespace parts {

QString escaped(const QString &script)
{
    QString html = script;
    // "&" first: without it a typed "&lt;" would come back from the editor as "<".
    html.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    html.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    html.replace(QLatin1Char(' '), QLatin1String("&nbsp;"));
    // A half of a surrogate pair on its own makes the whole text invalid to the pattern matcher,
    // which then colours nothing at all; as a character reference it colours like any other
    // mark, and only where it stands.
    for (int i = 0; i < html.size(); ++i) {
        const QChar c = html.at(i);
        if (!c.isSurrogate())
            continue;
        if (c.isHighSurrogate() && i + 1 < html.size() && html.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        const QString reference = QStringLiteral("&#%1;").arg(c.unicode());
        html.replace(i, 1, reference);
        i += reference.size() - 1;
    }
    return html;
}

void applySteps(QString &html, int from, int to)
{
    const QVector<ColourStep> &steps = colourSteps();
    for (int i = from; i < to; ++i)
        html.replace(steps.at(i).pattern, steps.at(i).replacement);
}

QString greyLineComments(const QString &text)
{
    static const QString start = QStringLiteral("//");
    QString out;
    out.reserve(text.size() + text.size() / 4);
    int copied = 0;
    int from = 0;
    for (;;) {
        const int f = text.indexOf(start, from);
        if (f < 0)
            break;
        if (f > 0 && text.at(f - 1) == QLatin1Char(':')) {
            from = f + 2;
            continue;
        }
        const int lineFeed = text.indexOf(QLatin1Char('\n'), f);
        const int end = lineFeed < 0 ? text.size() : lineFeed + 1;
        out += text.midRef(copied, f - copied);
        appendGrey(out, text, f, end);
        copied = from = end;
    }
    out += text.midRef(copied);
    return out;
}

} // namespace parts

QString documentHeader()
{
    return QStringLiteral(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\" "
        "\"http://www.w3.org/TR/REC-html40/strict.dtd\">\n"
        "<html><head><meta name=\"qrichtext\" content=\"1\" /><style type=\"text/css\">"
        "p, li { white-space: pre-wrap; line-height:120%; }</style></head>"
        "<body style=\" font-family:'Arial'; font-size:10pt; font-weight:400; "
        "font-style:normal;\">"
        "<p style=\" margin-top:3px; margin-bottom:2px; margin-left:0px; margin-right:0px; "
        "-qt-block-indent:0; text-indent:0px;\">");
}

QString documentTrailer()
{
    return QStringLiteral("</p></body></html>");
}

QString colouredBody(const QString &script)
{
    QString html = parts::escaped(script);
    parts::applySteps(html, 0, colourSteps().size());
    html = greyBlockComments(parts::greyLineComments(html));
    html.replace(QLatin1Char('\n'), QLatin1String("<br/>"));
    return html;
}

QString colouredDocument(const QString &script)
{
    return documentHeader() + colouredBody(script) + documentTrailer();
}

} // namespace editor
