#include "app/systemtray.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

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

SystemTray::SystemTray(QObject *parent)
    : QSystemTrayIcon(parent)
    , m_menu(new QMenu) // a menu has no QObject parent here; deleted with the tray
    , m_show(new QAction(QStringLiteral("软件设置"), this))
    , m_quit(new QAction(QStringLiteral("退出程序"), this))
{
    m_menu->addAction(m_show);
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
