#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdlib>

// What a panel may do with the settings file: read a value as the file held it at start-up,
// and write one back. Every panel's host offers this much.
class PanelSettings
{
public:
    virtual QByteArray setting(const char *key) const = 0;
    virtual void writeSetting(const char *key, const QString &value) = 0;

protected:
    ~PanelSettings() = default;
};

// Leading decimal number of a settings value (C's atoi: blanks, sign, digits; 0 otherwise).
inline int leadingNumber(const QByteArray &value)
{
    return std::atoi(value.constData());
}

namespace panels {

// A check box as the settings file keeps it.
inline QString yesNo(bool on)
{
    return on ? QStringLiteral("y") : QStringLiteral("n");
}

// One of the panel's own widgets, by the object name the form gives it. A name the form lacks
// is a build mistake, so it stops the program at once instead of failing later.
template<class T> T *child(const QObject *panel, const char *name)
{
    T *found = panel->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("%s has no widget %s", qPrintable(panel->objectName()), name);
    return found;
}

} // namespace panels
