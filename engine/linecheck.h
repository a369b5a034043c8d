#pragma once

#include "engine/commandcontext.h"

#include <QStringList>
#include <QVector>

#include <functional>

// What a command's check sees of the script, and what it finds in one line. A check parses the
// line with the very functions its command runs with, and says only what holds whatever the
// run brings: an argument read from a variable or the clipboard is unknown to it.
class LineCheck
{
public:
    struct Finding
    {
        bool error = true; // false: a warning
        QString message;
    };

    using FileExists = std::function<bool(const QString &path)>;
    LineCheck(const QStringList &lines, int index, const FileExists &fileExists);

    // The run stops at this line when it gets there.
    void error(const QString &message);
    // Likely a mistake, or one that depends on the files of the machine that runs it.
    void warning(const QString &message);

    // The source rule without running: true when the argument is used as written. false when
    // it comes from a variable or the clipboard at run time, after reporting a variable number
    // out of range as the run does.
    bool argumentKnown(const QString &arg, bool allowClipboard);
    // The result target rule without running: what the text names, after reporting a variable
    // number out of range (an error, or a warning when the target is used only sometimes).
    Target target(const QString &targetText, bool always = true);

    bool fileExists(const QString &path) const;
    int index() const { return m_index; } // of the line, 0-based
    int listSize() const { return m_lines.size(); }
    QString entryAt(int index) const { return m_lines.value(index); }

    const QVector<Finding> &findings() const { return m_findings; }

private:
    const QStringList &m_lines;
    int m_index;
    const FileExists &m_fileExists;
    QVector<Finding> m_findings;
};

// Every command's check has this shape; see the dispatch table.
using Check = void (*)(LineCheck &, const ScriptLine &);

// The message of a variable number outside 1 … 100.
QString indexRangeMessage();
