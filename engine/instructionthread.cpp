#include "engine/instructionthread.h"

#include <QMutexLocker>
#include <QtGlobal>

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

int QInstructionThread::size() const
{
    QMutexLocker lock(&m_listLock);
    return m_instructionList.size();
}

QString QInstructionThread::entryAt(int index) const
{
    QMutexLocker lock(&m_listLock);
    return index >= 0 && index < m_instructionList.size() ? m_instructionList.at(index) : QString();
}

void QInstructionThread::run()
{
    if (!m_platform) {
        refuseRun();
        return;
    }
    RunServices services {*this, *this, *m_platform, *m_sleeper, m_clipboardReader, executeFlag,
        waitFlag, m_fileStartMode};
    Interpreter interpreter(services);
    interpreter.run();
}

// A run without a platform is a programming error. It must never fall back to the real
// desktop: a debug build stops here, a release build reports it and runs nothing.
void QInstructionThread::refuseRun()
{
    Q_ASSERT_X(false, "QInstructionThread::run", "no platform was injected");
    qCritical("QInstructionThread: no platform was injected; the run is refused");
    emit ShowDisposingFile(
        QStringLiteral("<span style=\"color:red;\">no platform: the run is refused</span>"));
    if (m_fileStartMode)
        emit ShowDisposingFile(QStringLiteral("complete"));
    executeFlag = false;
    waitFlag = false;
}
