#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Replaces a file's content through a temporary file and a rename, so a crash or a full disk
// never leaves a half-written file: the old content stays until the new one is complete. Where
// the folder allows no temporary file but the file is writable, the file is rewritten in place
// instead (never truncated before it is written over). Permissions are kept either way.
// beforeCommit runs after the new content is written and before it replaces the old (tests
// use it to die at the worst moment). Returns false when nothing was replaced.
bool saveFileAtomically(const QString &path, const QByteArray &content,
                        const std::function<void()> &beforeCommit = {});
