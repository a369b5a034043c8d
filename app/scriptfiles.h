#pragma once

#include <QString>

// Script files as the shell writes them: the text in the local 8-bit encoding with CR LF line
// ends, replacing the file through a temporary file and a rename. false when nothing was written.
// The text is written whole, however long it is.
bool writeScriptFile(const QString &path, const QString &text);

// The largest script file the editor and the quick-run field read. Saving writes any length,
// so reading a script back for editing or running takes it whole, not only its first 40960
// bytes: a cut there would be saved over the file at the next Ctrl+S. The limit only keeps an
// absurd file from exhausting memory.
constexpr qint64 maxEditorScriptBytes = 16 * 1024 * 1024;

// Reads a whole script file (up to its first zero byte, local 8-bit). Sets tooLarge and returns
// nothing when the file exceeds maxEditorScriptBytes; empty when it cannot be read.
QString readWholeScriptFile(const QString &path, bool *tooLarge = nullptr);

// The script file a path names, with its ".zt" extension matched without regard to case as on
// Windows: the list shows "beta" for "beta.ZT", and loading, quick-run and the hotkey slots must
// find that file on a file system that tells case apart. The path itself when it exists or when
// no such file is there.
QString existingScriptFile(const QString &path);

// Whether the program may write over a script file. Not over one larger than it loads: the
// editor never held that text, so writing the editor out would destroy it.
bool mayReplaceScriptFile(const QString &path);

// The status line's red note for a script file too large to load; the file stays as it is.
QString tooLargeScriptNote(const QString &path);
