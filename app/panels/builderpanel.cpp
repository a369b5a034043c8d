// The instruction builder: read the fields, compose the line, insert it at the editor's cursor.
#include "app/panels/builderpanel.h"

#include "app/dialogs.h"
#include "builder/buildertext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>

namespace {

QSpinBox *spinBoxOf(const QObject *panel, const char *name)
{
    return panels::child<QSpinBox>(panel, name);
}

QComboBox *recordDelaysOf(const QObject *panel)
{
    return panels::child<QComboBox>(panel, "cmbBox_RecordDelays");
}

// The pause choices in the order of the combo box's entries.
constexpr recording::Options::Delays kRecordDelays[] = {recording::Options::Delays::AsRecorded,
    recording::Options::Delays::Rounded, recording::Options::Delays::Fixed};
constexpr int kRecordDelayChoices = int(sizeof(kRecordDelays) / sizeof(kRecordDelays[0]));

} // namespace

BuilderPanel::BuilderPanel(QWidget *parent)
    : QWidget(parent)
{
}

void BuilderPanel::attach(Host &host)
{
    m_host = &host;
    QMetaObject::connectSlotsByName(this);
    // Enter in these fields presses their buttons.
    for (const char *name : {"Keyboard", "InputText", "OpenUrl"}) {
        auto *field = panels::child<QLineEdit>(this, (QByteArray("lEdt_") + name).constData());
        auto *button = panels::child<QPushButton>(this, (QByteArray("pBtn_") + name).constData());
        connect(field, SIGNAL(returnPressed()), button, SIGNAL(clicked()), Qt::UniqueConnection);
    }
}

void BuilderPanel::restoreSettings()
{
    const auto fillField = [this](const char *name, const char *key) {
        const QByteArray value = m_host->setting(key);
        if (!value.isEmpty())
            panels::child<QLineEdit>(this, name)->setText(QString::fromLocal8Bit(value));
    };
    fillField("lEdt_ConnectAdslName", "connectAdslName");
    fillField("lEdt_ConnectAdslUser", "connectAdslUser");
    fillField("lEdt_ConnectAdslPassword", "connectAdslPassword");
    fillField("lEdt_DisconnectAdslName", "disconnectAdslName");

    panels::child<QCheckBox>(this, "cBox_AutoAddMSleep")
        ->setChecked(!m_host->setting("AutoAddMSleep").startsWith('n'));
    const QByteArray msec = m_host->setting("MsecSleep");
    if (!msec.isEmpty()) {
        QSpinBox *delay = spinBoxOf(this, "sBox_MsecSleep");
        const QSignalBlocker quiet(delay); // the stored value needs no rewrite
        delay->setValue(leadingNumber(msec));
    }

    panels::child<QCheckBox>(this, "cBox_RecordHideWindow")
        ->setChecked(m_host->setting("RecordHideWindow").startsWith('y'));
    // Only a choice the box has; anything else keeps the first.
    const int delays = leadingNumber(m_host->setting("RecordDelays"));
    if (delays >= 0 && delays < kRecordDelayChoices)
        recordDelaysOf(this)->setCurrentIndex(delays);
}

bool BuilderPanel::hidesWindowWhileRecording() const
{
    return panels::child<QCheckBox>(this, "cBox_RecordHideWindow")->isChecked();
}

recording::Options BuilderPanel::recordingOptions() const
{
    recording::Options options;
    const int choice = recordDelaysOf(this)->currentIndex();
    options.delays = kRecordDelays[qBound(0, choice, kRecordDelayChoices - 1)];
    options.fixedDelayMs = spinBoxOf(this, "sBox_MsecSleep")->value();
    return options;
}

void BuilderPanel::showRecording(bool recording)
{
    panels::child<QPushButton>(this, "pBtn_Record")
        ->setText(recording ? QStringLiteral("停止录制") : QStringLiteral("录制"));
}

bool BuilderPanel::addsDelays() const
{
    return panels::child<QCheckBox>(this, "cBox_AutoAddMSleep")->isChecked();
}

QString BuilderPanel::delayMsec() const
{
    return spinBoxOf(this, "sBox_MsecSleep")->text();
}

QString BuilderPanel::fieldText(const char *name) const
{
    return panels::child<QLineEdit>(this, name)->text();
}

