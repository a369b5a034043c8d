#include "imaging/region.h"

#include <QRegularExpression>

#include <limits>

namespace imaging {

namespace {

QRegularExpressionMatch exactMatch(const QString &pattern, const QString &text)
{
    // Built per call: the commands run on the interpreter thread, once per line.
    const QRegularExpression re(QRegularExpression::anchoredPattern(pattern));
    return re.match(text);
}

int number(const QRegularExpressionMatch &m, int group)
{
    return m.captured(group).toInt(); // digits beyond int count as 0
}

int clampToInt(qint64 v)
{
    if (v > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return int(v);
}

} // namespace

SearchRegion parseSearchRegion(const QString &input, const QPoint &cursor)
{
    QString text = input;
    text.replace(QChar(0xFF0C), QLatin1Char(','));

    SearchRegion r;
    qint64 width = 0;
    qint64 height = 0;
    QRegularExpressionMatch m;
    if ((m = exactMatch(QStringLiteral("(\\d+),(\\d+)-(\\d+),(\\d+)"), text)).hasMatch()) {
        r.form = SearchRegion::Corners;
        r.left = number(m, 1);
        r.top = number(m, 2);
        width = qint64(number(m, 3)) - r.left;
        height = qint64(number(m, 4)) - r.top;
    } else if ((m = exactMatch(QStringLiteral("(\\d+),(\\d+)-(\\d+)\\*(\\d+)"), text)).hasMatch()) {
        r.form = SearchRegion::PointSize;
        r.left = number(m, 1);
        r.top = number(m, 2);
        width = number(m, 3);
        height = number(m, 4);
    } else if ((m = exactMatch(QStringLiteral("([mM][xX][yY])-(\\d+),(\\d+)"), text)).hasMatch()) {
        r.form = SearchRegion::CursorCorner;
        r.left = cursor.x();
        r.top = cursor.y();
        width = qint64(number(m, 2)) - r.left;
        height = qint64(number(m, 3)) - r.top;
    } else if ((m = exactMatch(QStringLiteral("([mM][xX][yY])-(\\d+)\\*(\\d+)"), text))
                   .hasMatch()) {
        r.form = SearchRegion::CursorSize;
        r.left = cursor.x();
        r.top = cursor.y();
        width = number(m, 2);
        height = number(m, 3);
    } else if ((m = exactMatch(QStringLiteral("(\\d+),(\\d+)"), text)).hasMatch()) {
        r.form = SearchRegion::Point;
        r.left = number(m, 1);
        r.top = number(m, 2);
    } else if (exactMatch(QStringLiteral("[mM][xX][yY]"), text).hasMatch()) {
        r.form = SearchRegion::Cursor;
        r.left = cursor.x();
        r.top = cursor.y();
    } else {
        return r;
    }
    if (width < 0) {
        r.left = clampToInt(r.left + width);
        width = -width;
    }
    if (height < 0) {
        r.top = clampToInt(r.top + height);
        height = -height;
    }
    r.width = clampToInt(width);
    r.height = clampToInt(height);
    return r;
}

} // namespace imaging
