// The signed release feed: feeds signed by the maker's tool (Python) are read by the program
// (its own verifier), tampering of any kind is refused with a reason, the document's fields are
// held to their rules, versions compare by number, and a downloaded archive is matched.
#include "update/feed.h"
#include "update/makerkey.h"
#include "platform/platform.h"

#include "feedsigning.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

const QString kHashA = QString(64, QLatin1Char('a'));
const QString kHashB = QStringLiteral("0123456789abcdef").repeated(4);

// A feed document as the maker writes it; the rule cases change one piece of it.
const QString kDocument = QStringLiteral(
    "{\"product\": \"Quorvel\", \"version\": \"5.5.0\", \"published\": \"2027-01-15\",\n"
    " \"systems\": {\n"
    "  \"windows-x64\": {\"url\": \"https://example.org/Quorvel-5.5.0-win64.zip\","
    " \"size\": 12345678, \"sha256\": \"%1\"},\n"
    "  \"linux-x64\": {\"url\": \"https://example.org/Quorvel-5.5.0-linux.tar.gz\","
    " \"size\": 2345, \"sha256\": \"%2\"}},\n"
    " \"notes\": \"修复若干问题\"}\n")
                                 .arg(kHashA, kHashB);

QString reason(const char *text)
{
    return QString::fromUtf8(text);
}

QByteArray mutateJson(const QByteArray &envelope, const QString &field, const QJsonValue &value)
{
    QJsonObject outer = QJsonDocument::fromJson(envelope).object();
    if (value.isUndefined())
        outer.remove(field);
    else
        outer.insert(field, value);
    return QJsonDocument(outer).toJson();
}

QByteArray flipByteIn(const QByteArray &envelope, const QString &field, int index)
{
    QByteArray bytes = QByteArray::fromBase64(
        QJsonDocument::fromJson(envelope).object().value(field).toString().toLatin1());
    bytes[index] = char(bytes[index] ^ 0x01);
    return mutateJson(envelope, field, QString::fromLatin1(bytes.toBase64()));
}

} // namespace

using Mutation = std::function<QByteArray(const QByteArray &)>;
Q_DECLARE_METATYPE(Mutation)

