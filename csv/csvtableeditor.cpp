// The CSV table editor of the "CSV表格" page, as members of MainWindow.
#include "app/dialogs.h"
#include "app/mainwindow.h"
#include "csv/csvtable.h"
#include "settings/filesave.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QScopeGuard>
#include <QSignalBlocker>

namespace {

constexpr int kCsvTabIndex = 2;
// Above this size the load shows the busy cursor.
constexpr qint64 kLargeFileBytes = 1 << 20;

} // namespace

void MainWindow::restoreCsvTableSettings()
{
    const QByteArray path = setting("CsvFilePath");
    if (!path.isEmpty()) {
        const QSignalBlocker quiet(ui->lEdt_CsvFilePath);
        ui->lEdt_CsvFilePath->setText(QString::fromLocal8Bit(path));
    }
    ui->cBox_AutoSaveToCsvFile->setChecked(!setting("AutoSaveToCsvFile").startsWith('n'));
}

// The table's own changes must not count as edits. The connection is made by name as well, so
// both use the string form: the unique connection then recognises the one setupUi made.
void MainWindow::connectCsvTracking()
{
    connect(ui->tblW_Csv, SIGNAL(cellChanged(int, int)), this,
        SLOT(on_tblW_Csv_cellChanged(int, int)), Qt::UniqueConnection);
}

void MainWindow::disconnectCsvTracking()
{
    disconnect(
        ui->tblW_Csv, SIGNAL(cellChanged(int, int)), this, SLOT(on_tblW_Csv_cellChanged(int, int)));
}

void MainWindow::RefreshData()
{
    const QString path = QDir::toNativeSeparators(ui->lEdt_CsvFilePath->text());
    const QFileInfo info(path);
    if (!info.isFile())
        return;

    csv::TableRead status = csv::TableRead::Ok;
    {
        disconnectCsvTracking();
        const auto reconnect = qScopeGuard([this] { connectCsvTracking(); });
        const bool large = info.size() > kLargeFileBytes;
        if (large)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([large] {
            if (large)
                QApplication::restoreOverrideCursor();
        });

        QTableWidget *table = ui->tblW_Csv;
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
        m_csvTableFile = status == csv::TableRead::Ok ? info.canonicalFilePath() : QString();
    }
    // A refused file stays as it is: the table is empty and is never saved over it.
    if (status == csv::TableRead::TooLarge)
        dialogs::about(this, QStringLiteral("提示:"), csv::tooLargeText());
}

void MainWindow::on_pBtn_RefreshCsvData_clicked()
{
    RefreshData();
}

void MainWindow::on_tabWidget_tabBarClicked(int index)
{
    if (index == kCsvTabIndex)
        RefreshData();
}

void MainWindow::on_pBtn_CsvFilePath_clicked()
{
    // The field is set here together with its setting; its own slot would store it again.
    disconnect(ui->lEdt_CsvFilePath, SIGNAL(textChanged(QString)), this,
        SLOT(on_lEdt_CsvFilePath_textChanged(QString)));
    const auto reconnect = qScopeGuard([this] {
        connect(ui->lEdt_CsvFilePath, SIGNAL(textChanged(QString)), this,
            SLOT(on_lEdt_CsvFilePath_textChanged(QString)), Qt::UniqueConnection);
    });

    const QString chosen = dialogs::openFileName(
        nullptr, QStringLiteral("选择文件"), m_process.scriptFolder(), QStringLiteral("*.csv"));
    if (!chosen.isEmpty()) {
        const QString path = QDir::toNativeSeparators(chosen);
        ui->lEdt_CsvFilePath->setText(path);
        writeSetting("CsvFilePath", path);
    }
    RefreshData();
}

void MainWindow::on_lEdt_CsvFilePath_textChanged(const QString &text)
{
    const QString path = QDir::toNativeSeparators(text);
    if (path.isEmpty())
        return;
    if (path != text)
        ui->lEdt_CsvFilePath->setText(path);
    writeSetting("CsvFilePath", path);
}

void MainWindow::on_cBox_AutoSaveToCsvFile_clicked()
{
    writeSetting("AutoSaveToCsvFile",
        ui->cBox_AutoSaveToCsvFile->isChecked() ? QStringLiteral("y") : QStringLiteral("n"));
}

