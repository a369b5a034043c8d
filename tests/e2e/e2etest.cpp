#include "e2etest.h"

#include <QtTest>

void E2eTest::init()
{
    if (m_copyPerCase)
        QVERIFY2(startCopy(), qPrintable(failure()));
}

void E2eTest::cleanup()
{
    if (QTest::currentTestFailed() && m_x && m_copy) {
        m_x->screenshot(QStringLiteral(QUORVEL_E2E_ARTIFACTS "/%1-%2-failed.png")
                            .arg(m_name, QString::fromLatin1(QTest::currentTestFunction())));
        const QList<QProcess *> started = m_copy->started();
        for (QProcess *p : started)
            qInfo("%s", m_x->outputOf(p).constData());
    }
    m_copy.reset();
}

void E2eTest::cleanupTestCase()
{
    m_x.reset();
}

bool E2eTest::startSession(
    const XvfbSession::Options &options, const QStringList &tools, const QStringList &files)
{
    m_x = ProgramCopy::startSession(
        options, tools, QStringList {QStringLiteral(QUORVEL_BINARY)} + files, &m_failure);
    return bool(m_x);
}

bool E2eTest::startCopy()
{
    m_copy = std::make_unique<ProgramCopy>(*m_x, QStringLiteral(QUORVEL_BINARY));
    m_failure = m_copy->errorString();
    return m_copy->isValid();
}

QStringList E2eTest::windowsOf(QProcess *app, bool visibleOnly)
{
    QStringList search {QStringLiteral("--pid"), QString::number(app->processId())};
    if (visibleOnly)
        search.prepend(QStringLiteral("--onlyvisible"));
    return search;
}

QString E2eTest::waitForMessageBox(QProcess *app)
{
    // --all: xdotool joins its conditions with "or" otherwise, and any window of the program
    // would do.
    return m_x->waitForWindow(QStringList {QStringLiteral("--all")} + windowsOf(app)
            + QStringList {QStringLiteral("--name"), QStringLiteral("^注意：$")},
        15000);
}

bool E2eTest::runToEnd(const QString &scriptPath, int timeoutMs)
{
    if (scriptPath.isEmpty())
        return false;
    QProcess *app = m_copy->launch({scriptPath});
    if (!app)
        return false;
    const bool ended = app->waitForFinished(timeoutMs);
    if (!ended || app->exitStatus() != QProcess::NormalExit || app->exitCode() != 0) {
        qWarning("program output: %s", m_x->outputOf(app).constData());
        m_x->stop(app);
        return false;
    }
    return true;
}
