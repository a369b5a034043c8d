#pragma once

#include <QString>

// Script files as the shell writes them: the text in the local 8-bit encoding with CR LF line
// ends, replacing the file through a temporary file and a rename. false when nothing was written.
bool writeScriptFile(const QString &path, const QString &text);