void BuilderPanel::insert(const QString &text, bool autoDelay)
{
    if (!text.isEmpty())
        m_host->insertIntoScript(text);
    if (autoDelay && addsDelays())
        m_host->insertIntoScript(builder::delayLine(delayMsec()));
}

void BuilderPanel::insertKeyboardLine(const QString &keys)
{
    insert(builder::keyboardLine(keys), true);
}

// Mouse

void BuilderPanel::on_pBtn_MouseLeftDoubleClick_clicked()
{
    insert(QStringLiteral("鼠标->左键双击\n") + builder::delayLine(QStringLiteral("100")));
}

void BuilderPanel::on_pBtn_MouseLeftClick_clicked()
{
    insert(QStringLiteral("鼠标->左键单击\n"));
}

void BuilderPanel::on_pBtn_MouseLeftDown_clicked()
{
    insert(QStringLiteral("鼠标->左键按下\n"), true);
}

void BuilderPanel::on_pBtn_MouseLeftUp_clicked()
{
    insert(QStringLiteral("鼠标->左键提起\n"), true);
}

void BuilderPanel::on_pBtn_MouseRightClick_clicked()
{
    insert(QStringLiteral("鼠标->右键单击\n"), true);
}

void BuilderPanel::on_pBtn_ImageRecognition_clicked()
{
    const QString path = dialogs::openFileName(
        nullptr, QStringLiteral("选择文件"), QStringLiteral("."), QStringLiteral("*.bmp"));
    // The delay line follows also a cancelled choice.
    insert(path.isEmpty() ? QString() : builder::recognitionLine(path), true);
}

void BuilderPanel::on_pBtn_MouseOffset_clicked()
{
    insert(builder::mouseOffsetLine(spinBoxOf(this, "sBox_MouseOffsetX")->text(),
               spinBoxOf(this, "sBox_MouseOffsetY")->text()),
        true);
}

// Keyboard

void BuilderPanel::on_pBtn_DisplayDesktop_clicked()
{
    insertKeyboardLine(QStringLiteral("LWin+D"));
}

void BuilderPanel::on_pBtn_CloseWindow_clicked()
{
    insertKeyboardLine(QStringLiteral("Alt+F4"));
}

void BuilderPanel::on_pBtn_MinimizeWindow_clicked()
{
    insertKeyboardLine(QStringLiteral("Alt+Space+N"));
}

void BuilderPanel::on_pBtn_MaximizeWindow_clicked()
{
    insertKeyboardLine(QStringLiteral("Alt+Space+X"));
}

void BuilderPanel::on_pBtn_Keyboard_clicked()
{
    insertKeyboardLine(fieldText("lEdt_Keyboard"));
}

void BuilderPanel::on_pBtn_CtrlC_clicked()
{
    insertKeyboardLine(QStringLiteral("Ctrl+C"));
}

void BuilderPanel::on_pBtn_CtrlX_clicked()
{
    insertKeyboardLine(QStringLiteral("Ctrl+X"));
}

void BuilderPanel::on_pBtn_CtrlV_clicked()
{
    insertKeyboardLine(QStringLiteral("Ctrl+V"));
}

void BuilderPanel::on_pBtn_CtrlS_clicked()
{
    insert(builder::keyboardLine(QStringLiteral("Ctrl+S"))
        + builder::delayLine(QStringLiteral("100")));
}

void BuilderPanel::on_pBtn_CtrlF_clicked()
{
    insertKeyboardLine(QStringLiteral("Ctrl+F"));
}

void BuilderPanel::on_pBtn_CtrlA_clicked()
{
    insertKeyboardLine(QStringLiteral("Ctrl+A"));
}

void BuilderPanel::on_pBtn_AltTab_clicked()
{
    insertKeyboardLine(QStringLiteral("Ctrl+Tab"));
}

void BuilderPanel::on_pBtn_CtrlP_clicked()
{
    insertKeyboardLine(QStringLiteral("Ctrl+P"));
}

void BuilderPanel::on_pBtn_NextStep_clicked()
{
    insertKeyboardLine(QStringLiteral("Alt+N"));
}

void BuilderPanel::on_pBtn_KeyDown_clicked()
{
    insertKeyboardLine(QStringLiteral("DOWN"));
}

void BuilderPanel::on_pBtn_KeyUp_clicked()
{
    insertKeyboardLine(QStringLiteral("UP"));
}

void BuilderPanel::on_pBtn_KeyLeft_clicked()
{
    insertKeyboardLine(QStringLiteral("LEFT"));
}

