#include "engine/instructionthread.h"

#include "engine/commands.h"
#include "engine/linepatterns.h"
#include "platform/platform.h"
#include "engine/sleeper.h"

#include <QMutexLocker>
#include <QRegularExpression>

using namespace linepatterns;

namespace {

RealSleeper &defaultSleeper()
{
    static RealSleeper sleeper;
    return sleeper;
}

const QString kBraceOpen = QStringLiteral("{");
const QString kBraceClose = QStringLiteral("}");
const QString kElse = QStringLiteral("else");

} // namespace

QInstructionThread::QInstructionThread(QObject *parent)
    : QThread(parent)
{
}

QInstructionThread::~QInstructionThread()
{
    executeFlag = false;
    waitFlag = false;
    wait();
}

void QInstructionThread::setInstructionList(const QStringList &list)
{
    QMutexLocker lock(&m_listLock);
    m_instructionList = list;
}

QStringList QInstructionThread::instructionList() const
{
    QMutexLocker lock(&m_listLock);
    return m_instructionList;
}

int QInstructionThread::listSize() const
{
    QMutexLocker lock(&m_listLock);
    return m_instructionList.size();
}

QString QInstructionThread::entryAt(int index) const
{
    QMutexLocker lock(&m_listLock);
    return index >= 0 && index < m_instructionList.size() ? m_instructionList.at(index) : QString();
}

void QInstructionThread::pause(int ms)
{
    (m_sleeper ? *m_sleeper : defaultSleeper()).sleepMs(ms);
}

QString QInstructionThread::readClipboard()
{
    return m_clipboardReader ? m_clipboardReader() : QString();
}

int QInstructionThread::passOffset() const
{
    return m_run->repeatTotal - m_run->repeatRemaining;
}

// ---------------------------------------------------------------------------------------------
// The run

void QInstructionThread::run()
{
    RunState state;
    m_run = &state;

    if (executeFlag) {
        for (;;) {
            if (state.index >= listSize()) {
                if (state.repeatRemaining < 2) {
                    if (state.repeatTotal >= 2 && !m_fileStartMode)
                        emit ShowRunHint();
                    break;
                }
                --state.repeatRemaining;
                state.index = state.repeatStart;
                if (!m_fileStartMode) {
                    emit ShowDisposingFile(
                        QStringLiteral("<span style=\"color:red;\">正进行循环操作,剩余 ")
                        + QString::number(state.repeatRemaining) + QStringLiteral(" 次。</span>"));
                }
            } else {
                if (state.index == 0)
                    pause(500);
                if (executeLine() == LineOutcome::EndRun)
                    break;
                ++state.index;
                emit Signal_StepNum(state.index);
            }
            pause(50);
            if (!executeFlag)
                break;
        }
    }

    pause(50);
    m_run = nullptr;
    if (m_fileStartMode)
        emit ShowDisposingFile(QStringLiteral("complete"));
    executeFlag = false;
    waitFlag = false;
}

LineOutcome QInstructionThread::executeLine()
{
    const QString text = entryAt(m_run->index).trimmed();
    if (text == kElse)
        applyElseRule();
    if (text.isEmpty())
        return LineOutcome::Continue;
    const QStringList parts = text.split(QStringLiteral("->"), Qt::KeepEmptyParts);
    if (parts.size() != 2)
        return LineOutcome::Continue;

    ScriptLine line;
    line.text = text;
    line.command = parts.at(0).trimmed();
    line.argument = parts.at(1).trimmed();

    for (const Row &row : dispatchTable()) {
        const QString &keyword = row.keyword;
        bool hit = false;
        switch (row.match) {
        case Match::Equals:
            hit = line.command == keyword;
            break;
        case Match::BeginsWith:
            hit = line.command.startsWith(keyword);
            break;
        case Match::StringCommand:
            hit = stringCommand(line.command, nullptr);
            break;
        case Match::NumberCommand:
            hit = numberCommand(line.command, nullptr);
            break;
        }
        if (hit)
            return row.member ? (this->*row.member)(line) : row.family(*this, line);
    }
    showLineError(m_run->index, text + QStringLiteral("(无该命令类型)"));
    return LineOutcome::EndRun;
}

LineOutcome commandNotAvailable(CommandContext &ctx, const ScriptLine &line)
{
    ctx.showLineError(line.text + QStringLiteral("(无该命令类型)"));
    return LineOutcome::EndRun;
}

Platform &QInstructionThread::platform()
{
    return m_platform ? *m_platform : systemPlatform();
}

