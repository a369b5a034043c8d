// A window for the end-to-end input tests: a line edit with the keyboard focus and a pad below
// it. Every key that reaches the line edit, every button that reaches the pad and every change
// of the text is written to the log file named by the first argument, one line each:
//   ready <pad's global x> <y> <width> <height>
//   keypress <X keysym, hex> <modifiers, hex> <text, percent-encoded>
//   keyrelease <X keysym, hex> <modifiers, hex>
//   mousepress|mouserelease|mousedouble <button> <x> <y>   (pad coordinates)
//   text <percent-encoded text>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

namespace {

QFile logFile;

void writeLine(const QByteArray &line)
{
    logFile.write(line + '\n');
    logFile.flush();
}

QByteArray hex(quint64 v)
{
    return "0x" + QByteArray::number(v, 16);
}

class Pad : public QWidget
{
protected:
    void mousePressEvent(QMouseEvent *e) override { log("mousepress", e); }
    void mouseReleaseEvent(QMouseEvent *e) override { log("mouserelease", e); }
    void mouseDoubleClickEvent(QMouseEvent *e) override { log("mousedouble", e); }
    void contextMenuEvent(QContextMenuEvent *e) override { e->accept(); }

private:
    static void log(const QByteArray &what, QMouseEvent *e)
    {
        const int button = e->button() == Qt::LeftButton ? 1
            : e->button() == Qt::RightButton             ? 3
                                                         : 0;
        writeLine(what + ' ' + QByteArray::number(button) + ' ' + QByteArray::number(e->pos().x())
            + ' ' + QByteArray::number(e->pos().y()));
    }
};

// Logs the keys of the line edit and keeps its context menu (the menu key) from opening.
class KeyLogger : public QObject
{
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            auto *k = static_cast<QKeyEvent *>(event);
            QByteArray line = event->type() == QEvent::KeyPress ? "keypress " : "keyrelease ";
            line += hex(k->nativeVirtualKey()) + ' ' + hex(quint64(k->modifiers()));
            if (event->type() == QEvent::KeyPress)
                line += ' ' + QUrl::toPercentEncoding(k->text());
            writeLine(line);
            // Tab would move the focus away; nothing else is needed for the log.
            if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab)
                return true;
        }
        if (event->type() == QEvent::ContextMenu)
            return true;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    logFile.setFileName(QString::fromLocal8Bit(argv[1]));
    if (!logFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 2;

    QWidget window;
    window.setWindowTitle(QStringLiteral("QuorvelInputTarget"));
    auto *layout = new QVBoxLayout(&window);
    auto *edit = new QLineEdit(&window);
    auto *pad = new Pad;
    pad->setMinimumSize(300, 200);
    pad->setAutoFillBackground(true);
    layout->addWidget(edit);
    layout->addWidget(pad);
    KeyLogger logger;
    edit->installEventFilter(&logger);
    QObject::connect(edit, &QLineEdit::textChanged,
        [](const QString &text) { writeLine("text " + QUrl::toPercentEncoding(text)); });

    window.setGeometry(40, 40, 400, 300);
    window.show();
    edit->setFocus();
    // Once the window is mapped and laid out: where the pad is on the screen.
    QTimer::singleShot(300, [pad] {
        const QPoint at = pad->mapToGlobal(QPoint(0, 0));
        writeLine("ready " + QByteArray::number(at.x()) + ' ' + QByteArray::number(at.y()) + ' '
            + QByteArray::number(pad->width()) + ' ' + QByteArray::number(pad->height()));
    });
    return app.exec();
}
