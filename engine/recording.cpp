#include "engine/recording.h"

namespace recording {

QStringList linesOf(const QVector<InputEvent> &events, const Options &options)
{
    Q_UNUSED(events);
    Q_UNUSED(options);
    return {};
}

QStringList pasteLines(const QString &text)
{
    return text.isEmpty() ? QStringList() : QStringList {QStringLiteral("粘贴->") + text};
}

} // namespace recording