// Rows in the order they are tested; the first that matches runs.
const QVector<QInstructionThread::Row> &QInstructionThread::dispatchTable()
{
    using T = QInstructionThread;
    const auto core = [](Match m, const char *word, Member member) {
        return Row{m, QString::fromUtf8(word), member, nullptr};
    };
    const auto family = [](const char *word, Family f) {
        return Row{Match::Equals, QString::fromUtf8(word), nullptr, f};
    };
    static const QVector<Row> table = {
        core(Match::Equals, "执行", &T::cmdRepeat),
        family("鼠标", cmdMouse),
        family("键盘", cmdKeyboard),
        family("按下", cmdKeyDown),
        family("抬起", cmdKeyUp),
        family("粘贴", cmdPaste),
        family("延时", cmdDelay),
        family("时间", cmdWaitForTime),
        family("关机", cmdShutdown),
        family("打开", cmdOpen),
        family("文件夹", cmdFolder),
        family("cmd", cmdShell),
        family("进程", cmdProcess),
        core(Match::Equals, "截止", &T::cmdStop),
        family("识别", cmdRecognise),
        core(Match::Equals, "复制", &T::cmdCopy),
        core(Match::Equals, "已复制", &T::cmdClipboardCondition),
        core(Match::Equals, "对比", &T::cmdCompare),
        core(Match::BeginsWith, "循环", &T::cmdLoop),
        core(Match::StringCommand, "", &T::cmdStringVariable),
        core(Match::NumberCommand, "", &T::cmdNumberVariable),
        family("存csv", cmdSaveCsv),
        family("查csv", cmdLookupCsv),
        core(Match::Equals, "刷新", &T::cmdRefresh),
        core(Match::Equals, "跳到", &T::cmdJumpTo),
        core(Match::Equals, "跳加", &T::cmdJumpForward),
        core(Match::Equals, "跳减", &T::cmdJumpBack),
        family("文件", cmdFile),
        family("改名", cmdRename),
        family("日期", cmdDate),
        family("截图", cmdCapture),
        family("图片", cmdPicture),
    };
    return table;
}

void QInstructionThread::showLineError(int index, QString text)
{
    text.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    emit ShowDisposingFile(QStringLiteral("<span style=\"color:red;\">第") + QString::number(index + 1)
                           + QStringLiteral("行有误：") + text + QStringLiteral("</span>"));
    executeFlag = false;
}

// ---------------------------------------------------------------------------------------------
// Source and target rules

bool QInstructionThread::resolveSource(const ScriptLine &line, QString &arg, bool allowClipboard)
{
    int n = 0;
    if (numberSource(arg, &n)) {
        if (!validIndex(n)) {
            showLineError(m_run->index, line.text);
            return false;
        }
        arg = m_run->numbers.at(n - 1);
    } else if (stringSource(arg, &n)) {
        if (!validIndex(n)) {
            showLineError(m_run->index, line.text);
            return false;
        }
        arg = m_run->strings.at(n - 1);
    } else if (allowClipboard && arg == QStringLiteral("[复制]")) {
        arg = readClipboard();
    }
    return true;
}

