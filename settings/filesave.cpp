#include "settings/filesave.h"

#include <QSaveFile>

bool saveFileAtomically(const QString &path, const QByteArray &content,
                        const std::function<void()> &beforeCommit)
{
    QSaveFile file(path);
    // Never fall back to writing in place: that is exactly the half-written file we avoid.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    if (beforeCommit)
        beforeCommit();
    return file.commit();
}
