#pragma once

#include "programcopy.h"
#include "xvfbsession.h"

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

// What the end-to-end tests share: one private Xvfb for the whole test and, for each case, a
// copy of the built program in a program folder of its own, so the single-instance rule only
// ever ends copies this test made. A test starts the session in its initTestCase. QTest finds
// the slots below by name; a test that needs more for each case declares its own init and
// starts its copy with startCopy().
class E2eTest : public QObject
{
    Q_OBJECT

protected:
    // name: the start of the pictures a failed case leaves in the artifacts folder. A test
    // whose cases make their own copies (in folders of their choice) takes none per case.
    enum class CopyPerCase { Yes, No };
    explicit E2eTest(const QString &name, CopyPerCase copyPerCase = CopyPerCase::Yes)
        : m_name(name)
        , m_copyPerCase(copyPerCase == CopyPerCase::Yes)
    {
    }

protected slots:
    // A fresh copy of the program for each case (unless CopyPerCase::No).
    void init();
    // The copy goes, with everything it started. After a failed case, a picture of the screen
    // and the output of those programs stay for a look.
    void cleanup();
    void cleanupTestCase();

protected:
    // The session, once every tool (`tools`) and file (the built program and `files`) is
    // there; false with the reason in failure() otherwise.
    bool startSession(const XvfbSession::Options &options, const QStringList &tools = {},
        const QStringList &files = {});
    // A fresh copy of the program; false with the reason in failure().
    bool startCopy();
    QString failure() const { return m_failure; }

    // A file in the copy's program folder.
    QString file(const QString &name) const { return m_copy->filePath(name); }
    QByteArray outputOf(QProcess *process) const { return m_x->outputOf(process); }
    // The xdotool search arguments for the (visible) windows of a program started here.
    static QStringList windowsOf(QProcess *app, bool visibleOnly = true);
    // The program's "注意：" message box, once it shows; empty when it did not within 15 s.
    QString waitForMessageBox(QProcess *app);
    // Runs a script with the copy (file-start mode): true when the program ended by itself
    // within the time, with status 0. Otherwise its output is logged and it is stopped.
    bool runToEnd(const QString &scriptPath, int timeoutMs);

    std::unique_ptr<XvfbSession> m_x;
    std::unique_ptr<ProgramCopy> m_copy;

private:
    QString m_name;
    bool m_copyPerCase;
    QString m_failure;
};
