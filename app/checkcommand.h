#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// `Quorvel --check [--json] <file>`: checks a script file without running it and prints what the
// run would count and meet, for scripts, editors and build jobs. It is a console tool inside the
// program: no window, no tray, no hotkeys, no single-instance rule, no settings file, no display.
namespace checkcommand {

// The exit codes a caller can rely on.
enum ExitCode {
    NoErrors = 0, // warnings allowed
    HasErrors = 1,
    CannotCheck = 2, // the file cannot be read, or the command line is wrong
};

// Whether the command line asks for a check instead of starting the program: one of its
// arguments is "--check". Decided on the raw arguments, before anything of the start-up runs.
bool requested(int argc, char *argv[]);

struct Arguments
{
    QString file;
    bool json = false;
    QString error; // what is wrong with the command line; empty when nothing is
};

// The arguments after the program's name: "--check" and "--json" in any order, one file name
// ("--" ends the options, for a file whose name starts with "-").
Arguments parseArguments(const QStringList &arguments);

// Why a script file cannot be checked ("文件不存在", …); empty when it can be read.
QString unreadableReason(const QString &path);

// What a check gives the console: the exit code and the bytes for stdout and stderr (UTF-8).
struct Outcome
{
    int exitCode = NoErrors;
    QByteArray out;
    QByteArray err;
};

// Parses the arguments, reads the script file as a run from a file does (#insert paths as a run
// takes them) and checks it. Touches no output itself.
Outcome run(const QStringList &arguments);

// The whole process of a check, called first thing in main(); returns the exit code.
int main(int argc, char *argv[]);

} // namespace checkcommand
