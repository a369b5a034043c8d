// 对比: parts "(串n op right)" or "(变n op right)" joined by "||"; the first true part makes
// the condition true, and the block rule follows it.
#include "engine/commands.h"
#include "engine/linepatterns.h"

#include <QRegularExpression>

using namespace linepatterns;

namespace {

// One part's verdict; Error after reporting the line.
enum class PartResult { True, False, Error };

const QRegularExpression &partPattern(bool stringVariable)
{
    const auto options = QRegularExpression::UseUnicodePropertiesOption
        | QRegularExpression::DotMatchesEverythingOption;
    static const QRegularExpression stringPart(
        QStringLiteral("^[\\(（]\\s*串(\\d+)\\s*([=<>]=?)(.*)[\\)）]$"), options);
    static const QRegularExpression numberPart(
        QStringLiteral("^[\\(（]\\s*变(\\d+)\\s*([=<>]=?)(.*)[\\)）]$"), options);
    return stringVariable ? stringPart : numberPart;
}

const QString kRangeSuffix = QStringLiteral("(串n与变n的范围是1-100)");

// One part as written: everything but the variables' texts. error is the suffix of the red
// line when the part is wrong, whatever the variables hold.
struct Part
{
    QString error;
    bool leftIsString = true;
    int left = 0;
    QString op;
    // The right side: a whole "[串m]" or "[变m]" names variable m; anything else is text.
    enum { Text, StringVariable, NumberVariable } rightKind = Text;
    int rightIndex = 0;
    QString right;
};

Part parsePart(const QString &part)
{
    Part p;
    QRegularExpressionMatch m = partPattern(true).match(part);
    if (!m.hasMatch()) {
        m = partPattern(false).match(part);
        p.leftIsString = false;
    }
    if (!m.hasMatch()) {
        p.error = QStringLiteral("(比较式错误:") + part + QStringLiteral(")");
        return p;
    }
    p.left = toNumber(m.captured(1));
    p.op = m.captured(2);
    p.right = m.captured(3).trimmed();
    int n = 0;
    const bool whole = p.right.lastIndexOf(QLatin1Char('[')) == 0;
    if (stringSource(p.right, &n) && whole)
        p.rightKind = Part::StringVariable;
    else if (numberSource(p.right, &n) && whole)
        p.rightKind = Part::NumberVariable;
    p.rightIndex = n;
    static const QStringList operators = {"==", ">", ">=", "<", "<="};
    if (!CommandContext::validIndex(p.left)
        || (p.rightKind != Part::Text && !CommandContext::validIndex(n)))
        p.error = kRangeSuffix;
    else if (!operators.contains(p.op))
        p.error = QStringLiteral("(比较符错误:") + p.op + QStringLiteral(")");
    return p;
}

// Ordering operators compare as integers, "==" as text.
bool applyOperator(const QString &op, const QString &left, const QString &right)
{
    if (op == QLatin1String(">"))
        return toNumber(left) > toNumber(right);
    if (op == QLatin1String(">="))
        return toNumber(left) >= toNumber(right);
    if (op == QLatin1String("<"))
        return toNumber(left) < toNumber(right);
    if (op == QLatin1String("<="))
        return toNumber(left) <= toNumber(right);
    return left == right;
}

PartResult evaluatePart(CommandContext &ctx, const ScriptLine &line, const QString &text)
{
    const Part part = parsePart(text);
    if (!part.error.isEmpty()) {
        ctx.showLineError(line.text + part.error);
        return PartResult::Error;
    }
    const QString left
        = part.leftIsString ? ctx.stringVariable(part.left) : ctx.numberVariable(part.left);
    QString right = part.right;
    if (part.rightKind == Part::StringVariable)
        right = ctx.stringVariable(part.rightIndex);
    else if (part.rightKind == Part::NumberVariable)
        right = ctx.numberVariable(part.rightIndex);
    return applyOperator(part.op, left, right) ? PartResult::True : PartResult::False;
}

QStringList partsOf(const QString &expression)
{
    return expression.split(QStringLiteral("||"), Qt::KeepEmptyParts);
}

} // namespace

LineOutcome cmdCompare(CommandContext &ctx, const ScriptLine &line)
{
    QString expression = line.argument;
    if (!ctx.resolveSource(line, expression, true))
        return LineOutcome::EndRun;

    bool result = false;
    const QStringList parts = partsOf(expression);
    for (const QString &part : parts) {
        const PartResult verdict = evaluatePart(ctx, line, part.trimmed());
        if (verdict == PartResult::Error)
            break;
        if (verdict == PartResult::True) {
            result = true;
            break;
        }
    }
    ctx.applyBlockRule(result);
    return LineOutcome::Continue;
}

void checkCompare(LineCheck &check, const ScriptLine &line)
{
    if (!check.argumentKnown(line.argument, true))
        return;
    const QStringList parts = partsOf(line.argument);
    for (int i = 0; i < parts.size(); ++i) {
        QString error = parsePart(parts.at(i).trimmed()).error;
        if (error.isEmpty())
            continue;
        error = error.mid(1, error.size() - 2); // the suffix without its brackets
        // The first part is always evaluated; a later one only when those before it are false.
        if (i == 0)
            check.error(error);
        else
            check.warning(QStringLiteral("前面的比较都不成立时会出错：") + error);
        return;
    }
}
