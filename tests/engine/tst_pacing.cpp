#include "engine/instructionthread.h"
#include "fakeplatform.h"

#include <QElapsedTimer>
#include <QtTest>

// The one run with the real sleeper: a script of n lines takes 500 ms + n × 50 ms, plus the
// 50 ms end pause, and not much more.
class TstPacing : public QObject
{
    Q_OBJECT

private slots:
    void realPacing();
};

void TstPacing::realPacing()
{
    const int lines = 6;
    QStringList list;
    for (int i = 0; i < lines; ++i)
        list << QStringLiteral("串1->x");
    FakePlatform platform;
    QInstructionThread thread; // with its own real sleeper
    thread.setPlatform(&platform);
    thread.setInstructionList(list);
    thread.executeFlag = true;

    QElapsedTimer timer;
    timer.start();
    thread.start();
    QVERIFY(thread.wait(30000));
    const qint64 elapsed = timer.elapsed();

    const qint64 least = 500 + lines * 50;
    // Generous slack: CI machines are small and shared.
    QVERIFY2(elapsed >= least, qPrintable(QString::number(elapsed) + " ms"));
    QVERIFY2(elapsed <= least + 50 + 400, qPrintable(QString::number(elapsed) + " ms"));
}

QTEST_GUILESS_MAIN(TstPacing)
#include "tst_pacing.moc"
