// Re-colouring a 40 KB script: the colouring alone, and a whole keystroke in the real editor
// (change slot, colouring, putting the HTML back, cursor, scroll and the undo record).
#include "app/editorcolouring.h"
#include "app/mainwindow.h"
#include "fakeplatform.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextEdit>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// Every kind of line, repeated until the script holds 40960 bytes in UTF-8.
QString script40k()
{
    const QString block = QStringLiteral("#define 登录 鼠标->100,200\n"
                                         "#insert /home/u/公共.zt\n"
                                         "// 打开网页并登录\n"
                                         "打开->http://example.com/login //登录页\n"
                                         "延时->3000\n"
                                         "循环1->5\n"
                                         "{\n"
                                         "    鼠标->738,486\n"
                                         "    鼠标->左键单击\n"
                                         "    键盘->Ctrl+C\n"
                                         "    串1->[复制]\n"
                                         "    变2->[变2]+1\n"
                                         "    对比->(串1==[串2])\n"
                                         "    {\n"
                                         "        粘贴->用户_名称_\n"
                                         "    }\n"
                                         "    else\n"
                                         "    {\n"
                                         "        识别->/home/u/确定.bmp\n"
                                         "    }\n"
                                         "循环1->5\n"
                                         "}\n"
                                         "/* 停用的部分\n"
                                         "鼠标->1,1\n"
                                         "*/\n"
                                         "已复制->完成\n"
                                         "{\n"
                                         "执行->3\n"
                                         "}\n"
                                         "截止->2025-01-01\n");
    QString text;
    while (text.toUtf8().size() + block.toUtf8().size() <= 40960)
        text += block;
    return text;
}

void BM_ColourScript40k(benchmark::State &state)
{
    const QString text = script40k();
    for (auto _ : state)
        benchmark::DoNotOptimize(editor::colouredDocument(text));
    state.counters["bytes"] = text.toUtf8().size();
}
BENCHMARK(BM_ColourScript40k)->Unit(benchmark::kMillisecond);

// One typed character in the middle of the script, as the editor handles it; with argument 1
// including the events that follow it (layout and painting of the shown window).
void BM_Keystroke40k(benchmark::State &state)
{
    QTemporaryDir dir;
    FakePlatform platform;
    ProcessState process;
    process.programFolder = dir.path() + QLatin1Char('/');
    process.settingsPath = process.programFolder + QStringLiteral("Quorvel.qcf");
    auto window = std::make_unique<MainWindow>(process, platform);
    auto *edit = window->findChild<QTextEdit *>(QStringLiteral("tEdt_ExecuteText"));
    edit->setPlainText(script40k());
    QCoreApplication::processEvents();
    const int middle = edit->document()->characterCount() / 2;
    bool insert = true;
    for (auto _ : state) {
        QTextCursor cursor(edit->document());
        cursor.setPosition(middle);
        // Alternate typing and deleting, so the script keeps its size.
        if (insert) {
            cursor.insertText(QStringLiteral("x"));
        } else {
            cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
        insert = !insert;
        if (state.range(0))
            QCoreApplication::processEvents(); // and the repaint that follows
    }
}
BENCHMARK(BM_Keystroke40k)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