class TestFeed : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QByteArray m_key; // the test key's public point
    QByteArray m_otherKey;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    QByteArray makeKey(const QString &name) { return feedsigning::makeKey(path(name)); }

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return {};
        return file.fileName();
    }

    // The document's exact bytes, signed with the test key and no checks.
    QByteArray signRaw(const QByteArray &document)
    {
        return feedsigning::signRaw(path(QStringLiteral("test-private.pem")),
            writeFile(QStringLiteral("document.json"), document));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        if (feedsigning::python().isEmpty())
            return;
        m_key = makeKey(QStringLiteral("test-private.pem"));
        m_otherKey = makeKey(QStringLiteral("other-private.pem"));
        QCOMPARE(m_key.size(), 65);
        QCOMPARE(m_otherKey.size(), 65);
    }

    // The tool's own sign command, with an archive it measures: the program takes the feed and
    // the archive it names.
    void toolSignedFeedIsRead()
    {
        if (feedsigning::python().isEmpty())
            QSKIP("python3 with cryptography is not available");
        const QByteArray archive(100000, 'z');
        const QString archivePath = writeFile(QStringLiteral("Quorvel-linux.tar.gz"), archive);
        const QByteArray envelope = feedsigning::tool({QStringLiteral("sign"),
            path(QStringLiteral("test-private.pem")), writeFile(QStringLiteral("feed.json"), kDocument.toUtf8()), QStringLiteral("--archive"),
            QStringLiteral("linux-x64=") + archivePath});
        QVERIFY(!envelope.isEmpty());

        const FeedCheck check = readFeed(envelope, m_key, QStringLiteral("linux-x64"));
        QVERIFY2(check.ok(), qPrintable(check.reason));
        QCOMPARE(check.feed.version, QStringLiteral("5.5.0"));
        QCOMPARE(check.feed.published, QDate(2027, 1, 15));
        QCOMPARE(check.feed.notes, QStringLiteral("修复若干问题"));
        QCOMPARE(check.feed.archive.url,
            QStringLiteral("https://example.org/Quorvel-5.5.0-linux.tar.gz"));
        QCOMPARE(check.feed.archive.size, qint64(archive.size()));
        QCOMPARE(check.feed.archive.sha256,
            QCryptographicHash::hash(archive, QCryptographicHash::Sha256).toHex());
        QVERIFY(archiveMatches(archivePath, check.feed.archive.size, check.feed.archive.sha256));

        const FeedCheck windows = readFeed(envelope, m_key, QStringLiteral("windows-x64"));
        QVERIFY2(windows.ok(), qPrintable(windows.reason));
        QCOMPARE(windows.feed.archive.size, qint64(12345678));
    }

    void tamperedEnvelopeIsRefused_data()
    {
        QTest::addColumn<Mutation>("mutation");
        QTest::addColumn<bool>("otherKey"); // read with the other test key
        QTest::addColumn<QString>("reason");
        const QString badSignature = reason("更新信息的签名无效");
        const QString malformed = reason("更新信息格式有误");
        const auto same = [](const QByteArray &e) { return e; };
        QTest::newRow("untouched") << Mutation(same) << false << QString();
        QTest::newRow("document byte") << Mutation([](const QByteArray &e) {
            return flipByteIn(e, QStringLiteral("feed"), 60);
        }) << false << badSignature;
        QTest::newRow("signature byte r") << Mutation([](const QByteArray &e) {
            return flipByteIn(e, QStringLiteral("signature"), 5);
        }) << false << badSignature;
        QTest::newRow("signature byte s") << Mutation([](const QByteArray &e) {
            return flipByteIn(e, QStringLiteral("signature"), 63);
        }) << false << badSignature;
        QTest::newRow("signature short") << Mutation([](const QByteArray &e) {
            const QByteArray raw = QByteArray::fromBase64(
                QJsonDocument::fromJson(e).object().value(QStringLiteral("signature"))
                    .toString().toLatin1());
            return mutateJson(e, QStringLiteral("signature"),
                QString::fromLatin1(raw.left(63).toBase64()));
        }) << false << badSignature;
        QTest::newRow("other key") << Mutation(same) << true
                                   << reason("更新信息的签名密钥未知");
        QTest::newRow("other key, its id claimed") << Mutation([this](const QByteArray &e) {
            return mutateJson(e, QStringLiteral("key"), keyIdOf(m_otherKey));
        }) << true << badSignature;
        QTest::newRow("truncated") << Mutation([](const QByteArray &e) {
            return e.left(e.size() / 2);
        }) << false << malformed;
        QTest::newRow("empty") << Mutation([](const QByteArray &) { return QByteArray(); })
                               << false << malformed;
        QTest::newRow("document not base64") << Mutation([](const QByteArray &e) {
            return mutateJson(e, QStringLiteral("feed"), QStringLiteral("eyJ*!!"));
        }) << false << malformed;
        QTest::newRow("signature with a line break") << Mutation([](const QByteArray &e) {
            const QString s = QJsonDocument::fromJson(e).object().value(
                QStringLiteral("signature")).toString();
            return mutateJson(e, QStringLiteral("signature"), s.left(8) + "\n" + s.mid(8));
        }) << false << malformed;
        QTest::newRow("no signature") << Mutation([](const QByteArray &e) {
            return mutateJson(e, QStringLiteral("signature"), QJsonValue::Undefined);
        }) << false << malformed;
        QTest::newRow("no key id") << Mutation([](const QByteArray &e) {
            return mutateJson(e, QStringLiteral("key"), QJsonValue::Undefined);
        }) << false << malformed;
        QTest::newRow("an array") << Mutation([](const QByteArray &) {
            return QByteArray("[1, 2]");
        }) << false << malformed;
        // Unsigned garbage is refused for its signature: it is never parsed.
        QTest::newRow("garbage document") << Mutation([](const QByteArray &e) {
            return mutateJson(e, QStringLiteral("feed"),
                QString::fromLatin1(QByteArray("{not json").toBase64()));
        }) << false << badSignature;
    }

    void tamperedEnvelopeIsRefused()
    {
        QFETCH(Mutation, mutation);
        QFETCH(bool, otherKey);
        QFETCH(QString, reason);
        if (feedsigning::python().isEmpty())
            QSKIP("python3 with cryptography is not available");
        const QByteArray envelope = signRaw(kDocument.toUtf8());
        QVERIFY(!envelope.isEmpty());
        const FeedCheck check = readFeed(mutation(envelope), otherKey ? m_otherKey : m_key,
            QStringLiteral("windows-x64"));
        QCOMPARE(check.reason, reason);
        if (!check.ok())
            QVERIFY(check.feed.version.isEmpty() && check.feed.archive.url.isEmpty());
    }

    void documentRules_data()
    {
        QTest::addColumn<QString>("find");
        QTest::addColumn<QString>("replace");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char *name, const QString &find, const QString &replace,
                             const char *why) {
            QTest::newRow(name) << find << replace << reason(why);
        };
        const QString product = QStringLiteral("\"product\": \"Quorvel\"");
        const QString version = QStringLiteral("\"version\": \"5.5.0\"");
        const QString date = QStringLiteral("\"published\": \"2027-01-15\"");
        const QString url = QStringLiteral("https://example.org/Quorvel-5.5.0-win64.zip");
        const QString size = QStringLiteral("\"size\": 12345678");
        const QString notes = QStringLiteral("\"notes\": \"修复若干问题\"");
        const char *ok = "";
        row("as written", product, product, ok);
        row("another product", product, QStringLiteral("\"product\": \"Quorvel2\""),
            "更新信息不属于本程序");
        row("no product", product + QStringLiteral(", "), QString(), "更新信息不属于本程序");
        row("version of four", version, QStringLiteral("\"version\": \"5.5.0.12\""), ok);
        row("version of one", version, QStringLiteral("\"version\": \"5\""), "更新信息的版本号有误");
        row("version of five", version, QStringLiteral("\"version\": \"5.5.0.1.2\""),
            "更新信息的版本号有误");
        row("version with a letter", version, QStringLiteral("\"version\": \"5.5.0b\""),
            "更新信息的版本号有误");
        row("version with a line end", version, QStringLiteral("\"version\": \"5.5.0\\n\""),
            "更新信息的版本号有误");
        row("version as a number", version, QStringLiteral("\"version\": 5.5"),
            "更新信息的版本号有误");
        row("no such day", date, QStringLiteral("\"published\": \"2027-02-30\""),
            "更新信息的发布日期有误");
        row("short date", date, QStringLiteral("\"published\": \"2027-1-15\""),
            "更新信息的发布日期有误");
        row("no entry for the system", QStringLiteral("\"windows-x64\""),
            QStringLiteral("\"windows-arm64\""), "更新信息中没有本系统的版本");
        row("plain http", url, QStringLiteral("http://example.org/Q.zip"), "更新信息的下载地址不安全");
        row("http to this machine", url, QStringLiteral("http://127.0.0.1:8080/Q.zip"), ok);
        row("http to localhost", url, QStringLiteral("http://localhost/Q.zip"), ok);
        row("http to a lookalike", url, QStringLiteral("http://127.0.0.1.example.org/Q.zip"),
            "更新信息的下载地址不安全");
        row("ftp", url, QStringLiteral("ftp://example.org/Q.zip"), "更新信息的下载地址不安全");
        row("no host", url, QStringLiteral("https:///Q.zip"), "更新信息的下载地址不安全");
        row("user in the url", url, QStringLiteral("https://me@example.org/Q.zip"),
            "更新信息的下载地址不安全");
        row("size 0", size, QStringLiteral("\"size\": 0"), "更新信息的文件大小有误");
        row("size negative", size, QStringLiteral("\"size\": -5"), "更新信息的文件大小有误");
        row("size fractional", size, QStringLiteral("\"size\": 12.5"), "更新信息的文件大小有误");
        row("size as text", size, QStringLiteral("\"size\": \"12\""), "更新信息的文件大小有误");
        row("size at the limit", size, QStringLiteral("\"size\": 536870912"), ok);
        row("size over the limit", size, QStringLiteral("\"size\": 536870913"),
            "更新信息的文件大小有误");
        row("sha256 upper case", kHashA, kHashA.toUpper(), ok);
        row("sha256 too short", kHashA, kHashA.left(63), "更新信息的校验值有误");
        row("sha256 not hex", kHashA, kHashA.left(63) + QLatin1Char('g'), "更新信息的校验值有误");
        row("no notes", QStringLiteral(",\n ") + notes, QString(), ok);
        row("notes not text", notes, QStringLiteral("\"notes\": 3"), "更新信息格式有误");
        row("systems not an object", QStringLiteral("\"systems\": {"),
            QStringLiteral("\"systems\": [], \"x\": {"), "更新信息格式有误");
        row("not json", product, QStringLiteral("\"product\" \"Quorvel\""), "更新信息格式有误");
    }

    void documentRules()
    {
        QFETCH(QString, find);
        QFETCH(QString, replace);
        QFETCH(QString, reason);
        if (feedsigning::python().isEmpty())
            QSKIP("python3 with cryptography is not available");
        QString document = kDocument;
        QVERIFY(document.contains(find));
        document.replace(find, replace);
        const QByteArray envelope = signRaw(document.toUtf8());
        QVERIFY(!envelope.isEmpty());
        const FeedCheck check = readFeed(envelope, m_key, QStringLiteral("windows-x64"));
        QCOMPARE(check.reason, reason);
        if (check.ok())
            QCOMPARE(check.feed.archive.sha256.size(), 64);
        if (check.ok() && find == kHashA)
            QCOMPARE(check.feed.archive.sha256, kHashA.toLatin1());
    }

    void verifierRefusesMalformedKeys_data()
    {
        QTest::addColumn<int>("cut");       // bytes dropped from the key's end
        QTest::addColumn<int>("flipAt");    // a byte of the key changed, -1 for none
        QTest::newRow("a point off the curve") << 0 << 64;
        QTest::newRow("not uncompressed") << 0 << 0;
        QTest::newRow("short") << 1 << -1;
        QTest::newRow("empty") << 65 << -1;
    }

    void verifierRefusesMalformedKeys()
    {
        QFETCH(int, cut);
        QFETCH(int, flipAt);
        if (feedsigning::python().isEmpty())
            QSKIP("python3 with cryptography is not available");
        const QJsonObject envelope = QJsonDocument::fromJson(signRaw("message")).object();
        const QByteArray signature = QByteArray::fromBase64(
            envelope.value(QStringLiteral("signature")).toString().toLatin1());
        QVERIFY(verifyP256Signature(m_key, "message", signature));
        QByteArray key = m_key.left(m_key.size() - cut);
        if (flipAt >= 0)
            key[flipAt] = char(key[flipAt] ^ 0x02);
        QVERIFY(!verifyP256Signature(key, "message", signature));
    }

    void makerKeyIsAPoint()
    {
        const QByteArray point = QByteArray::fromBase64(kMakerPublicKeyBase64);
        QCOMPARE(point.size(), 65);
        QCOMPARE(point.at(0), '\x04');
        QCOMPARE(keyIdOf(point), QString::fromLatin1(kMakerKeyId));
        QVERIFY(!verifyP256Signature(point, "message", QByteArray(64, '\x01')));
    }

    void versionOrder_data()
    {
        QTest::addColumn<QString>("candidate");
        QTest::addColumn<QString>("current");
        QTest::addColumn<bool>("newer");
        QTest::newRow("next patch") << "5.5.1" << "5.5.0" << true;
        QTest::newRow("same") << "5.5.0" << "5.5.0" << false;
        QTest::newRow("older") << "5.4.9" << "5.5" << false;
        QTest::newRow("numbers, not text") << "5.10" << "5.9" << true;
        QTest::newRow("text would say older") << "5.9" << "5.10" << false;
        QTest::newRow("trailing zero is the same") << "5.5.0" << "5.5" << false;
        QTest::newRow("one more number") << "5.5.0.1" << "5.5" << true;
        QTest::newRow("leading zeros") << "5.05" << "5.4" << true;
        QTest::newRow("major wins") << "6.0" << "5.99.99" << true;
        QTest::newRow("malformed candidate") << "6.0-beta" << "5.4" << false;
        QTest::newRow("malformed current") << "6.0" << "" << false;
        QTest::newRow("huge numbers") << "999999999.0" << "999999998.999999999" << true;
    }

    void versionOrder()
    {
        QFETCH(QString, candidate);
        QFETCH(QString, current);
        QFETCH(bool, newer);
        QCOMPARE(isNewer(candidate, current), newer);
    }

    void downloadedArchive_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("sizeDelta");
        QTest::addColumn<bool>("wrongHash");
        QTest::addColumn<bool>("upperCase");
        QTest::addColumn<bool>("matches");
        QTest::newRow("good") << "archive.zip" << qint64(0) << false << false << true;
        QTest::newRow("hash in upper case") << "archive.zip" << qint64(0) << false << true << true;
        QTest::newRow("one byte more") << "archive.zip" << qint64(1) << false << false << false;
        QTest::newRow("one byte less") << "archive.zip" << qint64(-1) << false << false << false;
        QTest::newRow("wrong hash") << "archive.zip" << qint64(0) << true << false << false;
        QTest::newRow("missing file") << "missing.zip" << qint64(0) << false << false << false;
    }

    void downloadedArchive()
    {
        QFETCH(QString, name);
        QFETCH(qint64, sizeDelta);
        QFETCH(bool, wrongHash);
        QFETCH(bool, upperCase);
        QFETCH(bool, matches);
        // Larger than one read block of the hash, so streaming is exercised.
        QByteArray content;
        for (int i = 0; i < 70000; ++i)
            content.append(char(i * 7));
        writeFile(QStringLiteral("archive.zip"), content);
        QByteArray hex = QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
        if (wrongHash)
            hex[10] = hex[10] == '0' ? '1' : '0';
        if (upperCase)
            hex = hex.toUpper();
        QCOMPARE(archiveMatches(path(name), content.size() + sizeDelta, hex), matches);
    }
};

QTEST_GUILESS_MAIN(TestFeed)
#include "tst_feed.moc"
