// Windows key codes and X keysyms: the one table both ways, and the text of a keysym.
#include "platform/x11/x11keysyms.h"

#include <QtTest>

// After the Qt headers, as in the platform's own files.
#include <X11/XF86keysym.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

class TestX11Keysyms : public QObject
{
    Q_OBJECT

private slots:
    void virtualKeyOfKeysym_data();
    void virtualKeyOfKeysym();
    void sendingIsUnchanged_data();
    void sendingIsUnchanged();
    void everySentKeyIsRecognised();
    void textOfKeysym_data();
    void textOfKeysym();
};

void TestX11Keysyms::virtualKeyOfKeysym_data()
{
    QTest::addColumn<qulonglong>("keysym");
    QTest::addColumn<int>("virtualKey");

    QTest::newRow("small letter") << qulonglong(XK_a) << int('A');
    QTest::newRow("capital letter") << qulonglong(XK_Z) << int('Z');
    QTest::newRow("digit row") << qulonglong(XK_7) << int('7');
    QTest::newRow("keypad digit") << qulonglong(XK_KP_5) << 101;
    QTest::newRow("F12") << qulonglong(XK_F12) << 123;
    QTest::newRow("F24") << qulonglong(XK_F24) << 135;
    // The sides of the modifiers, as the user's keys arrive on Windows.
    QTest::newRow("left Shift") << qulonglong(XK_Shift_L) << 160;
    QTest::newRow("right Control") << qulonglong(XK_Control_R) << 163;
    QTest::newRow("left Alt") << qulonglong(XK_Alt_L) << 164;
    QTest::newRow("AltGr") << qulonglong(XK_ISO_Level3_Shift) << 165;
    QTest::newRow("keypad Enter") << qulonglong(XK_KP_Enter) << 13;
    QTest::newRow("keypad Home (no Num Lock)") << qulonglong(XK_KP_Home) << 36;
    QTest::newRow("punctuation") << qulonglong(XK_bracketleft) << 219;
    QTest::newRow("media key") << qulonglong(XF86XK_AudioPlay) << -1;
    QTest::newRow("letter of another layout") << qulonglong(XK_udiaeresis) << -1;
    QTest::newRow("no symbol") << qulonglong(NoSymbol) << -1;
}

void TestX11Keysyms::virtualKeyOfKeysym()
{
    QFETCH(qulonglong, keysym);
    QFETCH(int, virtualKey);
    QCOMPARE(x11keys::virtualKeyForKeysym(keysym), virtualKey);
}

void TestX11Keysyms::sendingIsUnchanged_data()
{
    QTest::addColumn<int>("virtualKey");
    QTest::addColumn<qulonglong>("keysym");

    QTest::newRow("letter, small") << int('Q') << qulonglong(XK_q);
    QTest::newRow("Shift without side") << 16 << qulonglong(XK_Shift_L);
    QTest::newRow("Enter is the main one") << 13 << qulonglong(XK_Return);
    QTest::newRow("Home is the main one") << 36 << qulonglong(XK_Home);
    QTest::newRow("right Alt") << 165 << qulonglong(XK_Alt_R);
    QTest::newRow("unknown code") << 226 << qulonglong(NoSymbol);
}

void TestX11Keysyms::sendingIsUnchanged()
{
    QFETCH(int, virtualKey);
    QFETCH(qulonglong, keysym);
    QCOMPARE(qulonglong(x11keys::keysymForVirtualKey(virtualKey)), keysym);
}

void TestX11Keysyms::everySentKeyIsRecognised()
{
    // A key the program can send comes back as its code; the modifiers without side come back
    // as the left ones.
    for (int vk = 0; vk < 256; ++vk) {
        const unsigned long sym = x11keys::keysymForVirtualKey(vk);
        if (sym == NoSymbol)
            continue;
        const int expected = vk == 16 ? 160 : vk == 17 ? 162 : vk == 18 ? 164 : vk;
        QCOMPARE(x11keys::virtualKeyForKeysym(sym), expected);
    }
}

void TestX11Keysyms::textOfKeysym_data()
{
    QTest::addColumn<qulonglong>("keysym");
    QTest::addColumn<QString>("text");

    QTest::newRow("letter") << qulonglong(XK_a) << QStringLiteral("a");
    QTest::newRow("shifted digit") << qulonglong(XK_exclam) << QStringLiteral("!");
    QTest::newRow("space") << qulonglong(XK_space) << QStringLiteral(" ");
    QTest::newRow("Latin-1") << qulonglong(XK_udiaeresis) << QStringLiteral("ü");
    QTest::newRow("euro") << qulonglong(XK_EuroSign) << QStringLiteral("€");
    QTest::newRow("Cyrillic") << qulonglong(XK_Cyrillic_a) << QStringLiteral("а");
    QTest::newRow("Unicode keysym") << qulonglong(0x1004e2d) << QStringLiteral("中");
    QTest::newRow("keypad digit") << qulonglong(XK_KP_1) << QStringLiteral("1");
    const KeySym silent[] = {XK_Return, XK_Tab, XK_BackSpace, XK_Escape, XK_Delete, XK_Left, XK_F1,
        XK_KP_Enter, XK_Shift_L, XF86XK_AudioPlay, NoSymbol};
    for (KeySym sym : silent)
        QTest::newRow(XKeysymToString(sym) ? XKeysymToString(sym) : "NoSymbol")
            << qulonglong(sym) << QString();
}

void TestX11Keysyms::textOfKeysym()
{
    QFETCH(qulonglong, keysym);
    QFETCH(QString, text);
    QCOMPARE(x11keys::textOfKeysym(keysym), text);
}

QTEST_MAIN(TestX11Keysyms)
#include "tst_x11keysyms.moc"
