#include "app/systemtray.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QPainter>

QString idleTrayIconPath()
{
    return QStringLiteral(":/images/Quorvel_2.ico");
}

QString runningTrayIconPath(int stepNumber)
{
    static const char *const frames[4] = {":/images/Quorvel_6.ico", ":/images/Quorvel_3.ico",
                                          ":/images/Quorvel_4.ico", ":/images/Quorvel_5.ico"};
    const int frame = ((stepNumber % 4) + 4) % 4;
    return QString::fromLatin1(frames[frame]);
}

QIcon recordingTrayIcon()
{
    // Painted at each size the idle icon has, so every tray picks a sharp one.
    const QIcon idle(idleTrayIconPath());
    QList<QSize> sizes = idle.availableSizes();
    if (sizes.isEmpty())
        sizes << QSize(16, 16) << QSize(32, 32);
    QIcon icon;
    for (const QSize &size : qAsConst(sizes)) {
        QPixmap pixmap = idle.pixmap(size);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal diameter = qMax(6.0, size.width() * 0.55);
        const QRectF dot(size.width() - diameter, size.height() - diameter, diameter, diameter);
        painter.setPen(QPen(Qt::white, qMax(1.0, diameter / 8)));
        painter.setBrush(QColor(0xe0, 0x10, 0x10));
        painter.drawEllipse(dot.adjusted(0.5, 0.5, -0.5, -0.5));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

SystemTray::SystemTray(QObject *parent)
    : QSystemTrayIcon(parent)
    , m_menu(new QMenu) // a menu has no QObject parent here; deleted with the tray
    , m_show(new QAction(QStringLiteral("软件设置"), this))
    , m_update(new QAction(QStringLiteral("检查更新"), this))
    , m_quit(new QAction(QStringLiteral("退出程序"), this))
{
    m_menu->addAction(m_show);
    m_menu->addAction(m_update);
    m_menu->addAction(m_quit);
    setContextMenu(m_menu);
    setIcon(QIcon(idleTrayIconPath()));
    setToolTip(QStringLiteral("OrbenixQuorvel"));
    show();
    connect(m_show, &QAction::triggered, this, &SystemTray::ShowUi, Qt::UniqueConnection);
    connect(m_quit, &QAction::triggered, this, &SystemTray::UiQuit, Qt::UniqueConnection);
}

SystemTray::~SystemTray()
{
    delete m_menu;
}

void SystemTray::UiQuit()
{
    QCoreApplication::quit();
}

void SystemTray::ShowUi()
{
    emit showWidget();
}