void BuilderPanel::on_pBtn_KeyRight_clicked()
{
    insertKeyboardLine(QStringLiteral("RIGHT"));
}

void BuilderPanel::on_pBtn_KeyF5_clicked()
{
    insertKeyboardLine(QStringLiteral("F5"));
}

void BuilderPanel::on_pBtn_KeyEnter_clicked()
{
    insertKeyboardLine(QStringLiteral("Enter"));
}

void BuilderPanel::on_pBtn_KeyBackspace_clicked()
{
    insertKeyboardLine(QStringLiteral("Backspace"));
}

void BuilderPanel::on_pBtn_KeyDel_clicked()
{
    insertKeyboardLine(QStringLiteral("Delete"));
}

void BuilderPanel::on_pBtn_KeyF2_clicked()
{
    insertKeyboardLine(QStringLiteral("F2"));
}

// Delays and time

void BuilderPanel::on_pBtn_MsecSleep_clicked()
{
    insert(builder::delayLine(spinBoxOf(this, "sBox_MsecSleep")->text()));
}

void BuilderPanel::on_pBtn_ExecuteTime_clicked()
{
    insert(builder::executeTimeLine(
        spinBoxOf(this, "sBox_ExecuteHour")->value(), spinBoxOf(this, "sBox_ExecuteSec")->value()));
}

void BuilderPanel::on_cBox_AutoAddMSleep_clicked()
{
    m_host->writeSetting("AutoAddMSleep", panels::yesNo(addsDelays()));
}

void BuilderPanel::on_sBox_MsecSleep_valueChanged(int)
{
    m_host->writeSetting("MsecSleep", delayMsec());
}

// Recording

void BuilderPanel::on_pBtn_Record_clicked()
{
    m_host->toggleRecording();
}

void BuilderPanel::on_cBox_RecordHideWindow_clicked()
{
    m_host->writeSetting("RecordHideWindow", panels::yesNo(hidesWindowWhileRecording()));
}

// activated, not currentIndexChanged: only the user's choice is written, never a restore.
void BuilderPanel::on_cmbBox_RecordDelays_activated(int index)
{
    m_host->writeSetting("RecordDelays", QString::number(index));
}

// Text, addresses, files

void BuilderPanel::on_pBtn_InputText_clicked()
{
    insert(QStringLiteral("粘贴->") + fieldText("lEdt_InputText") + QLatin1Char('\n'), true);
}

void BuilderPanel::on_pBtn_OpenUrl_clicked()
{
    const QString target = fieldText("lEdt_OpenUrl");
    insert(builder::openTargetText(target, QFileInfo(target).isFile()));
}

// Other instructions

void BuilderPanel::on_pBtn_LocalLoop_clicked()
{
    insert(builder::localLoopTemplate());
}

void BuilderPanel::on_pBtn_CopyIfElse_clicked()
{
    insert(builder::copyIfElseTemplate());
}

void BuilderPanel::on_pBtn_ChuanCompare_clicked()
{
    insert(builder::compareTemplate());
}

void BuilderPanel::on_pBtn_LoopRecognition_clicked()
{
    insert(builder::loopRecognitionTemplate());
}

void BuilderPanel::on_pBtn_RecognitionIfElse_clicked()
{
    insert(builder::recognitionIfElseTemplate());
}

void BuilderPanel::on_pBtn_Shutdown_clicked()
{
    insert(QStringLiteral("关机->/f /s /t 1\n"));
}

void BuilderPanel::on_pBtn_KillProcess_clicked()
{
    insert(QStringLiteral("进程->") + fieldText("lEdt_KillProcess") + QLatin1Char('\n'));
}

void BuilderPanel::on_pBtn_AdslConnect_clicked()
{
    const QString name = fieldText("lEdt_ConnectAdslName");
    const QString user = fieldText("lEdt_ConnectAdslUser");
    const QString password = fieldText("lEdt_ConnectAdslPassword");
    insert(builder::adslConnectText(name, user, password));
    m_host->writeSetting("connectAdslName", name);
    m_host->writeSetting("connectAdslUser", user);
    m_host->writeSetting("connectAdslPassword", password);
}

void BuilderPanel::on_pBtn_AdslDisconnect_clicked()
{
    const QString name = fieldText("lEdt_DisconnectAdslName");
    insert(builder::adslDisconnectText(name));
    m_host->writeSetting("disconnectAdslName", name);
}
