// The script editor at several script sizes: the colouring of a whole script, one typed
// character in the middle of it as the real editor handles it (change slot, colouring, what the
// editor shows, cursor, scroll and the undo record), the check once typing pauses, and undo
// and redo of such a keystroke.
// A keystroke that changes one line should cost the same at every size.
#include "app/editorcheck.h"
#include "app/editorcolouring.h"
#include "app/mainwindow.h"
#include "fakeplatform.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextEdit>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// Every kind of line, repeated until the script holds up to the given number of UTF-8 bytes.
QString scriptOfSize(int bytes)
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
    const int blockBytes = block.toUtf8().size();
    QString text;
    for (int size = 0; size + blockBytes <= bytes; size += blockBytes)
        text += block;
    return text;
}

void BM_ColourScript(benchmark::State &state)
{
    const QString text = scriptOfSize(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(editor::colouredDocument(text));
    state.counters["bytes"] = text.toUtf8().size();
}
BENCHMARK(BM_ColourScript)->Arg(10240)->Arg(40960)->Arg(163840)->Unit(benchmark::kMillisecond);

// The real main window with a script of the given size in its editor.
struct EditorWindow
{
    QTemporaryDir dir;
    FakePlatform platform;
    std::unique_ptr<MainWindow> window;
    QTextEdit *edit = nullptr;

    explicit EditorWindow(int bytes)
    {
        ProcessState process;
        process.programFolder = dir.path() + QLatin1Char('/');
        process.settingsPath = process.programFolder + QStringLiteral("Quorvel.qcf");
        window = std::make_unique<MainWindow>(process, platform);
        edit = window->findChild<QTextEdit *>(QStringLiteral("tEdt_ExecuteText"));
        edit->setPlainText(scriptOfSize(bytes));
        QCoreApplication::processEvents();
    }
};

// One typed character in the middle of the script; with a second argument of 1 including the
// events that follow it (layout and painting of the window).
void BM_Keystroke(benchmark::State &state)
{
    EditorWindow w(int(state.range(0)));
    const int middle = w.edit->document()->characterCount() / 2;
    bool insert = true;
    for (auto _ : state) {
        QTextCursor cursor(w.edit->document());
        cursor.setPosition(middle);
        // Alternate typing and deleting, so the script keeps its size.
        if (insert) {
            cursor.insertText(QStringLiteral("x"));
        } else {
            cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
        insert = !insert;
        if (state.range(1))
            QCoreApplication::processEvents(); // and the repaint that follows
    }
    state.counters["bytes"] = w.edit->toPlainText().toUtf8().size();
}
BENCHMARK(BM_Keystroke)
    ->Args({10240, 0})
    ->Args({40960, 0})
    ->Args({163840, 0})
    ->Args({10240, 1})
    ->Args({40960, 1})
    ->Args({163840, 1})
    ->Unit(benchmark::kMillisecond);

// What the editor does once typing pauses: prepare the script with the origins of its lines,
// check it, number the gutter and mark the problems.
void BM_DeferredCheck(benchmark::State &state)
{
    EditorWindow w(int(state.range(0)));
    EditorCheck *check = w.edit->findChild<EditorCheck *>();
    for (auto _ : state)
        check->checkNow();
    state.counters["bytes"] = w.edit->toPlainText().toUtf8().size();
}
BENCHMARK(BM_DeferredCheck)->Arg(10240)->Arg(40960)->Arg(163840)->Unit(benchmark::kMillisecond);

// Ctrl+Z and Ctrl+Y in turn after a character typed in the middle of the script.
void BM_UndoRedo(benchmark::State &state)
{
    EditorWindow w(int(state.range(0)));
    QTextCursor cursor(w.edit->document());
    cursor.setPosition(w.edit->document()->characterCount() / 2);
    cursor.insertText(QStringLiteral("x"));
    bool undo = true;
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, undo ? Qt::Key_Z : Qt::Key_Y, Qt::ControlModifier);
        QApplication::sendEvent(w.edit, &press);
        undo = !undo;
    }
}
BENCHMARK(BM_UndoRedo)->Arg(10240)->Arg(40960)->Arg(163840)->Unit(benchmark::kMillisecond);

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
