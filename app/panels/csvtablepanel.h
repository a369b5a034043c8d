#pragma once

#include "app/panels/panelsettings.h"

#include <QWidget>

struct ProcessState;

// The "CSV表格" page: a CSV file shown as a table, edited in place and saved back whole.
class CsvTablePanel : public QWidget
{
    Q_OBJECT

public:
    class Host : public PanelSettings
    {
    public:
        virtual const ProcessState &process() const = 0;

    protected:
        ~Host() = default;
    };

    explicit CsvTablePanel(QWidget *parent = nullptr);

    // Connects the form's widgets to the slots below, once the form is set up.
    void attach(Host &host);
    // The file and the auto-save box as they were saved; the table loads when it is shown.
    void restoreSettings();

public slots:
    // Loads the file the field names into the table.
    void RefreshData();
    void on_pBtn_RefreshCsvData_clicked();
    void on_pBtn_CsvFilePath_clicked();
    void on_lEdt_CsvFilePath_textChanged(const QString &text);
    void on_cBox_AutoSaveToCsvFile_clicked();
    void on_tblW_Csv_cellChanged(int row, int column);
    void on_pBtn_SaveToCsvFile_clicked();
    void on_pBtn_InsertRow_clicked();
    void on_pBtn_InsertCol_clicked();
    void on_pBtn_RemoveRow_clicked();
    void on_pBtn_RemoveCol_clicked();

private:
    enum class Save { Saved, Skipped, NoFile, Failed, TooLarge };
    Save saveTable(bool evenWithoutAutoSave);
    void insertFirstCell();
    void connectTracking();
    void disconnectTracking();
    template<class T> T *widget(const char *name) const { return panels::child<T>(this, name); }

    Host *m_host = nullptr;
    QString m_tableFile; // canonical path of the file the table holds, once loaded or saved
};
