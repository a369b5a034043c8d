// The CSV table editor of the "CSV表格" page.
#include "app/panels/csvtablepanel.h"

#include "app/dialogs.h"
#include "app/processstate.h"
#include "csv/csvtable.h"
#include "settings/filesave.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QTableWidget>

namespace {

// Above this size the load shows the busy cursor.
constexpr qint64 kLargeFileBytes = 1 << 20;

} // namespace

CsvTablePanel::CsvTablePanel(QWidget *parent)
    : QWidget(parent)
{
}

void CsvTablePanel::attach(Host &host)
{
    m_host = &host;
    QMetaObject::connectSlotsByName(this);
}

void CsvTablePanel::restoreSettings()
{
    const QByteArray path = m_host->setting("CsvFilePath");
    if (!path.isEmpty()) {
        const QSignalBlocker quiet(widget<QLineEdit>("lEdt_CsvFilePath"));
        widget<QLineEdit>("lEdt_CsvFilePath")->setText(QString::fromLocal8Bit(path));
    }
    widget<QCheckBox>("cBox_AutoSaveToCsvFile")
        ->setChecked(!m_host->setting("AutoSaveToCsvFile").startsWith('n'));
}

// The table's own changes must not count as edits. The connection is made by name as well, so
// both use the string form: the unique connection then recognises the one setupUi made.
void CsvTablePanel::connectTracking()
{
    connect(widget<QTableWidget>("tblW_Csv"), SIGNAL(cellChanged(int, int)), this,
        SLOT(on_tblW_Csv_cellChanged(int, int)), Qt::UniqueConnection);
}

void CsvTablePanel::disconnectTracking()
{
    disconnect(widget<QTableWidget>("tblW_Csv"), SIGNAL(cellChanged(int, int)), this,
        SLOT(on_tblW_Csv_cellChanged(int, int)));
}

void CsvTablePanel::RefreshData()
{
    const QString path = QDir::toNativeSeparators(widget<QLineEdit>("lEdt_CsvFilePath")->text());
    const QFileInfo info(path);
    if (!info.isFile())
        return;

    csv::TableRead status = csv::TableRead::Ok;
    {
        disconnectTracking();
        const auto reconnect = qScopeGuard([this] { connectTracking(); });
        const bool large = info.size() > kLargeFileBytes;
        if (large)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([large] {
            if (large)
                QApplication::restoreOverrideCursor();
        });

        QTableWidget *table = widget<QTableWidget>("tblW_Csv");
        table->horizontalHeader()->setStyleSheet(
            QStringLiteral("QHeaderView::section{background-color:white; padding:0px 4px 2px "
                           "4px;border:0.5px solid}"));
        table->verticalHeader()->hide();
        // The old table goes first, so the two are never held together.
        csv::fillTable(*table, csv::Grid());

        csv::TableFile file = csv::readTableFile(path);
        status = file.status;
        if (status == csv::TableRead::Ok)
            csv::fillTable(*table, file.grid);
        m_tableFile = status == csv::TableRead::Ok ? info.canonicalFilePath() : QString();
    }
    // A refused file stays as it is: the table is empty and is never saved over it.
    if (status == csv::TableRead::TooLarge)
        dialogs::about(window(), QStringLiteral("提示:"), csv::tooLargeText());
}

void CsvTablePanel::on_pBtn_RefreshCsvData_clicked()
{
    RefreshData();
}

void CsvTablePanel::on_pBtn_CsvFilePath_clicked()
{
    // The field is set here together with its setting; its own slot would store it again.
    disconnect(widget<QLineEdit>("lEdt_CsvFilePath"), SIGNAL(textChanged(QString)), this,
        SLOT(on_lEdt_CsvFilePath_textChanged(QString)));
    const auto reconnect = qScopeGuard([this] {
        connect(widget<QLineEdit>("lEdt_CsvFilePath"), SIGNAL(textChanged(QString)), this,
            SLOT(on_lEdt_CsvFilePath_textChanged(QString)), Qt::UniqueConnection);
    });

    const QString chosen = dialogs::openFileName(nullptr, QStringLiteral("选择文件"),
        m_host->process().scriptFolder(), QStringLiteral("*.csv"));
    if (!chosen.isEmpty()) {
        const QString path = QDir::toNativeSeparators(chosen);
        widget<QLineEdit>("lEdt_CsvFilePath")->setText(path);
        m_host->writeSetting("CsvFilePath", path);
    }
    RefreshData();
}

void CsvTablePanel::on_lEdt_CsvFilePath_textChanged(const QString &text)
{
    const QString path = QDir::toNativeSeparators(text);
    if (path.isEmpty())
        return;
    if (path != text)
        widget<QLineEdit>("lEdt_CsvFilePath")->setText(path);
    m_host->writeSetting("CsvFilePath", path);
}

