// Downloads on Linux against a small HTTP server inside the test, on 127.0.0.1, which can also
// misbehave on purpose: cut a body short, announce too much, stall, redirect in a circle.
#include "platform/x11/x11platform.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

QByteArray payload(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i % 251); // a period prime to any chunk size
    return bytes;
}

const QByteArray goodBody = payload(300 * 1024);

QByteArray head(const QByteArray &status, const QByteArray &extra = QByteArray())
{
    return "HTTP/1.1 " + status + "\r\nConnection: close\r\n" + extra + "\r\n";
}

QByteArray lengthHeader(qint64 size)
{
    return "Content-Length: " + QByteArray::number(size) + "\r\n";
}

// What the server does for each path; the socket closes after the answer unless it stalls.
void answer(QTcpSocket *socket, const QByteArray &path)
{
    if (path == "/good")
        socket->write(head("200 OK", lengthHeader(goodBody.size())) + goodBody);
    else if (path == "/unannounced")
        socket->write(head("200 OK") + goodBody);
    else if (path == "/missing")
        socket->write(head("404 Not Found", lengthHeader(9)) + "not found");
    else if (path == "/short")
        socket->write(head("200 OK", lengthHeader(goodBody.size())) + goodBody.left(1000));
    else if (path == "/redirect")
        socket->write(head("302 Found", "Location: /good\r\n" + lengthHeader(0)));
    else if (path == "/circle")
        socket->write(head("302 Found", "Location: /circle\r\n" + lengthHeader(0)));
    else if (path == "/stall") { // half the body, then silence
        socket->write(head("200 OK", lengthHeader(goodBody.size())) + goodBody.left(4096));
        return;
    } else if (path == "/silent")
        return;
    socket->disconnectFromHost();
}

class HttpServer : public QTcpServer
{
public:
    HttpServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [socket] { onRequest(socket); });
        });
    }
    QString url(const char *path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(QLatin1String(path));
    }

private:
    static void onRequest(QTcpSocket *socket)
    {
        QByteArray request = socket->property("request").toByteArray() + socket->readAll();
        socket->setProperty("request", request);
        if (!request.contains("\r\n\r\n"))
            return;
        answer(socket, request.split(' ').value(1));
    }
};

// What the handlers saw; the finished handler destroys the job, as an owner would.
struct Outcome
{
    std::unique_ptr<DownloadJob> job;
    int finishedCount = 0;
    bool ok = false;
    QString reason;
    QByteArray body;
    qint64 received = -1;
    qint64 total = -1;
};

} // namespace

class TestDownload : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fetch_data();
    void fetch();
    void cancelMidway();
    void unwritableFolder();

private:
    void start(Outcome *outcome, const QString &url, const QString &toFile, qint64 maxBytes);

    X11Platform m_platform;
    HttpServer m_server;
    QTemporaryDir m_dir;
};

void TestDownload::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_server.listen(QHostAddress::LocalHost));
    m_platform.downloadIdleMs = 500;
}

void TestDownload::start(Outcome *outcome, const QString &url, const QString &toFile, qint64 maxBytes)
{
    DownloadHandlers handlers;
    handlers.progress = [outcome](qint64 received, qint64 total) {
        outcome->received = received;
        outcome->total = total;
    };
    handlers.finished = [outcome](bool ok, const QString &reason, const QByteArray &body) {
        // The job goes first: what the handler was given must outlive it.
        outcome->job.reset();
        ++outcome->finishedCount;
        outcome->ok = ok;
        outcome->reason = reason;
        outcome->body = body;
    };
    outcome->job = m_platform.startDownload(url, toFile, maxBytes, handlers);
}

