#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>

// The release feed: what the maker has published, signed with the maker's key. Nothing of the
// document is read before its signature holds.

// No release archive, nor any file in one, is anywhere near this; a larger size is a broken or
// hostile feed or archive.
constexpr qint64 kMaxReleaseBytes = qint64(512) << 20;

// One downloadable release archive for one system.
struct ReleaseArchive
{
    QString url;
    qint64 size = 0;
    QByteArray sha256; // 64 lower-case hex digits
};

struct ReleaseFeed
{
    QString version; // dotted numbers, e.g. "5.5.0"
    QDate published;
    QString notes; // may be empty
    ReleaseArchive archive; // the one for the system asked about
};

// Either the feed, or why it was refused (a short text for the user).
struct FeedCheck
{
    ReleaseFeed feed;
    QString reason;
    bool ok() const { return reason.isEmpty(); }
};

// This program's version, as the build names it ("5.4").
QString programVersion();

// The feed's name for the system this program is built for ("windows-x64", "linux-x64").
QString currentSystemName();

// The short id of a public key (65-byte point) that the envelope names: the first 16 hex digits
// of the point's SHA-256.
QString keyIdOf(const QByteArray &publicKey);

// Reads a signed envelope with the maker's public key (65-byte point), for the given system.
FeedCheck readFeed(const QByteArray &envelope, const QByteArray &publicKey,
    const QString &system = currentSystemName());

// True when a version is dotted numbers (2 to 4 of them), e.g. "5.4" or "5.5.0".
bool isValidVersion(const QString &version);
// True when candidate is a later version than current, number by number ("5.10" > "5.9",
// "5.5" == "5.5.0"). A malformed version is never newer.
bool isNewer(const QString &candidate, const QString &current);

// True when the file at path has exactly this size and SHA-256 (hex, either case). The size is
// looked at first, so a wrong file is refused without reading it.
bool archiveMatches(const QString &path, qint64 size, const QByteArray &sha256Hex);