void CsvTablePanel::on_cBox_AutoSaveToCsvFile_clicked()
{
    m_host->writeSetting("AutoSaveToCsvFile",
        widget<QCheckBox>("cBox_AutoSaveToCsvFile")->isChecked() ? QStringLiteral("y")
                                                                 : QStringLiteral("n"));
}

CsvTablePanel::Save CsvTablePanel::saveTable(bool evenWithoutAutoSave)
{
    disconnectTracking();
    const auto reconnect = qScopeGuard([this] { connectTracking(); });

    const QString path = QDir::toNativeSeparators(widget<QLineEdit>("lEdt_CsvFilePath")->text());
    if (path.isEmpty())
        return Save::NoFile;
    if (!evenWithoutAutoSave && !widget<QCheckBox>("cBox_AutoSaveToCsvFile")->isChecked())
        return Save::Skipped;
    // A file too large for the table never held the table's contents (it was refused, or the
    // path was typed since): writing the table over it would throw its data away.
    const QString target = QFileInfo(path).canonicalFilePath();
    if (target != m_tableFile && csv::checkTableFile(path) == csv::TableRead::TooLarge)
        return Save::TooLarge;
    // Through a temporary file: a crash or a full disk never leaves half a table behind.
    if (!saveFileAtomically(path, csv::tableBytes(*widget<QTableWidget>("tblW_Csv"))))
        return Save::Failed;
    m_tableFile = QFileInfo(path).canonicalFilePath();
    return Save::Saved;
}

void CsvTablePanel::on_tblW_Csv_cellChanged(int, int)
{
    saveTable(false);
}

void CsvTablePanel::on_pBtn_SaveToCsvFile_clicked()
{
    switch (saveTable(true)) {
    case Save::NoFile:
        dialogs::about(window(), QStringLiteral("提示:"), QStringLiteral("请先指定csv文件!"));
        break;
    case Save::Failed:
        dialogs::about(
            window(), QStringLiteral("提示:"), QStringLiteral("无法保存,csv文件可能被占用!"));
        break;
    case Save::TooLarge:
        dialogs::about(window(), QStringLiteral("提示:"), csv::tooLargeText());
        break;
    case Save::Saved:
    case Save::Skipped:
        break;
    }
}

void CsvTablePanel::on_pBtn_InsertRow_clicked()
{
    disconnectTracking();
    const auto reconnect = qScopeGuard([this] { connectTracking(); });

    QTableWidget *table = widget<QTableWidget>("tblW_Csv");
    if (table->columnCount() < 1) {
        insertFirstCell();
        return;
    }
    const int row = table->currentRow() + 1; // 0 when no row is current
    table->insertRow(row);
    for (int c = 0; c < table->columnCount(); ++c)
        table->setItem(row, c, new QTableWidgetItem(QString()));
}

void CsvTablePanel::on_pBtn_InsertCol_clicked()
{
    disconnectTracking();
    const auto reconnect = qScopeGuard([this] { connectTracking(); });

    QTableWidget *table = widget<QTableWidget>("tblW_Csv");
    if (table->rowCount() < 1) {
        insertFirstCell();
        return;
    }
    const int column = table->currentColumn() + 1; // 0 when no column is current
    table->insertColumn(column);
    for (int r = 0; r < table->rowCount(); ++r)
        table->setItem(r, column, new QTableWidgetItem(QString()));
}

void CsvTablePanel::insertFirstCell()
{
    QTableWidget *table = widget<QTableWidget>("tblW_Csv");
    table->setRowCount(1);
    table->setColumnCount(1);
    table->setItem(0, 0, new QTableWidgetItem(QString()));
}

void CsvTablePanel::on_pBtn_RemoveRow_clicked()
{
    QTableWidget *table = widget<QTableWidget>("tblW_Csv");
    if (table->rowCount() < 1)
        return;
    {
        disconnectTracking();
        const auto reconnect = qScopeGuard([this] { connectTracking(); });
        if (table->currentRow() >= 0)
            table->removeRow(table->currentRow());
    }
    saveTable(false);
}

void CsvTablePanel::on_pBtn_RemoveCol_clicked()
{
    QTableWidget *table = widget<QTableWidget>("tblW_Csv");
    if (table->columnCount() < 1)
        return;
    {
        disconnectTracking();
        const auto reconnect = qScopeGuard([this] { connectTracking(); });
        if (table->currentColumn() >= 0)
            table->removeColumn(table->currentColumn());
    }
    saveTable(false);
}
