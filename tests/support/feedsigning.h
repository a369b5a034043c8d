#pragma once

// Feeds signed at test time with the maker's own tool, for the tests that build with
// quorvel_use_feed_signing (which defines where Python and the tool are).
#include <QProcess>
#include <QStringList>

namespace feedsigning {

// Python with the cryptography module; empty when there is none (the tests then skip).
inline QString python()
{
    return QStringLiteral(QUORVEL_FEED_PYTHON);
}

// Runs Python with the arguments and input: its standard output when it exits with wantedExit,
// otherwise empty, with what it said on its error output as a warning.
inline QByteArray run(const QStringList &arguments, const QByteArray &input = {}, int wantedExit = 0)
{
    QProcess process;
    process.start(python(), arguments);
    process.write(input);
    process.closeWriteChannel();
    const bool finished = process.waitForFinished(60000);
    if (!finished || process.exitCode() != wantedExit) {
        qWarning("python %s: %s", qPrintable(arguments.join(QLatin1Char(' '))),
            process.readAllStandardError().constData());
        return {};
    }
    return process.readAllStandardOutput();
}

// The maker's tool with its arguments.
inline QByteArray tool(const QStringList &arguments, int wantedExit = 0)
{
    return run(QStringList {QStringLiteral(QUORVEL_FEED_TOOL)} + arguments, {}, wantedExit);
}

// A new key pair: the private key in privatePath, the public point (65 bytes) returned; empty
// when the tool failed.
inline QByteArray makeKey(const QString &privatePath)
{
    const QByteArray out = tool({QStringLiteral("keygen"), privatePath});
    for (const QByteArray &line : out.split('\n')) {
        if (line.startsWith("hex: "))
            return QByteArray::fromHex(line.mid(5).trimmed());
    }
    return {};
}

// The document file's exact bytes signed with the private key into an envelope, without the
// tool's checks of the document.
inline QByteArray signRaw(const QString &privatePath, const QString &documentPath)
{
    return run({QStringLiteral(QUORVEL_FEED_SIGNER), QStringLiteral(QUORVEL_FEED_TOOL), privatePath,
        documentPath});
}

} // namespace feedsigning
