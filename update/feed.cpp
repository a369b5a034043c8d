#include "update/feed.h"

#include "platform/platform.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>
#include <QVector>

#include <cmath>

namespace {

// Reasons shown to the user.
const char *const kMalformed = "更新信息格式有误";
const char *const kBadSignature = "更新信息的签名无效";
const char *const kUnknownKey = "更新信息的签名密钥未知";
const char *const kOtherProduct = "更新信息不属于本程序";
const char *const kBadVersion = "更新信息的版本号有误";
const char *const kBadDate = "更新信息的发布日期有误";
const char *const kNoSystem = "更新信息中没有本系统的版本";
const char *const kUnsafeUrl = "更新信息的下载地址不安全";
const char *const kBadSize = "更新信息的文件大小有误";
const char *const kBadHash = "更新信息的校验值有误";

// A feed is a few kilobytes; anything far bigger is not one and is not parsed.
constexpr int kMaxEnvelope = 1 << 20;

QString tr8(const char *text)
{
    return QString::fromUtf8(text);
}

QJsonObject parseObject(const QByteArray &json, bool *ok)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    *ok = error.error == QJsonParseError::NoError && document.isObject();
    return document.object();
}

// Strict base64: only the alphabet and its padding, nothing ignored.
bool decodeBase64(const QJsonValue &value, QByteArray *out)
{
    static const QRegularExpression shape(
        QStringLiteral("^(?:[A-Za-z0-9+/]{4})*(?:[A-Za-z0-9+/]{2}==|[A-Za-z0-9+/]{3}=)?\\z"));
    if (!value.isString() || value.toString().isEmpty()
        || !shape.match(value.toString()).hasMatch())
        return false;
    *out = QByteArray::fromBase64(value.toString().toLatin1());
    return true;
}

bool isAllowedUrl(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty())
        return false;
    if (url.scheme() == QLatin1String("https"))
        return true;
    // Plain http only to this machine, where the tests serve their feeds.
    const QString host = url.host();
    return url.scheme() == QLatin1String("http")
        && (host == QLatin1String("127.0.0.1") || host == QLatin1String("localhost"));
}

bool isWholeSize(const QJsonValue &value, qint64 *size)
{
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    if (number != std::floor(number) || number <= 0 || number > double(kMaxReleaseBytes))
        return false;
    *size = qint64(number);
    return true;
}

bool isSha256Hex(const QJsonValue &value)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9a-fA-F]{64}\\z"));
    return value.isString() && hex.match(value.toString()).hasMatch();
}

// The entry of one system; an empty reason when it holds.
QString readArchive(const QJsonValue &value, ReleaseArchive *archive)
{
    const QJsonObject entry = value.toObject();
    if (!value.isObject())
        return tr8(kNoSystem);
    if (!entry.value(QLatin1String("url")).isString()
        || !isAllowedUrl(entry.value(QLatin1String("url")).toString()))
        return tr8(kUnsafeUrl);
    if (!isWholeSize(entry.value(QLatin1String("size")), &archive->size))
        return tr8(kBadSize);
    if (!isSha256Hex(entry.value(QLatin1String("sha256"))))
        return tr8(kBadHash);
    archive->url = entry.value(QLatin1String("url")).toString();
    archive->sha256 = entry.value(QLatin1String("sha256")).toString().toLatin1().toLower();
    return {};
}

QDate readDate(const QJsonValue &value)
{
    static const QRegularExpression shape(QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}\\z"));
    if (!value.isString() || !shape.match(value.toString()).hasMatch())
        return {};
    return QDate::fromString(value.toString(), Qt::ISODate);
}

// The document, once its signature has held.
FeedCheck readDocument(const QByteArray &bytes, const QString &system)
{
    bool parsed = false;
    const QJsonObject document = parseObject(bytes, &parsed);
    const QJsonValue version = document.value(QLatin1String("version"));
    const QJsonValue notes = document.value(QLatin1String("notes"));
    const QJsonValue systems = document.value(QLatin1String("systems"));
    FeedCheck check;
    check.feed.published = readDate(document.value(QLatin1String("published")));
    if (!parsed || !systems.isObject() || !(notes.isUndefined() || notes.isString()))
        check.reason = tr8(kMalformed);
    else if (document.value(QLatin1String("product")).toString() != QLatin1String("Quorvel"))
        check.reason = tr8(kOtherProduct);
    else if (!version.isString() || !isValidVersion(version.toString()))
        check.reason = tr8(kBadVersion);
    else if (!check.feed.published.isValid())
        check.reason = tr8(kBadDate);
    else
        check.reason = readArchive(systems.toObject().value(system), &check.feed.archive);
    if (!check.ok())
        return {ReleaseFeed(), check.reason};
    check.feed.version = version.toString();
    check.feed.notes = notes.toString();
    return check;
}

QVector<qint64> versionNumbers(const QString &version)
{
    QVector<qint64> numbers;
    if (!isValidVersion(version))
        return numbers;
    for (const QString &part : version.split(QLatin1Char('.')))
        numbers.append(part.toLongLong());
    return numbers;
}

} // namespace

QString programVersion()
{
    return QStringLiteral(QUORVEL_VERSION);
}

QString currentSystemName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("windows-x64");
#else
    return QStringLiteral("linux-x64");
#endif
}

QString keyIdOf(const QByteArray &publicKey)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(publicKey, QCryptographicHash::Sha256).toHex().left(16));
}

FeedCheck readFeed(const QByteArray &envelope, const QByteArray &publicKey, const QString &system)
{
    bool parsed = false;
    const QJsonObject outer = envelope.size() <= kMaxEnvelope
        ? parseObject(envelope, &parsed) : QJsonObject();
    QByteArray document;
    QByteArray signature;
    if (!parsed || !decodeBase64(outer.value(QLatin1String("feed")), &document)
        || !decodeBase64(outer.value(QLatin1String("signature")), &signature)
        || !outer.value(QLatin1String("key")).isString())
        return {ReleaseFeed(), tr8(kMalformed)};
    if (outer.value(QLatin1String("key")).toString() != keyIdOf(publicKey))
        return {ReleaseFeed(), tr8(kUnknownKey)};
    // The signature first: until it holds, the document's bytes are not even parsed.
    if (!verifyP256Signature(publicKey, document, signature))
        return {ReleaseFeed(), tr8(kBadSignature)};
    return readDocument(document, system);
}

bool isValidVersion(const QString &version)
{
    // At most 9 digits a number, so each fits whatever it is compared with.
    static const QRegularExpression shape(
        QStringLiteral("^[0-9]{1,9}(\\.[0-9]{1,9}){1,3}\\z"));
    return shape.match(version).hasMatch();
}

bool isNewer(const QString &candidate, const QString &current)
{
    QVector<qint64> next = versionNumbers(candidate);
    QVector<qint64> now = versionNumbers(current);
    if (next.isEmpty() || now.isEmpty())
        return false;
    // Missing numbers count as 0: "5.5" is "5.5.0".
    const int length = qMax(next.size(), now.size());
    next.resize(length);
    now.resize(length);
    return next > now;
}

bool archiveMatches(const QString &path, qint64 size, const QByteArray &sha256Hex)
{
    QFile file(path);
    if (size < 0 || !file.open(QIODevice::ReadOnly) || file.size() != size)
        return false;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file) || file.pos() != size)
        return false;
    return hash.result().toHex() == sha256Hex.toLower();
}