MainWindow::CsvSave MainWindow::saveCsvTable(bool evenWithoutAutoSave)
{
    disconnectCsvTracking();
    const auto reconnect = qScopeGuard([this] { connectCsvTracking(); });

    const QString path = QDir::toNativeSeparators(ui->lEdt_CsvFilePath->text());
    if (path.isEmpty())
        return CsvSave::NoFile;
    if (!evenWithoutAutoSave && !ui->cBox_AutoSaveToCsvFile->isChecked())
        return CsvSave::Skipped;
    // A file too large for the table never held the table's contents (it was refused, or the
    // path was typed since): writing the table over it would throw its data away.
    const QString target = QFileInfo(path).canonicalFilePath();
    if (target != m_csvTableFile && csv::checkTableFile(path) == csv::TableRead::TooLarge)
        return CsvSave::TooLarge;
    // Through a temporary file: a crash or a full disk never leaves half a table behind.
    if (!saveFileAtomically(path, csv::tableBytes(*ui->tblW_Csv)))
        return CsvSave::Failed;
    m_csvTableFile = QFileInfo(path).canonicalFilePath();
    return CsvSave::Saved;
}

void MainWindow::on_tblW_Csv_cellChanged(int, int)
{
    saveCsvTable(false);
}

void MainWindow::on_pBtn_SaveToCsvFile_clicked()
{
    switch (saveCsvTable(true)) {
    case CsvSave::NoFile:
        dialogs::about(this, QStringLiteral("提示:"), QStringLiteral("请先指定csv文件!"));
        break;
    case CsvSave::Failed:
        dialogs::about(
            this, QStringLiteral("提示:"), QStringLiteral("无法保存,csv文件可能被占用!"));
        break;
    case CsvSave::TooLarge:
        dialogs::about(this, QStringLiteral("提示:"), csv::tooLargeText());
        break;
    case CsvSave::Saved:
    case CsvSave::Skipped:
        break;
    }
}

void MainWindow::on_pBtn_InsertRow_clicked()
{
    disconnectCsvTracking();
    const auto reconnect = qScopeGuard([this] { connectCsvTracking(); });

    QTableWidget *table = ui->tblW_Csv;
    if (table->columnCount() < 1) {
        insertFirstCsvCell();
        return;
    }
    const int row = table->currentRow() + 1; // 0 when no row is current
    table->insertRow(row);
    for (int c = 0; c < table->columnCount(); ++c)
        table->setItem(row, c, new QTableWidgetItem(QString()));
}

void MainWindow::on_pBtn_InsertCol_clicked()
{
    disconnectCsvTracking();
    const auto reconnect = qScopeGuard([this] { connectCsvTracking(); });

    QTableWidget *table = ui->tblW_Csv;
    if (table->rowCount() < 1) {
        insertFirstCsvCell();
        return;
    }
    const int column = table->currentColumn() + 1; // 0 when no column is current
    table->insertColumn(column);
    for (int r = 0; r < table->rowCount(); ++r)
        table->setItem(r, column, new QTableWidgetItem(QString()));
}

void MainWindow::insertFirstCsvCell()
{
    QTableWidget *table = ui->tblW_Csv;
    table->setRowCount(1);
    table->setColumnCount(1);
    table->setItem(0, 0, new QTableWidgetItem(QString()));
}

void MainWindow::on_pBtn_RemoveRow_clicked()
{
    QTableWidget *table = ui->tblW_Csv;
    if (table->rowCount() < 1)
        return;
    {
        disconnectCsvTracking();
        const auto reconnect = qScopeGuard([this] { connectCsvTracking(); });
        if (table->currentRow() >= 0)
            table->removeRow(table->currentRow());
    }
    saveCsvTable(false);
}

void MainWindow::on_pBtn_RemoveCol_clicked()
{
    QTableWidget *table = ui->tblW_Csv;
    if (table->columnCount() < 1)
        return;
    {
        disconnectCsvTracking();
        const auto reconnect = qScopeGuard([this] { connectCsvTracking(); });
        if (table->currentColumn() >= 0)
            table->removeColumn(table->currentColumn());
    }
    saveCsvTable(false);
}
