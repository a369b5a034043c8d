// libFuzzer target for the small readers of outside text: the settings file, the CSV lookup,
// append and table rules, search regions and key names. The first byte picks the routine; the
// rest is cut into its arguments at \x01 bytes (see fuzzinput.h). Besides not crashing, each
// routine must keep the promises its header makes.
#include "csv/csvfile.h"
#include "csv/csvtable.h"
#include "engine/keynames.h"
#include "fuzzinput.h"
#include "imaging/region.h"
#include "settings/settings.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

bool hasLineEnd(const QByteArray &bytes)
{
    return bytes.contains('\n');
}

bool startsBlank(const QByteArray &bytes)
{
    return !bytes.isEmpty() && (bytes.at(0) == ' ' || bytes.at(0) == '\t');
}

QByteArray shown(const QByteArray &bytes)
{
    return bytes.toPercentEncoding(" =,");
}

void settingsText(fuzz::Input &in)
{
    const QByteArray key = in.field();
    const QByteArray value = in.field();
    const QByteArray text = in.rest();

    settings::ReadSetting(text, key);
    QByteArray replaced;
    settings::ReplaceSettingLine(replaced, text, key, value);

    // A key and value that fit on one line read back as written (blanks around the value
    // trimmed), and storing the same pair again changes nothing. A key starting with a blank
    // cannot be read once it is the file's first line: the file's blanks are trimmed first.
    if (hasLineEnd(key) || hasLineEnd(value) || startsBlank(key))
        return;
    const QByteArray read = settings::ReadSetting(replaced, key);
    FUZZ_CHECK(read == settings::trimBlanks(value),
        "key " + shown(key) + " value " + shown(value) + " read " + shown(read));
    QByteArray again;
    settings::ReplaceSettingLine(again, replaced, key, value);
    FUZZ_CHECK(again == replaced, "once " + shown(replaced) + " twice " + shown(again));
}

void csvLookup(fuzz::Input &in)
{
    const QByteArray key = in.field();
    const QByteArray data = in.rest();
    const QByteArray cell = csv::nextCellAfterKey(data.constData(), data.size(), key);
    // One cell: it never runs over a comma, a line end or the zero byte that ends the search.
    FUZZ_CHECK(
        !cell.contains(',') && !cell.contains('\r') && !cell.contains('\n') && !cell.contains('\0'),
        shown(cell));
    FUZZ_CHECK(cell.isEmpty() || data.contains(cell), shown(cell));
}

QString scratchFile()
{
    static QTemporaryDir dir;
    if (!dir.isValid())
        fuzz::fail("no temporary folder");
    return dir.filePath(QStringLiteral("records.csv"));
}

void csvAppend(fuzz::Input &in)
{
    const QString record = QString::fromUtf8(in.field());
    const QString key = QString::fromUtf8(in.field());
    const QByteArray before = in.rest();

    const QString path = scratchFile();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(before) != before.size())
            fuzz::fail("cannot prepare the CSV file");
    }
    const csv::Status status = csv::appendCsvRecord(path, record);
    QByteArray after;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            fuzz::fail("cannot read the CSV file back");
        after = file.readAll();
    }
    const QByteArray bytes = record.toLocal8Bit();
    if (bytes.size() > csv::kMaxRecordBytes) {
        FUZZ_CHECK(status == csv::Status::RecordTooLong && after == before, "refused record");
    } else {
        // A single append: what was there stays, the record and CR LF follow.
        FUZZ_CHECK(
            status == csv::Status::Ok && after == before + bytes + "\r\n", shown(after.right(200)));
    }

    // The file lookup is the byte rule on the file's contents.
    const csv::Lookup lookup = csv::lookupCsvNextCell(path, key);
    const QByteArray cell
        = csv::nextCellAfterKey(after.constData(), after.size(), key.toLocal8Bit());
    if (cell.size() > csv::kMaxValueBytes)
        FUZZ_CHECK(lookup.status == csv::Status::ValueTooLong, "long value");
    else
        FUZZ_CHECK(lookup.status == csv::Status::Ok && lookup.value == QString::fromLocal8Bit(cell),
            lookup.value.toUtf8());
}

void csvTable(fuzz::Input &in)
{
    const std::optional<csv::Grid> grid = csv::parseTable(in.rest());
    if (!grid)
        return; // too large for the table, refused as a whole
    int widest = 0;
    for (const QVector<QString> &row : grid->rows) {
        widest = qMax(widest, row.size());
        for (const QString &cell : row)
            FUZZ_CHECK(!cell.contains(QLatin1Char(',')) && !cell.contains(QChar(0))
                    && !cell.contains(QLatin1Char('\r')) && !cell.contains(QLatin1Char('\n')),
                cell.toUtf8());
    }
    FUZZ_CHECK(grid->columns == widest, QByteArray::number(grid->columns));
}

void searchRegion(fuzz::Input &in)
{
    const QPoint cursor(in.int32(), in.int32());
    const QString text = QString::fromUtf8(in.rest());
    const imaging::SearchRegion region = imaging::parseSearchRegion(text, cursor);
    if (region.matched())
        FUZZ_CHECK(region.width >= 0 && region.height >= 0, text.toUtf8());
    else
        FUZZ_CHECK(!region.hasExtent(), text.toUtf8());
}

void keyName(fuzz::Input &in)
{
    static const QStringList names = keynames::allNames();
    const QString name = QString::fromUtf8(in.rest());
    const int code = keynames::virtualKey(name);
    // Known names, and only they, have a virtual-key code, which fits in a byte.
    FUZZ_CHECK((code >= 0) == names.contains(name), name.toUtf8());
    FUZZ_CHECK(code < 256, name.toUtf8());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::startOnce("fuzz_parsers", true);

    fuzz::Input in(data, size);
    switch (in.byte() % 6) {
    case 0:
        settingsText(in);
        break;
    case 1:
        csvLookup(in);
        break;
    case 2:
        csvAppend(in);
        break;
    case 3:
        csvTable(in);
        break;
    case 4:
        searchRegion(in);
        break;
    case 5:
        keyName(in);
        break;
    }
    return 0;
}
