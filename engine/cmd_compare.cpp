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

QString rangeError(const ScriptLine &line)
{
    return line.text + QStringLiteral("(串n与变n的范围是1-100)");
}

// The right side: only a whole "[串m]" or "[变m]" names a variable; anything else is compared
// as text. false after reporting a variable number out of range.
bool resolveRight(CommandContext &ctx, const ScriptLine &line, QString &right)
{
    int n = 0;
    const bool whole = right.lastIndexOf(QLatin1Char('[')) == 0;
    const bool isString = stringSource(right, &n) && whole;
    const bool isNumber = !isString && numberSource(right, &n) && whole;
    if (!isString && !isNumber)
        return true;
    if (!CommandContext::validIndex(n)) {
        ctx.showLineError(rangeError(line));
        return false;
    }
    right = isString ? ctx.stringVariable(n) : ctx.numberVariable(n);
    return true;
}

// Ordering operators compare as integers, "==" as text.
PartResult applyOperator(CommandContext &ctx, const ScriptLine &line, const QString &op,
    const QString &left, const QString &right)
{
    bool verdict = false;
    if (op == QLatin1String(">"))
        verdict = toNumber(left) > toNumber(right);
    else if (op == QLatin1String(">="))
        verdict = toNumber(left) >= toNumber(right);
    else if (op == QLatin1String("<"))
        verdict = toNumber(left) < toNumber(right);
    else if (op == QLatin1String("<="))
        verdict = toNumber(left) <= toNumber(right);
    else if (op == QLatin1String("=="))
        verdict = left == right;
    else {
        ctx.showLineError(line.text + QStringLiteral("(比较符错误:") + op + QStringLiteral(")"));
        return PartResult::Error;
    }
    return verdict ? PartResult::True : PartResult::False;
}

PartResult evaluatePart(CommandContext &ctx, const ScriptLine &line, const QString &part)
{
    bool leftIsString = true;
    QRegularExpressionMatch m = partPattern(true).match(part);
    if (!m.hasMatch()) {
        m = partPattern(false).match(part);
        leftIsString = false;
    }
    if (!m.hasMatch()) {
        ctx.showLineError(line.text + QStringLiteral("(比较式错误:") + part + QStringLiteral(")"));
        return PartResult::Error;
    }
    const int leftIndex = toNumber(m.captured(1));
    if (!CommandContext::validIndex(leftIndex)) {
        ctx.showLineError(rangeError(line));
        return PartResult::Error;
    }
    const QString left
        = leftIsString ? ctx.stringVariable(leftIndex) : ctx.numberVariable(leftIndex);
    QString right = m.captured(3).trimmed();
    if (!resolveRight(ctx, line, right))
        return PartResult::Error;
    return applyOperator(ctx, line, m.captured(2), left, right);
}

} // namespace

LineOutcome cmdCompare(CommandContext &ctx, const ScriptLine &line)
{
    QString expression = line.argument;
    if (!ctx.resolveSource(line, expression, true))
        return LineOutcome::EndRun;

    bool result = false;
    const QStringList parts = expression.split(QStringLiteral("||"), Qt::KeepEmptyParts);
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
