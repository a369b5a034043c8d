// The quick record and lookup tools of the "指令编写" page.
#include "app/panels/csvquicktoolspanel.h"

#include "app/dialogs.h"
#include "csv/csvfile.h"
#include "platform/platform.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace {

const QString kNoticeTitle = QStringLiteral("提示:");
const QString kCsvFilter = QStringLiteral("*.csv");

} // namespace

CsvQuickToolsPanel::CsvQuickToolsPanel(QWidget *parent)
    : QWidget(parent)
{
}

void CsvQuickToolsPanel::attach(Host &host)
{
    m_host = &host;
    QMetaObject::connectSlotsByName(this);
    // Enter in the record field presses its button.
    connect(widget<QLineEdit>("lEdt_SaveToCsv"), SIGNAL(returnPressed()),
        widget<QPushButton>("pBtn_SaveToCsv"), SIGNAL(clicked()), Qt::UniqueConnection);
}

void CsvQuickToolsPanel::restoreSettings()
{
    // The fields take their stored paths without writing them back to the settings file.
    auto *recordField = widget<QLineEdit>("lEdt_SaveToCsvFileSelect");
    const QByteArray record = m_host->setting("SaveToCsvFileSelect");
    if (!record.isEmpty()) {
        const QSignalBlocker quiet(recordField);
        recordField->setText(QString::fromLocal8Bit(record));
        csv::setRecordPath(QDir::fromNativeSeparators(recordField->text()));
    }
    auto *lookupField = widget<QLineEdit>("lEdt_SearchFromCsvFileSelect");
    const QByteArray lookup = m_host->setting("SearchFromCsvFileSelect");
    if (!lookup.isEmpty()) {
        const QSignalBlocker quiet(lookupField);
        lookupField->setText(QString::fromLocal8Bit(lookup));
        m_lookupPath = QDir::fromNativeSeparators(lookupField->text());
    }
    widget<QCheckBox>("cBox_CsvContentAutoCopy")
        ->setChecked(m_host->setting("CsvContentAutoCopy").startsWith('y'));
    widget<QCheckBox>("cBox_AutoClearCsvFirstCol")
        ->setChecked(m_host->setting("AutoClearCsvFirstCol").startsWith('y'));
}

void CsvQuickToolsPanel::on_pBtn_SaveToCsvFileSelect_clicked()
{
    const QString chosen = dialogs::openFileName(
        nullptr, QStringLiteral("选择文件"), QStringLiteral("."), kCsvFilter);
    if (!chosen.isEmpty())
        widget<QLineEdit>("lEdt_SaveToCsvFileSelect")->setText(QDir::toNativeSeparators(chosen));
}

void CsvQuickToolsPanel::on_lEdt_SaveToCsvFileSelect_textChanged(const QString &text)
{
    const QString path = QDir::fromNativeSeparators(text);
    csv::setRecordPath(path);
    m_host->writeSetting("SaveToCsvFileSelect", path);
}

void CsvQuickToolsPanel::on_pBtn_SearchFromCsvFileSelect_clicked()
{
    const QString chosen = dialogs::openFileName(
        nullptr, QStringLiteral("选择文件"), QStringLiteral("."), kCsvFilter);
    if (!chosen.isEmpty())
        widget<QLineEdit>("lEdt_SearchFromCsvFileSelect")
            ->setText(QDir::toNativeSeparators(chosen));
}

void CsvQuickToolsPanel::on_lEdt_SearchFromCsvFileSelect_textChanged(const QString &text)
{
    m_lookupPath = QDir::fromNativeSeparators(text);
    m_host->writeSetting("SearchFromCsvFileSelect", m_lookupPath);
}

void CsvQuickToolsPanel::on_pBtn_SaveToCsv_clicked()
{
    const QString text = widget<QLineEdit>("lEdt_SaveToCsv")->text().trimmed();
    const csv::Status status = csv::appendCsvRecord(csv::recordPath(), text);
    if (status != csv::Status::Ok) {
        dialogs::about(window(), kNoticeTitle, csv::failureText(csv::Operation::Record, status));
        return;
    }
    widget<QLineEdit>("lEdt_SaveToCsv")->clear();
    widget<QLabel>("lb_ShowActionContent")
        ->setText(QStringLiteral("<span style=\"color:red;\">&larr;保存：</span>")
            + csv::shortenForLabel(text).toHtmlEscaped());
}

void CsvQuickToolsPanel::on_lEdt_CsvFirstCol_returnPressed()
{
    const QString key = widget<QLineEdit>("lEdt_CsvFirstCol")->text().trimmed();
    const csv::Lookup found = csv::lookupCsvNextCell(m_lookupPath, key);
    if (found.status == csv::Status::CannotOpen)
        return;
    if (found.status != csv::Status::Ok) {
        dialogs::about(
            window(), kNoticeTitle, csv::failureText(csv::Operation::Lookup, found.status));
        return;
    }

    widget<QLineEdit>("lEdt_CsvSecondCol")->setText(found.value);
    if (widget<QCheckBox>("cBox_CsvContentAutoCopy")->isChecked())
        setClipboardText(found.value);
    if (widget<QCheckBox>("cBox_AutoClearCsvFirstCol")->isChecked())
        widget<QLineEdit>("lEdt_CsvFirstCol")->clear();
    widget<QLabel>("lb_ShowActionContent")
        ->setText(QStringLiteral("<span style=\"color:gray;\">&darr;查找：")
            + csv::shortenForLabel(key).toHtmlEscaped() + QStringLiteral("</span>"));
}

void CsvQuickToolsPanel::on_cBox_AutoClearCsvFirstCol_clicked()
{
    m_host->writeSetting("AutoClearCsvFirstCol",
        panels::yesNo(widget<QCheckBox>("cBox_AutoClearCsvFirstCol")->isChecked()));
}

void CsvQuickToolsPanel::on_cBox_CsvContentAutoCopy_clicked()
{
    m_host->writeSetting("CsvContentAutoCopy",
        panels::yesNo(widget<QCheckBox>("cBox_CsvContentAutoCopy")->isChecked()));
}
