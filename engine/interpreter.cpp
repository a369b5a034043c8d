#include "engine/interpreter.h"

#include "engine/dispatchtable.h"
#include "engine/sleeper.h"

namespace {

const QString kBraceOpen = QStringLiteral("{");
const QString kBraceClose = QStringLiteral("}");
const QString kElse = QStringLiteral("else");

} // namespace

Interpreter::Interpreter(const RunServices &services)
    : m_services(services)
{
}

QString Interpreter::readClipboard()
{
    return m_services.readClipboard ? m_services.readClipboard() : QString();
}

void Interpreter::pause(int ms)
{
    m_services.sleeper.sleepMs(ms);
}

// ---------------------------------------------------------------------------------------------
// The run

void Interpreter::run()
{
    RunOutbox &outbox = m_services.outbox;
    while (m_services.executeFlag) {
        if (m_index >= listSize()) {
            if (!nextPass())
                break;
        } else {
            if (m_index == 0)
                pause(500);
            if (executeLine() == LineOutcome::EndRun)
                break;
            ++m_index;
            outbox.stepNum(m_index);
        }
        pause(50);
    }
    finish();
}

bool Interpreter::nextPass()
{
    if (m_repeatRemaining < 2) {
        if (m_repeatTotal >= 2 && !m_services.fileStartMode)
            m_services.outbox.showRunHint();
        return false;
    }
    --m_repeatRemaining;
    m_index = m_repeatStart;
    if (!m_services.fileStartMode) {
        m_services.outbox.showDisposingFile(
            QStringLiteral("<span style=\"color:red;\">正进行循环操作,剩余 ")
            + QString::number(m_repeatRemaining) + QStringLiteral(" 次。</span>"));
    }
    return true;
}

void Interpreter::finish()
{
    pause(50);
    if (m_services.fileStartMode)
        m_services.outbox.showDisposingFile(QStringLiteral("complete"));
    m_services.executeFlag = false;
    m_services.waitFlag = false;
}

LineOutcome Interpreter::executeLine()
{
    const QString text = entryAt(m_index).trimmed();
    if (text == kElse)
        applyElseRule();
    if (text.isEmpty())
        return LineOutcome::Continue;
    ScriptLine line;
    if (splitStatement(text, &line) != 2)
        return LineOutcome::Continue;
    if (const Command command = findCommand(line.command))
        return command(*this, line);
    showLineError(m_index, text + QStringLiteral("(无该命令类型)"));
    return LineOutcome::EndRun;
}

void Interpreter::showLineError(int index, QString text)
{
    m_services.outbox.lineFailed(index);
    text.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    m_services.outbox.showDisposingFile(QStringLiteral("<span style=\"color:red;\">第")
        + QString::number(index + 1) + QStringLiteral("行有误：") + text
        + QStringLiteral("</span>"));
    m_services.executeFlag = false;
}

// ---------------------------------------------------------------------------------------------
// Blocks

int Interpreter::closingBrace(int from) const
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

void Interpreter::applyBlockRule(bool condition)
{
    if (condition)
        return;
    const int size = listSize();
    if (m_index + 2 > size - 1 || entryAt(m_index + 1).trimmed() != kBraceOpen)
        return;
    const int k = closingBrace(m_index + 2);
    if (k < 0)
        return;
    if (k + 3 < size && entryAt(k + 1) == kElse && entryAt(k + 2) == kBraceOpen)
        m_index = k + 2;
    else
        m_index = k;
}

void Interpreter::applyElseRule()
{
    if (m_index + 2 > listSize() - 1)
        return;
    const int k = closingBrace(m_index + 2);
    if (k >= 0)
        m_index = k;
}

// ---------------------------------------------------------------------------------------------
// Repetition and loops

void Interpreter::startRepetition(int count)
{
    m_repeatTotal = count;
    m_repeatRemaining = count;
    m_repeatStart = m_index + 1;
}

void Interpreter::enterLoop(const QString &name, int count)
{
    const int slot = m_loopNames.indexOf(name);
    if (slot < 0) {
        m_loopNames.append(name);
        m_loopCounters.append(count);
    } else {
        m_loopCounters[slot] = count;
    }
}

bool Interpreter::loopAgain(const QString &name)
{
    const int slot = m_loopNames.indexOf(name);
    return slot >= 0 && --m_loopCounters[slot] >= 1;
}