bool QInstructionThread::deliverResult(const ScriptLine &line, const QString &result, bool *delivered)
{
    const QString &arg = line.argument;
    int n = 0;
    *delivered = true;
    if (numberTarget(arg, &n)) {
        if (!validIndex(n)) {
            showLineError(m_run->index, line.text);
            return false;
        }
        m_run->numbers[n - 1] = result;
    } else if (stringTarget(arg, &n)) {
        if (!validIndex(n)) {
            showLineError(m_run->index, line.text);
            return false;
        }
        m_run->strings[n - 1] += result;
    } else if (clipboardTarget(arg)) {
        emit ClipboardSetText(result);
    } else {
        *delivered = false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Blocks

int QInstructionThread::closingBrace(int from) const
{
    const int size = listSize();
    int depth = 1;
    for (int k = from; k < size; ++k) {
        const QString entry = entryAt(k);
        if (entry == kBraceOpen)
            ++depth;
        else if (entry == kBraceClose)
            --depth;
        if (depth == 0)
            return k;
    }
    return -1;
}

void QInstructionThread::applyBlockRule(bool condition)
{
    if (condition)
        return;
    RunState &st = *m_run;
    const int size = listSize();
    if (st.index + 2 > size - 1 || entryAt(st.index + 1).trimmed() != kBraceOpen)
        return;
    const int k = closingBrace(st.index + 2);
    if (k < 0)
        return;
    if (k + 3 < size && entryAt(k + 1) == kElse && entryAt(k + 2) == kBraceOpen)
        st.index = k + 2;
    else
        st.index = k;
}

void QInstructionThread::applyElseRule()
{
    RunState &st = *m_run;
    if (st.index + 2 > listSize() - 1)
        return;
    const int k = closingBrace(st.index + 2);
    if (k >= 0)
        st.index = k;
}

// ---------------------------------------------------------------------------------------------
// Commands of the core

LineOutcome QInstructionThread::cmdRepeat(const ScriptLine &line)
{
    QString arg = line.argument;
    if (!resolveSource(line, arg, true))
        return LineOutcome::EndRun;
    const int count = toNumber(arg);
    m_run->repeatTotal = count;
    m_run->repeatRemaining = count;
    m_run->repeatStart = m_run->index + 1;
    return LineOutcome::Continue;
}

LineOutcome QInstructionThread::cmdStop(const ScriptLine &)
{
    m_run->index = listSize();
    return LineOutcome::Continue;
}

LineOutcome QInstructionThread::cmdCopy(const ScriptLine &line)
{
    QString arg = line.argument;
    int n = 0;
    if (numberSource(arg, &n) || stringSource(arg, &n)) {
        if (!resolveSource(line, arg, false))
            return LineOutcome::EndRun;
    } else if (arg == QStringLiteral("(清空)")) {
        arg.clear();
    }
    emit ClipboardSetText(arg);
    return LineOutcome::Continue;
}

LineOutcome QInstructionThread::cmdClipboardCondition(const ScriptLine &line)
{
    const QString clipboard = readClipboard().trimmed();
    QString arg = line.argument;
    if (!resolveSource(line, arg, false))
        return LineOutcome::EndRun;
    applyBlockRule(clipboard == arg);
    return LineOutcome::Continue;
}

LineOutcome QInstructionThread::cmdCompare(const ScriptLine &line)
{
    static const QRegularExpression stringPart(
        QStringLiteral("^[\\(（]\\s*串(\\d+)\\s*([=<>]=?)(.*)[\\)）]$"),
        QRegularExpression::UseUnicodePropertiesOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression numberPart(
        QStringLiteral("^[\\(（]\\s*变(\\d+)\\s*([=<>]=?)(.*)[\\)）]$"),
        QRegularExpression::UseUnicodePropertiesOption | QRegularExpression::DotMatchesEverythingOption);

    QString expression = line.argument;
    if (!resolveSource(line, expression, true))
        return LineOutcome::EndRun;

    bool result = false;
    const QStringList parts = expression.split(QStringLiteral("||"), Qt::KeepEmptyParts);
    for (const QString &rawPart : parts) {
        const QString part = rawPart.trimmed();
        QRegularExpressionMatch m = stringPart.match(part);
        bool leftIsString = true;
        if (!m.hasMatch()) {
            m = numberPart.match(part);
            leftIsString = false;
        }
        if (!m.hasMatch()) {
            showLineError(m_run->index, line.text + QStringLiteral("(比较式错误:") + part + QStringLiteral(")"));
            result = false;
            break;
        }
        const QString rangeError = line.text + QStringLiteral("(串n与变n的范围是1-100)");
        const int leftIndex = toNumber(m.captured(1));
        if (!validIndex(leftIndex)) {
            showLineError(m_run->index, rangeError);
            result = false;
            break;
        }
        const QString left = leftIsString ? m_run->strings.at(leftIndex - 1) : m_run->numbers.at(leftIndex - 1);
        QString right = m.captured(3).trimmed();
        int n = 0;
        // Only a whole "[串m]" or "[变m]" names a variable; anything else is compared as text.
        const bool rightString = stringSource(right, &n) && right.lastIndexOf(QLatin1Char('[')) == 0;
        const bool rightNumber = !rightString && numberSource(right, &n)
            && right.lastIndexOf(QLatin1Char('[')) == 0;
        if (rightString || rightNumber) {
            if (!validIndex(n)) {
                showLineError(m_run->index, rangeError);
                result = false;
                break;
            }
            right = rightString ? m_run->strings.at(n - 1) : m_run->numbers.at(n - 1);
        }
        const QString op = m.captured(2);
        bool partTrue = false;
        if (op == QLatin1String(">"))
            partTrue = toNumber(left) > toNumber(right);
        else if (op == QLatin1String(">="))
            partTrue = toNumber(left) >= toNumber(right);
        else if (op == QLatin1String("<"))
            partTrue = toNumber(left) < toNumber(right);
        else if (op == QLatin1String("<="))
            partTrue = toNumber(left) <= toNumber(right);
        else if (op == QLatin1String("=="))
            partTrue = left == right;
        else {
            showLineError(m_run->index, line.text + QStringLiteral("(比较符错误:") + op + QStringLiteral(")"));
            result = false;
            break;
        }
        if (partTrue) {
            result = true;
            break;
        }
    }
    applyBlockRule(result);
    return LineOutcome::Continue;
}

LineOutcome QInstructionThread::cmdLoop(const ScriptLine &line)
{
    RunState &st = *m_run;
    const int size = listSize();
    if (st.index >= size - 1)
        return LineOutcome::Continue;
    const QString next = entryAt(st.index + 1).trimmed();
    const QString &name = line.command;
    const int slot = st.loopNames.indexOf(name);
    if (next == kBraceOpen) {
        const int count = toNumber(line.argument);
        if (slot < 0) {
            st.loopNames.append(name);
            st.loopCounters.append(count);
        } else {
            st.loopCounters[slot] = count;
        }
    } else if (next == kBraceClose && slot >= 0) {
        const int counter = --st.loopCounters[slot];
        if (counter >= 1) {
            const QString head = name + QStringLiteral("->");
            for (int s = st.index - 1; s >= 0; --s) {
                if (entryAt(s).startsWith(head)) {
                    st.index = s + 1;
                    break;
                }
            }
        }
    }
    return LineOutcome::Continue;
}

LineOutcome QInstructionThread::cmdStringVariable(const ScriptLine &line)
{
    int n = 0;
    stringCommand(line.command, &n);
    if (!validIndex(n)) {
        showLineError(m_run->index, line.text);
        return LineOutcome::EndRun;
    }
    QString arg = line.argument;
    qint64 number = 0;
    QChar c;
    if (countForm(arg, &number))
        arg = QString::number(number + passOffset());
    else if (charForm(arg, &c))
        arg = QString(QChar(char16_t(c.unicode() + passOffset())));

    QString &var = m_run->strings[n - 1];
    if (arg == QStringLiteral("[复制]"))
        var += readClipboard();
    else if (arg == QStringLiteral("(清空)"))
        var.clear();
    else if (arg.compare(QLatin1String("[enter]"), Qt::CaseInsensitive) == 0)
        var += QStringLiteral("\r\n");
    else if (arg.compare(QLatin1String("[space]"), Qt::CaseInsensitive) == 0)
        var += QLatin1Char(' ');
    else
        var += arg;
    return LineOutcome::Continue;
}

LineOutcome QInstructionThread::cmdNumberVariable(const ScriptLine &line)
{
    int n = 0;
    numberCommand(line.command, &n);
    if (!validIndex(n)) {
        showLineError(m_run->index, line.text);
        return LineOutcome::EndRun;
    }
    QString &var = m_run->numbers[n - 1];
    QString arg = line.argument;
    qint64 number = 0;
    QChar c;
    if (countForm(arg, &number)) {
        arg = QString::number(number + passOffset());
    } else if (charForm(arg, &c)) {
        arg = QString(QChar(char16_t(c.unicode() + passOffset())));
    } else if (arg.endsWith(QLatin1String("++")) && arg.size() > 2) {
        const QString digits = arg.left(arg.size() - 2);
        bool allDigits = true;
        for (QChar d : digits)
            allDigits = allDigits && d.isDigit();
        if (allDigits)
            arg = QString::number(qint64(toNumber(var)) + toNumber(digits));
    }

    if (arg == QStringLiteral("[复制]"))
        var = readClipboard();
    else if (arg == QStringLiteral("(清空)"))
        var.clear();
    else if (arg.compare(QLatin1String("[enter]"), Qt::CaseInsensitive) == 0)
        var = QStringLiteral("\r\n");
    else if (arg.compare(QLatin1String("[space]"), Qt::CaseInsensitive) == 0)
        var = QStringLiteral(" ");
    else
        var = arg;
    return LineOutcome::Continue;
}

// ---------------------------------------------------------------------------------------------
// Jumps. The run increases the index after every line, so a jump to index t sets t - 1.

void QInstructionThread::jumpToLine(int n)
{
    RunState &st = *m_run;
    const int size = listSize();
    if (n == 0) {
        executeFlag = false;
        return;
    }
    const int target = n - 1;
    st.index = (target >= 0 && target < size) ? target - 1 : size - 1;
}

LineOutcome QInstructionThread::cmdJumpTo(const ScriptLine &line)
{
    jumpToLine(toNumber(line.argument));
    return LineOutcome::Continue;
}

LineOutcome QInstructionThread::cmdJumpForward(const ScriptLine &line)
{
    RunState &st = *m_run;
    const int size = listSize();
    const qint64 target = qint64(st.index) + toNumber(line.argument);
    if (target == -1)
        executeFlag = false;
    else
        st.index = (target >= 0 && target < size) ? int(target) - 1 : size - 1;
    return LineOutcome::Continue;
}

LineOutcome QInstructionThread::cmdJumpBack(const ScriptLine &line)
{
    RunState &st = *m_run;
    const int size = listSize();
    const qint64 target = qint64(st.index) - toNumber(line.argument);
    if (target == -1) {
        executeFlag = false;
        st.index = size - 1;
    } else {
        st.index = (target >= 0 && target < size) ? int(target) - 1 : size - 1;
    }
    return LineOutcome::Continue;
}

LineOutcome QInstructionThread::cmdRefresh(const ScriptLine &line)
{
    emit Signal_RefreshInstructions();
    jumpToLine(toNumber(line.argument));
    pause(200);
    return LineOutcome::Continue;
}
