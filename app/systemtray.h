#pragma once

#include <QSystemTrayIcon>

class QAction;
class QMenu;

// The notification-area icon with its menu: the window, the update check, quitting.
class SystemTray : public QSystemTrayIcon
{
    Q_OBJECT

public:
    explicit SystemTray(QObject *parent = nullptr);
    ~SystemTray() override;

    QAction *showAction() const { return m_show; }
    QAction *updateAction() const { return m_update; }
    QAction *quitAction() const { return m_quit; }

signals:
    void showWidget();

public slots:
    void UiQuit();
    void ShowUi();

private:
    QMenu *m_menu;
    QAction *m_show;
    QAction *m_update;
    QAction *m_quit;
};

// The idle icon and the four frames of the running animation.
QString idleTrayIconPath();
QString runningTrayIconPath(int stepNumber);
// The idle icon with a red dot: a recording goes on.
QIcon recordingTrayIcon();
