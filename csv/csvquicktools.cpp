// The quick record and lookup tools of the "指令编写" page, as members of MainWindow.
#include "app/dialogs.h"
#include "app/mainwindow.h"
#include "csv/csvfile.h"
#include "platform/platform.h"
#include "ui_mainwindow.h"

#include <QDir>
#include <QSignalBlocker>

namespace {

const QString kNoticeTitle = QStringLiteral("提示:");
const QString kCsvFilter = QStringLiteral("*.csv");

QString yesNo(bool on)
{
    return on ? QStringLiteral("y") : QStringLiteral("n");
}

} // namespace

void MainWindow::restoreCsvQuickToolSettings()
{
    // The fields take their stored paths without writing them back to the settings file.
    const QByteArray record = setting("SaveToCsvFileSelect");
    if (!record.isEmpty()) {
        const QSignalBlocker quiet(ui->lEdt_SaveToCsvFileSelect);
        ui->lEdt_SaveToCsvFileSelect->setText(QString::fromLocal8Bit(record));
        csv::setRecordPath(QDir::fromNativeSeparators(ui->lEdt_SaveToCsvFileSelect->text()));
    }
    const QByteArray lookup = setting("SearchFromCsvFileSelect");
    if (!lookup.isEmpty()) {
        const QSignalBlocker quiet(ui->lEdt_SearchFromCsvFileSelect);
        ui->lEdt_SearchFromCsvFileSelect->setText(QString::fromLocal8Bit(lookup));
        m_csvLookupPath = QDir::fromNativeSeparators(ui->lEdt_SearchFromCsvFileSelect->text());
    }
    ui->cBox_CsvContentAutoCopy->setChecked(setting("CsvContentAutoCopy").startsWith('y'));
    ui->cBox_AutoClearCsvFirstCol->setChecked(setting("AutoClearCsvFirstCol").startsWith('y'));
}

void MainWindow::on_pBtn_SaveToCsvFileSelect_clicked()
{
    const QString chosen = dialogs::openFileName(
        nullptr, QStringLiteral("选择文件"), QStringLiteral("."), kCsvFilter);
    if (!chosen.isEmpty())
        ui->lEdt_SaveToCsvFileSelect->setText(QDir::toNativeSeparators(chosen));
}

void MainWindow::on_lEdt_SaveToCsvFileSelect_textChanged(const QString &text)
{
    const QString path = QDir::fromNativeSeparators(text);
    csv::setRecordPath(path);
    writeSetting("SaveToCsvFileSelect", path);
}

void MainWindow::on_pBtn_SearchFromCsvFileSelect_clicked()
{
    const QString chosen = dialogs::openFileName(
        nullptr, QStringLiteral("选择文件"), QStringLiteral("."), kCsvFilter);
    if (!chosen.isEmpty())
        ui->lEdt_SearchFromCsvFileSelect->setText(QDir::toNativeSeparators(chosen));
}

void MainWindow::on_lEdt_SearchFromCsvFileSelect_textChanged(const QString &text)
{
    m_csvLookupPath = QDir::fromNativeSeparators(text);
    writeSetting("SearchFromCsvFileSelect", m_csvLookupPath);
}

void MainWindow::on_pBtn_SaveToCsv_clicked()
{
    const QString text = ui->lEdt_SaveToCsv->text().trimmed();
    const csv::Status status = csv::appendCsvRecord(csv::recordPath(), text);
    if (status != csv::Status::Ok) {
        dialogs::about(this, kNoticeTitle, csv::failureText(csv::Operation::Record, status));
        return;
    }
    ui->lEdt_SaveToCsv->clear();
    ui->lb_ShowActionContent->setText(
        QStringLiteral("<span style=\"color:red;\">&larr;保存：</span>")
        + csv::shortenForLabel(text).toHtmlEscaped());
}

void MainWindow::on_lEdt_CsvFirstCol_returnPressed()
{
    const QString key = ui->lEdt_CsvFirstCol->text().trimmed();
    const csv::Lookup found = csv::lookupCsvNextCell(m_csvLookupPath, key);
    if (found.status == csv::Status::CannotOpen)
        return;
    if (found.status != csv::Status::Ok) {
        dialogs::about(this, kNoticeTitle, csv::failureText(csv::Operation::Lookup, found.status));
        return;
    }

    ui->lEdt_CsvSecondCol->setText(found.value);
    if (ui->cBox_CsvContentAutoCopy->isChecked())
        setClipboardText(found.value);
    if (ui->cBox_AutoClearCsvFirstCol->isChecked())
        ui->lEdt_CsvFirstCol->clear();
    ui->lb_ShowActionContent->setText(QStringLiteral("<span style=\"color:gray;\">&darr;查找：")
        + csv::shortenForLabel(key).toHtmlEscaped() + QStringLiteral("</span>"));
}

void MainWindow::on_cBox_AutoClearCsvFirstCol_clicked()
{
    writeSetting("AutoClearCsvFirstCol", yesNo(ui->cBox_AutoClearCsvFirstCol->isChecked()));
}

void MainWindow::on_cBox_CsvContentAutoCopy_clicked()
{
    writeSetting("CsvContentAutoCopy", yesNo(ui->cBox_CsvContentAutoCopy->isChecked()));
}
