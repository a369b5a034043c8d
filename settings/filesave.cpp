#include "settings/filesave.h"

#include <QFile>
#include <QSaveFile>

namespace {

// For a file whose folder refuses the temporary file (a read-only program folder) while the file
// itself is writable. The new content is complete in memory before the file is touched, and the
// file is written over from its start, never truncated first: a crash leaves old and new text
// mixed at worst, never an empty file. The file keeps its permissions, being the same file.
bool rewriteInPlace(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return false;
    return file.write(content) == content.size() && file.resize(content.size()) && file.flush();
}

} // namespace

bool saveFileAtomically(const QString &path, const QByteArray &content,
                        const std::function<void()> &beforeCommit)
{
    QSaveFile file(path);
    // QSaveFile's own fallback truncates the file before writing; ours does not.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return rewriteInPlace(path, content);
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    if (beforeCommit)
        beforeCommit();
    return file.commit();
}
