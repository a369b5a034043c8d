// Script files and quick-run: loading from the list, Ctrl+S, save-as, the hotkey slots'
// choosers and running a script by its name.
#include "app/appresources.h"
#include "app/scriptfiles.h"
#include "engine/instructionthread.h"
#include "settings/settings.h"
#include "testwindow.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

namespace {

QStringList listed(const TestWindow &w)
{
    const auto *list = w.child<QComboBox>("cmBox_LoadInstruction");
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->itemText(i);
    return names;
}

// What a user's pick in the list emits.
void pick(const TestWindow &w, const QString &name)
{
    auto *list = w.child<QComboBox>("cmBox_LoadInstruction");
    list->setCurrentIndex(list->findText(name));
    QMetaObject::invokeMethod(list, "activated", Q_ARG(QString, name));
}

QString status(const TestWindow &w)
{
    return w.child<QLabel>("lb_ShowDisposingFile")->text();
}

} // namespace

class TestScriptFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9)); }

    void loadEditAndSave()
    {
        TestWindow w({},
            {{QStringLiteral("Quorvel.zt"), "复制->default"},
                {QStringLiteral("job.zt"), "鼠标->1,1\r\n延时->5\r\n"}});
        QCOMPARE(listed(w), (QStringList {QStringLiteral("Quorvel"), QStringLiteral("job")}));
        // Ctrl+S before anything was loaded writes nothing.
        w.editor()->setPlainText(QStringLiteral("changed"));
        w.window->SaveZtFile();
        QCOMPARE(w.read(QStringLiteral("ZtFiles/Quorvel.zt")), QByteArray("复制->default"));

        pick(w, QStringLiteral("job"));
        QCOMPARE(w.editor()->toPlainText(), QStringLiteral("鼠标->1,1\n延时->5\n"));
        QCOMPARE(status(w), runHintText());
        // The history starts at the loaded text.
        w.key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.editor()->toPlainText(), QStringLiteral("鼠标->1,1\n延时->5\n"));

        w.setCursor(0);
        w.type(QStringLiteral("x"));
        QCOMPARE(status(w),
            QStringLiteral("<span style=\" color:#00aa00;\">job.zt编辑中, [Ctrl+S]保存!</span>"));
        // Ctrl+S, wherever the focus is in the window.
        QAction *save = nullptr;
        for (QAction *action : w.window->actions()) {
            if (action->shortcut() == QKeySequence(QStringLiteral("ctrl+s")))
                save = action;
        }
        QVERIFY(save);
        save->trigger();
        QCOMPARE(w.read(QStringLiteral("ZtFiles/job.zt")), QByteArray("x鼠标->1,1\r\n延时->5"));
        QCOMPARE(status(w), runHintText());
        QVERIFY(w.questions.isEmpty());

        // A loaded script that has disappeared is not written again.
        QFile::remove(w.path(QStringLiteral("ZtFiles/job.zt")));
        w.type(QStringLiteral("y"));
        save->trigger();
        QVERIFY(!QFileInfo::exists(w.path(QStringLiteral("ZtFiles/job.zt"))));
    }

    void loadingAMissingScript()
    {
        TestWindow w({}, {{QStringLiteral("gone.zt"), "a"}});
        QFile::remove(w.path(QStringLiteral("ZtFiles/gone.zt")));
        w.editor()->setPlainText(QStringLiteral("kept"));
        pick(w, QStringLiteral("gone"));
        QCOMPARE(w.questions, QStringList {QStringLiteral("提示:|文件不存在!")});
        QCOMPARE(w.editor()->toPlainText(), QStringLiteral("kept"));
    }

    void listedScriptsLoadWhateverTheExtensionsCase()
    {
        TestWindow w({},
            {{QStringLiteral("beta.ZT"), "复制->beta"},
                {QStringLiteral("gamma.Zt"), "复制->gamma"}});
        QCOMPARE(listed(w), (QStringList {QStringLiteral("beta"), QStringLiteral("gamma")}));
        for (const QString name : {QStringLiteral("beta"), QStringLiteral("gamma")}) {
            pick(w, name);
            QCOMPARE(w.editor()->toPlainText(), QStringLiteral("复制->") + name);
            // Ctrl+S writes back to the file that was loaded, not to a new ".zt" beside it.
            w.setCursor(0);
            w.type(QStringLiteral("x"));
            w.window->SaveZtFile();
        }
        QVERIFY(w.questions.isEmpty());
        QCOMPARE(w.read(QStringLiteral("ZtFiles/beta.ZT")), QByteArray("x复制->beta"));
        QCOMPARE(QDir(w.scriptFolder()).entryList(QDir::Files).size(), 2);
    }

    void existingScriptFile_data()
    {
        QTest::addColumn<QStringList>("files"); // in the folder
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("found");
        QTest::newRow("as spelled") << QStringList {"a.zt", "a.ZT"} << "a.zt"
                                    << "a.zt";
        QTest::newRow("capitals") << QStringList {"a.ZT"} << "a.zt"
                                  << "a.ZT";
        QTest::newRow("mixed, first by name") << QStringList {"a.zT", "a.Zt"} << "a.zt"
                                              << "a.Zt";
        QTest::newRow("base name keeps its case") << QStringList {"A.ZT"} << "a.zt"
                                                  << "a.zt";
        QTest::newRow("other extension untouched") << QStringList {"a.TXT"} << "a.txt"
                                                   << "a.txt";
        QTest::newRow("missing") << QStringList {"b.zt"} << "a.zt"
                                 << "a.zt";
        QTest::newRow("wildcard characters are plain") << QStringList {"a.ZT"} << "*.zt"
                                                       << "*.zt";
    }

    void existingScriptFile()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, asked);
        QFETCH(QString, found);
        QTemporaryDir dir;
        for (const QString &file : files)
            writeFile(dir.filePath(file), "x");
        QCOMPARE(::existingScriptFile(dir.filePath(asked)), dir.filePath(found));
    }

    // The real save dialog: a name typed without ".zt" that names an existing script is asked
    // about before anything is replaced, and the standard texts are Chinese.
    void saveAsDialogAsksBeforeReplacing()
    {
        QVERIFY(installQtTranslations(qApp));
        TestWindow w({}, {{QStringLiteral("old.zt"), "kept"}});
        dialogs::setResponder({});
        w.editor()->setPlainText(QStringLiteral("new text"));

        QStringList dialogTexts, questionTexts;
        QString question;
        bool sawDialog = false;
        QTimer::singleShot(200, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            sawDialog = true;
            for (const QLabel *label : dialog->findChildren<QLabel *>())
                dialogTexts << label->text();
            for (const QAbstractButton *button : dialog->findChildren<QPushButton *>())
                dialogTexts << button->text();
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
                ->setText(QStringLiteral("old"));
            QTimer::singleShot(200, [&] {
                auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                if (!box)
                    return;
                question = box->text();
                for (const QAbstractButton *button : box->buttons())
                    questionTexts << button->text();
                box->button(QMessageBox::No)->click();
            });
            static_cast<QDialog *>(dialog)->accept(); // asks; the answer is no, the dialog stays
            dialog->reject();
        });
        w.child<QPushButton>("pBtn_InstructionSaveAs")->click();
        dialogs::setResponder({});

        QVERIFY(sawDialog);
        QCOMPARE(w.read(QStringLiteral("ZtFiles/old.zt")), QByteArray("kept"));
        QVERIFY2(question.contains(QStringLiteral("old.zt")), qPrintable(question));
        // Qt's own texts in Chinese: no English caption is left in the dialog or the question.
        const QRegularExpression english(
            QStringLiteral("\\b(Look in|File name|Save|Cancel|Yes|No|already exists)\\b"));
        for (const QString &text : dialogTexts + questionTexts + QStringList {question})
            QVERIFY2(!english.match(text).hasMatch(), qPrintable(text));
        QVERIFY2(dialogTexts.join(' ').contains(QStringLiteral("文件名")),
            qPrintable(dialogTexts.join('|')));
        QVERIFY2(questionTexts.contains(QStringLiteral("否(&N)"))
                || questionTexts.contains(QStringLiteral("否")),
            qPrintable(questionTexts.join('|')));
    }

    void saveAs_data()
    {
        QTest::addColumn<QString>("answer"); // relative to the program folder; empty: cancel
        QTest::addColumn<QString>("written"); // the file that must hold the text
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<QStringList>("questions");
        const QStringList start {QStringLiteral("Quorvel"), QStringLiteral("old")};
        const QString saved = QStringLiteral("提示:|保存成功!");
        QTest::newRow("new name in the script folder")
            << QStringLiteral("ZtFiles/new.zt") << QStringLiteral("ZtFiles/new.zt")
            << start + QStringList {QStringLiteral("new")} << QStringList {saved};
        QTest::newRow("existing name: no second entry")
            << QStringLiteral("ZtFiles/old.zt") << QStringLiteral("ZtFiles/old.zt") << start
            << QStringList {saved};
        QTest::newRow("name without extension")
            << QStringLiteral("ZtFiles/plain") << QStringLiteral("ZtFiles/plain.zt")
            << start + QStringList {QStringLiteral("plain")} << QStringList {saved};
        QTest::newRow("another folder: written, not listed")
            << QStringLiteral("other.zt") << QStringLiteral("other.zt") << start
            << QStringList {saved};
        QTest::newRow("a folder inside the script folder: not listed")
            << QStringLiteral("ZtFiles/sub/deep.zt") << QStringLiteral("ZtFiles/sub/deep.zt")
            << start << QStringList {saved};
        // A dialog that hands back a bare name has not asked about the ".zt" file.
        QTest::newRow("bare name of an existing script, replacing refused")
            << QStringLiteral("ZtFiles/old|no") << QString() << start
            << QStringList {QStringLiteral("文件另存为|old.zt 已存在。\n要替换它吗?")};
        QTest::newRow("bare name of an existing script, replacing agreed")
            << QStringLiteral("ZtFiles/old|yes") << QStringLiteral("ZtFiles/old.zt") << start
            << QStringList {QStringLiteral("文件另存为|old.zt 已存在。\n要替换它吗?"), saved};
        QTest::newRow("cannot be written") << QStringLiteral("missing/x.zt") << QString() << start
                                           << QStringList {QStringLiteral("提示:|保存失败!")};
        QTest::newRow("cancelled") << QString() << QString() << start << QStringList();
    }

    void saveAs()
    {
        QFETCH(QString, answer);
        QFETCH(QString, written);
        QFETCH(QStringList, list);
        QFETCH(QStringList, questions);
        TestWindow w({}, {{QStringLiteral("Quorvel.zt"), "a"}, {QStringLiteral("old.zt"), "b"}});
        QDir().mkpath(w.path(QStringLiteral("ZtFiles/sub")));
        w.editor()->setPlainText(QStringLiteral("  串1->x\n串2->y  \n"));
        if (!answer.isEmpty()) {
            const QStringList parts = answer.split(QLatin1Char('|')); // path, then yes or no
            w.answers << w.path(parts.at(0)) << parts.mid(1);
        }
        w.child<QPushButton>("pBtn_InstructionSaveAs")->click();

        QCOMPARE(w.questions.value(0), QStringLiteral("文件另存为|") + w.scriptFolder());
        QCOMPARE(w.questions.mid(1), questions);
        if (!written.isEmpty())
            QCOMPARE(w.read(written), QByteArray("串1->x\r\n串2->y"));
        else
            QCOMPARE(w.read(QStringLiteral("ZtFiles/old.zt")), QByteArray("b"));
        QCOMPARE(listed(w), list);
    }

    void longScriptsAreNeverCut()
    {
        QString text;
        while (text.toLocal8Bit().size() <= 50000)
            text += QStringLiteral("鼠标->123,456 //第%1行\n").arg(text.size());
        text += QStringLiteral("延时->最后一行");
        TestWindow w;
        w.editor()->setPlainText(text);
        w.answers << w.path(QStringLiteral("ZtFiles/long.zt"));
        w.child<QPushButton>("pBtn_InstructionSaveAs")->click();
        QVERIFY(w.read(QStringLiteral("ZtFiles/long.zt")).endsWith("延时->最后一行"));
        w.editor()->clear();
        pick(w, QStringLiteral("long"));
        QCOMPARE(w.editor()->toPlainText(), text);
    }

    void quickRun_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("runs");
        QTest::newRow("existing") << QStringLiteral("job") << true;
        QTest::newRow("trailing blank belongs to the name") << QStringLiteral("blank ") << true;
        QTest::newRow("missing") << QStringLiteral("nope") << false;
        QTest::newRow("blank not in the file name") << QStringLiteral("job ") << false;
        QTest::newRow("extension in capitals on disk") << QStringLiteral("upper") << true;
    }

    void quickRun()
    {
        QFETCH(QString, typed);
        QFETCH(bool, runs);
        TestWindow w({},
            {{QStringLiteral("job.zt"), "复制->quick run"},
                {QStringLiteral("blank .zt"), "复制->quick run"},
                {QStringLiteral("upper.ZT"), "复制->quick run"}});
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        w.editor()->setPlainText(QStringLiteral("编辑框"));
        auto *field = w.child<QLineEdit>("lEdt_RunZtFile");
        field->setText(typed);
        QTest::keyClick(field, Qt::Key_Return);
        QVERIFY(field->text().isEmpty());
        QCOMPARE(w.window->isVisible(), !runs);
        if (runs) {
            QVERIFY(w.questions.isEmpty());
            QTRY_COMPARE_WITH_TIMEOUT(
                QGuiApplication::clipboard()->text(), QStringLiteral("quick run"), 5000);
            QTRY_VERIFY_WITH_TIMEOUT(!w.window->instructionThread().isRunning(), 5000);
        } else {
            QCOMPARE(w.questions, QStringList {QStringLiteral("注意：|文件不存在!")});
            QVERIFY(!w.window->instructionThread().isRunning());
        }
        QCOMPARE(w.editor()->toPlainText(), QStringLiteral("编辑框"));
    }

    void slotChoosers_data()
    {
        QTest::addColumn<int>("digit");
        for (int digit : {1, 2, 3, 4, 5, 6, 7, 8, 9, 0})
            QTest::newRow(qPrintable(QString::number(digit))) << digit;
    }

    void slotChoosers()
    {
        QFETCH(int, digit);
        TestWindow w("A=1\r\n");
        const QString name = QStringLiteral("KeyToPerform_%1").arg(digit);
        auto *button = w.window->findChild<QPushButton *>(QStringLiteral("pBtn_") + name);
        auto *field = w.window->findChild<QLineEdit *>(QStringLiteral("lEdt_") + name);
        const QByteArray key = "CtrlPath_" + QByteArray::number(digit);

        button->click(); // cancelled
        QVERIFY(field->text().isEmpty());
        QCOMPARE(settings::ReadSetting(w.read(QStringLiteral("Quorvel.qcf")), key), QByteArray());

        const QString chosen = QStringLiteral("/home/u/脚本 %1.zt").arg(digit);
        w.answers << chosen;
        button->click();
        QCOMPARE(w.questions.last(), QStringLiteral("选择文件|") + w.scriptFolder());
        QCOMPARE(field->text(), chosen);
        QCOMPARE(QString::fromLocal8Bit(
                     settings::ReadSetting(w.read(QStringLiteral("Quorvel.qcf")), key)),
            chosen);
    }
};

QTEST_MAIN(TestScriptFiles)
#include "tst_scriptfiles.moc"
