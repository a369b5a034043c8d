// libFuzzer target for the editor's colouring: a script, then edits. The line-by-line colouring
// must show, after every edit, exactly what colouring the whole new text shows, and it must
// report every line that shows differently.
//
// Input: the script, then for each edit a \x01, two bytes for the place, one for the number of
// characters removed, and the inserted text up to the next \x01. A script without edits (as
// the seeds are) gets a few of its own: a character taken out and put back at three places.
#include "app/editorcolouring.h"
#include "colouringcheck.h"
#include "fuzzinput.h"

namespace {

using colouringcheck::shownLines;
using colouringcheck::wholeText;

struct Edit
{
    int at;
    int removed;
    QString inserted;
};

// Applies the edit to text and tells the colouring as the editor does: the lines the edit
// touched, before and after it. Then checks the colouring against the whole text.
void apply(editor::ScriptColouring &colouring, QString &text, const Edit &edit)
{
    const int at = edit.at % (text.size() + 1);
    const int removed = qBound(0, edit.removed, text.size() - at);
    const QVector<editor::DisplayLine> before = shownLines(colouring);
    const int linesBefore = text.count(QLatin1Char('\n'));
    const int first = text.leftRef(at).count(QLatin1Char('\n'));
    const int last = text.leftRef(at + removed).count(QLatin1Char('\n'));
    const QVector<int> changed = colouringcheck::edit(colouring, text, at, removed, edit.inserted);

    const QByteArray where = "edit at " + QByteArray::number(at) + " removing "
        + QByteArray::number(removed) + " inserting '" + edit.inserted.toUtf8() + "' giving:\n"
        + text.toUtf8();
    FUZZ_CHECK(colouring.text() == text, where);
    const QVector<editor::DisplayLine> after = wholeText(text);
    FUZZ_CHECK(shownLines(colouring) == after, where);
    const int shift = text.count(QLatin1Char('\n')) - linesBefore;
    for (int k = 0; k < after.size(); ++k) {
        const int old = k <= first ? k : k - shift;
        const bool edited = k >= first && k <= last + shift;
        if (!edited && old >= 0 && old < before.size() && !(before.at(old) == after.at(k)))
            FUZZ_CHECK(
                changed.contains(k), where + "\nline " + QByteArray::number(k) + " not reported");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::startOnce("fuzz_colouring");

    fuzz::Input in(data, size);
    QString text = QString::fromUtf8(in.field());
    QVector<Edit> edits;
    while (!in.atEnd() && edits.size() < 32) {
        Edit edit;
        edit.at = in.below(65536);
        edit.removed = in.byte() % 16;
        edit.inserted = QString::fromUtf8(in.field());
        edits << edit;
    }
    if (edits.isEmpty()) {
        for (const int part : {3, 2, 1}) {
            const int at = text.size() * part / 4;
            edits << Edit {at, 1, QString()} << Edit {at, 0, text.mid(at, 1)};
        }
    }

    editor::ScriptColouring colouring;
    colouring.setText(text);
    FUZZ_CHECK(shownLines(colouring) == wholeText(text), "set: " + text.toUtf8());
    for (const Edit &edit : qAsConst(edits))
        apply(colouring, text, edit);
    return 0;
}
