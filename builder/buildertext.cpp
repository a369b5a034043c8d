#include "builder/buildertext.h"

namespace builder {

namespace {

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

QString delayLine(const QString &milliseconds)
{
    return QStringLiteral("延时->") + milliseconds + QLatin1Char('\n');
}

QString keyboardLine(const QString &keys)
{
    return QStringLiteral("键盘->") + keys + QLatin1Char('\n');
}

QString mouseOffsetLine(const QString &x, const QString &y)
{
    return QStringLiteral("鼠标->") + x + QLatin1Char('*') + y + QLatin1Char('\n');
}

QString executeTimeLine(int hour, int minute)
{
    return QStringLiteral("时间->%1:%2\n")
        .arg(hour, 2, 10, QLatin1Char('0'))
        .arg(minute, 2, 10, QLatin1Char('0'));
}

QString recognitionLine(const QString &bitmapPath)
{
    return QStringLiteral("识别->") + bitmapPath + QLatin1Char('\n');
}

QString openTargetText(const QString &target, bool isExistingFile)
{
    if (isExistingFile)
        return QStringLiteral("打开->") + target + QLatin1Char('\n')
            + delayLine(QStringLiteral("2000"));
    QString address = target;
    if (!address.startsWith(QLatin1String("http:")) && !address.startsWith(QLatin1String("https:"))
        && !address.startsWith(QLatin1String("ftp:")))
        address.prepend(QLatin1String("http://"));
    return QStringLiteral("打开->") + address + QLatin1Char('\n')
        + delayLine(QStringLiteral("3000"));
}

QString adslConnectText(const QString &name, const QString &user, const QString &password)
{
    return QStringLiteral("cmd->Rasdial ") + quoted(name) + QLatin1Char(' ') + quoted(user)
        + QLatin1Char(' ') + quoted(password) + QLatin1Char('\n')
        + delayLine(QStringLiteral("2000"));
}

QString adslDisconnectText(const QString &name)
{
    return QStringLiteral("cmd->Rasdial ") + quoted(name) + QStringLiteral(" /DISCONNECT\n")
        + delayLine(QStringLiteral("100"));
}

QString localLoopTemplate()
{
    return QStringLiteral(
        "循环N->n //请将n修改为循环次数\n{\n\n循环N->n //请将n修改为循环次数\n}\n");
}

QString copyIfElseTemplate()
{
    return QStringLiteral("已复制-> //填写内容用于判断\n{\n\n}\nelse\n{\n\n}\n");
}

QString compareTemplate()
{
    // The interpreter's comparison command is 对比; a template starting with another word
    // would only give an unknown-command error until the user renamed it.
    return QStringLiteral("对比->(串n==[串n]) //请将n修改为需要的串标识\n{\n\n}\nelse\n{\n\n}\n");
}

QString loopRecognitionTemplate()
{
    return QStringLiteral("识别-> //请添加图片路径\n{\n\n识别-> //请添加图片路径\n}\n");
}

QString recognitionIfElseTemplate()
{
    return QStringLiteral("识别-> //请添加图片路径\n{\n    //如果识别不到，就执行这部分代码\n\n}\n"
                          "else\n{\n    //如果识别到图片，就执行这部分代码\n\n}\n");
}

} // namespace builder
