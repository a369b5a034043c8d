#pragma once

#include "app/panels/panelsettings.h"

#include <QWidget>

// The quick record and lookup tools of the "指令编写" page: one line appended to a CSV file,
// and the cell right of a key looked up in another.
class CsvQuickToolsPanel : public QWidget
{
    Q_OBJECT

public:
    class Host : public PanelSettings
    {
    protected:
        ~Host() = default;
    };

    explicit CsvQuickToolsPanel(QWidget *parent = nullptr);

    // Connects the form's widgets to the slots below, once the form is set up.
    void attach(Host &host);
    // The two files and the two check boxes as they were saved.
    void restoreSettings();

public slots:
    void on_pBtn_SaveToCsvFileSelect_clicked();
    void on_lEdt_SaveToCsvFileSelect_textChanged(const QString &text);
    void on_pBtn_SaveToCsv_clicked();
    void on_pBtn_SearchFromCsvFileSelect_clicked();
    void on_lEdt_SearchFromCsvFileSelect_textChanged(const QString &text);
    void on_lEdt_CsvFirstCol_returnPressed();
    void on_cBox_AutoClearCsvFirstCol_clicked();
    void on_cBox_CsvContentAutoCopy_clicked();

private:
    template<class T> T *widget(const char *name) const { return panels::child<T>(this, name); }

    Host *m_host = nullptr;
    // The lookup tool's file, forward slashes (the record tool's file is shared with 存csv:
    // csv::recordPath).
    QString m_lookupPath;
};
