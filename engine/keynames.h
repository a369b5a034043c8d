#pragma once

#include <QString>
#include <QStringList>

// The key names scripts use, with the Windows virtual-key code of each key. Lookup is exact
// and case-sensitive; the table is built once and never changes.
namespace keynames {

// The virtual-key code of a key name, or -1 when the name is unknown.
int virtualKey(const QString &name);

// Every known name, in the order of the table.
QStringList allNames();

} // namespace keynames