void TestDownload::fetch_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("toFile");
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<QString>("reason"); // empty: a good download of goodBody

    const qint64 plenty = 1 << 20;
    const qint64 tight = 100 * 1024;
    QTest::newRow("to a file") << QByteArray("/good") << true << plenty << QString();
    QTest::newRow("into memory") << QByteArray("/good") << false << plenty << QString();
    QTest::newRow("exactly the limit") << QByteArray("/good") << true << qint64(goodBody.size())
                                       << QString();
    QTest::newRow("redirected") << QByteArray("/redirect") << true << plenty << QString();
    QTest::newRow("no length") << QByteArray("/unannounced") << true << plenty << QString();
    QTest::newRow("404") << QByteArray("/missing") << true << plenty
                         << QStringLiteral("服务器返回错误: 404");
    QTest::newRow("cut short") << QByteArray("/short") << true << plenty
                               << QStringLiteral("下载的文件不完整");
    QTest::newRow("cut short, memory") << QByteArray("/short") << false << plenty
                                       << QStringLiteral("下载的文件不完整");
    QTest::newRow("announced too large") << QByteArray("/good") << true << tight
                                         << QStringLiteral("文件大小超出限制");
    QTest::newRow("grows too large") << QByteArray("/unannounced") << true << tight
                                     << QStringLiteral("文件大小超出限制");
    QTest::newRow("redirect circle") << QByteArray("/circle") << true << plenty
                                     << QStringLiteral("服务器的转向无效");
    QTest::newRow("never answers") << QByteArray("/silent") << true << plenty
                                   << QStringLiteral("更新服务器没有响应");
    QTest::newRow("stalls midway") << QByteArray("/stall") << true << plenty
                                   << QStringLiteral("更新服务器没有响应");
    QTest::newRow("not http") << QByteArray("/good") << true << plenty
                              << QStringLiteral("无法连接更新服务器");
}

void TestDownload::fetch()
{
    QFETCH(QByteArray, path);
    QFETCH(bool, toFile);
    QFETCH(qint64, maxBytes);
    QFETCH(QString, reason);
    const QString file = toFile ? m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()))
                                : QString();
    QString url = m_server.url(path.constData());
    if (QByteArray(QTest::currentDataTag()) == "not http")
        url.replace(0, 4, QStringLiteral("file"));

    Outcome outcome;
    start(&outcome, url, file, maxBytes);
    QCOMPARE(outcome.finishedCount, 0); // never inside the call
    QTRY_COMPARE_WITH_TIMEOUT(outcome.finishedCount, 1, 10000);
    QTest::qWait(50);
    QCOMPARE(outcome.finishedCount, 1);
    QCOMPARE(outcome.reason, reason);
    QCOMPARE(outcome.ok, reason.isEmpty());
    QVERIFY(!QFile::exists(file + QStringLiteral(".part")));
    if (!reason.isEmpty()) {
        QVERIFY(outcome.body.isEmpty());
        QVERIFY(file.isEmpty() || !QFile::exists(file));
        return;
    }
    QCOMPARE(outcome.received, qint64(goodBody.size()));
    QCOMPARE(outcome.total, path == "/unannounced" ? qint64(-1) : qint64(goodBody.size()));
    if (file.isEmpty()) {
        QVERIFY(outcome.body == goodBody);
    } else {
        QVERIFY(outcome.body.isEmpty());
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(written.readAll() == goodBody);
    }
}

// A cancelled download leaves no file and says nothing more, also when the server goes on.
void TestDownload::cancelMidway()
{
    const QString file = m_dir.filePath(QStringLiteral("cancelled"));
    Outcome outcome;
    start(&outcome, m_server.url("/stall"), file, 1 << 20);
    QTRY_VERIFY_WITH_TIMEOUT(outcome.received > 0, 10000);
    QVERIFY(QFile::exists(file + QStringLiteral(".part")));
    outcome.job->cancel();
    QVERIFY(!QFile::exists(file + QStringLiteral(".part")));
    QTest::qWait(m_platform.downloadIdleMs * 2);
    QCOMPARE(outcome.finishedCount, 0);
    outcome.job.reset();
    QVERIFY(!QFile::exists(file));
    QVERIFY(!QFile::exists(file + QStringLiteral(".part")));
}

void TestDownload::unwritableFolder()
{
    const QString file = m_dir.filePath(QStringLiteral("missing/folder/archive.zip"));
    Outcome outcome;
    start(&outcome, m_server.url("/good"), file, 1 << 20);
    QCOMPARE(outcome.finishedCount, 0);
    QTRY_COMPARE_WITH_TIMEOUT(outcome.finishedCount, 1, 10000);
    QVERIFY(!outcome.ok);
    QCOMPARE(outcome.reason, QStringLiteral("无法写入文件"));
    QVERIFY(!QFile::exists(file));
}

QTEST_GUILESS_MAIN(TestDownload)
#include "tst_download.moc"
