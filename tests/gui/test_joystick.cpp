// The Joystick window: its buttons, the keys, the press/release/repeat logic
// on the wire, and the ends of a held movement, against a stand-in drone on
// 127.0.0.2:5556.
#include "connected_windows.h"

#include "kit/widgets.h"

#include <QtTest>

using namespace kestrix;
using namespace kestrix::gui;
using namespace kestrix::gui::test;

namespace {

const QColor kGreen(0xCA, 0xFF, 0x95);  // take-off state
const QColor kLightRed(0xFF, 0xAE, 0xAE); // land state
const QColor kViolet(0xC4, 0xB6, 0xFC); // movement held
const QColor kRed(0xFF, 0x00, 0x00);    // "SHUT OFF"

const QByteArray kForward = "AT*PCMD=#,1,0,-1097229926,0,0";
const QByteArray kLeft = "AT*PCMD=#,1,-1097229926,0,0,0";
const QByteArray kRelease = "AT*PCMD=#,0,0,0,0,0";
const QByteArray kTakeOff = "AT*REF=#,290718208";
const QByteArray kLand = "AT*REF=#,290717696";
const QByteArray kEmergency = "AT*REF=#,290717952";

// The colour a button shows: its own, or the style's button face.
bool IsFace(TSCButton* b)
{
    return !b->color().isValid() &&
           b->palette().color(QPalette::Button) == QApplication::palette(b).color(QPalette::Button);
}

void SendKey(QWidget* w, QEvent::Type type, int key, bool autoRepeat,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {})
{
    QKeyEvent e(type, key, modifiers, text, autoRepeat);
    QApplication::sendEvent(w, &e);
}

std::vector<Numbered> Templates(const ConnectedWindows& w)
{
    std::vector<Numbered> out;
    for (const QByteArray& d : w.at()) {
        out.push_back(Unnumber(d));
    }
    return out;
}

int Count(const ConnectedWindows& w, const QByteArray& templ)
{
    int n = 0;
    for (const auto& t : Templates(w)) {
        n += t.templ == templ;
    }
    return n;
}

// Numbers rising by one from the first datagram to the last.
bool Consecutive(const std::vector<Numbered>& got)
{
    for (std::size_t i = 1; i < got.size(); ++i) {
        if (got[i].number != got[i - 1].number + 1) {
            return false;
        }
    }
    return !got.empty() && got.front().number > 0;
}

} // namespace

class TestJoystick : public ConnectedWindowsTest {
    Q_OBJECT

private slots:
    void buttons_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QColor>("color"); // invalid: the button face
        QTest::newRow("Button1") << 1 << "TAKE OFF\r(SHIFT)" << QRect(320, 88, 72, 65) << kGreen;
        QTest::newRow("Button2") << 2 << "UP(I)" << QRect(320, 22, 72, 65) << QColor();
        QTest::newRow("Button3") << 3 << "DN(K)" << QRect(320, 154, 72, 65) << QColor();
        QTest::newRow("Button4") << 4 << "<Y(J)<" << QRect(248, 88, 72, 65) << QColor();
        QTest::newRow("Button5") << 5 << ">Y(L)>" << QRect(392, 88, 72, 65) << QColor();
        QTest::newRow("Button6") << 6 << "FRW(W)" << QRect(80, 22, 72, 65) << QColor();
        QTest::newRow("Button7") << 7 << "REV(S)" << QRect(80, 154, 72, 65) << QColor();
        QTest::newRow("Button8") << 8 << "LFT(A)" << QRect(8, 88, 72, 65) << QColor();
        QTest::newRow("Button9") << 9 << "RGH(D)" << QRect(152, 88, 72, 65) << QColor();
        QTest::newRow("Button10") << 10 << "SHUT OFF\r(ESC)" << QRect(80, 88, 72, 65) << kRed;
    }

    void buttons()
    {
        QFETCH(int, index);
        QFETCH(QString, caption);
        QFETCH(QRect, geometry);
        QFETCH(QColor, color);
        auto* b = j->findChild<TSCButton*>(QStringLiteral("Button%1").arg(index));
        QVERIFY(b);
        QCOMPARE(j->Buttons[std::size_t(index)], b);
        QCOMPARE(b->caption(), caption);
        QCOMPARE(b->text(), QString(caption).replace(QLatin1Char('\r'), QLatin1Char('\n'))); // two lines
        QCOMPARE(b->accessibleName(), QString(caption).replace(QLatin1Char('\r'), QLatin1Char(' ')));
        QCOMPARE(b->geometry(), geometry);
        QVERIFY(b->isEnabled());
        if (color.isValid()) {
            QCOMPARE(b->color(), color);
            QCOMPARE(b->palette().color(QPalette::Button), color);
        } else {
            QVERIFY(IsFace(b));
        }
        // Keys go to the window, never to a button.
        QCOMPARE(b->focusPolicy(), Qt::NoFocus);
    }

    void windowAndTrim()
    {
        QCOMPARE(j->objectName(), QStringLiteral("Form2"));
        QCOMPARE(j->windowTitle(), QStringLiteral("Joystick"));
        QCOMPARE(j->size(), QSize(471, 240));
        QCOMPARE(j->minimumSize(), j->maximumSize());
        QCOMPARE(j->pos(), QPoint(531, 51));
        const Qt::WindowFlags f = j->windowFlags();
        QVERIFY(f.testFlag(Qt::Tool));
        QVERIFY(f.testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(f.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!f.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!f.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!j->isVisible());
        QCOMPARE(j->Timer1->interval(), 30);
        QVERIFY(!j->Timer1->isActive());

        QCOMPARE(j->SCButton1->caption(), QStringLiteral("trim"));
        QCOMPARE(j->SCButton1->accessibleName(), QStringLiteral("trim"));
        QCOMPARE(j->SCButton1->geometry(), QRect(200, 208, 72, 27));
        const int32_t n = AtSequence().value();
        QTest::mouseClick(j->SCButton1, Qt::LeftButton);
        QTest::mouseClick(j->SCButton1, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(w->at().size(), std::size_t(2), 1000);
        QCOMPARE(w->at()[0], QByteArray("AT*FTRIM=" + QByteArray::number(n + 1) + "\r"));
        QCOMPARE(w->at()[1], QByteArray("AT*FTRIM=" + QByteArray::number(n + 2) + "\r"));
        // Pressing "trim" is no joystick button: no repeat, no release.
        QTest::qWait(60);
        QCOMPARE(w->at().size(), std::size_t(2));
    }

    // A tap of each key (pressed and released before the first tick): the
    // movement keys store their command and send only the release; SHIFT and
    // ESC send their command at once and nothing on release.
    void keyTap_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("index");
        QTest::addColumn<QByteArray>("held");
        QTest::addColumn<QByteArray>("atOnce");
        const int none = Qt::NoModifier;
        QTest::newRow("SHIFT") << int(Qt::Key_Shift) << none << "" << 1 << QByteArray() << kTakeOff;
        QTest::newRow("I") << int(Qt::Key_I) << none << "" << 2 << QByteArray("AT*PCMD=#,1,0,0,1056964608,0") << QByteArray();
        QTest::newRow("K") << int(Qt::Key_K) << none << "" << 3 << QByteArray("AT*PCMD=#,1,0,0,-1090519040,0") << QByteArray();
        QTest::newRow("J") << int(Qt::Key_J) << none << "" << 4 << QByteArray("AT*PCMD=#,1,0,0,0,-1097229926") << QByteArray();
        QTest::newRow("L") << int(Qt::Key_L) << none << "" << 5 << QByteArray("AT*PCMD=#,1,0,0,0,1050253722") << QByteArray();
        QTest::newRow("W") << int(Qt::Key_W) << none << "" << 6 << kForward << QByteArray();
        QTest::newRow("S") << int(Qt::Key_S) << none << "" << 7 << QByteArray("AT*PCMD=#,1,0,1050253722,0,0") << QByteArray();
        QTest::newRow("A") << int(Qt::Key_A) << none << "" << 8 << kLeft << QByteArray();
        QTest::newRow("D") << int(Qt::Key_D) << none << "" << 9 << QByteArray("AT*PCMD=#,1,1050253722,0,0,0") << QByteArray();
        QTest::newRow("ESC") << int(Qt::Key_Escape) << none << "" << 10 << QByteArray() << kEmergency;
        QTest::newRow("w lower case") << int(Qt::Key_W) << none << "w" << 6 << kForward << QByteArray();
        QTest::newRow("SHIFT+W") << int(Qt::Key_W) << int(Qt::ShiftModifier) << "" << 6 << kForward << QByteArray();
        QTest::newRow("CTRL+a") << int(Qt::Key_A) << int(Qt::ControlModifier) << "a" << 8 << kLeft << QByteArray();
        QTest::newRow("Q is no key") << int(Qt::Key_Q) << none << "" << 0 << QByteArray() << QByteArray();
    }

    void keyTap()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, text);
        QFETCH(int, index);
        QFETCH(QByteArray, held);
        QFETCH(QByteArray, atOnce);
        HeldCommand = "none";
        // The events themselves: QTest would add a SHIFT press of its own.
        const auto mods = Qt::KeyboardModifiers(modifiers);
        SendKey(j, QEvent::KeyPress, key, false, mods, text);
        if (!held.isEmpty()) {
            QCOMPARE(QByteArray::fromStdString(HeldCommand), held);
            QCOMPARE(j->Buttons[std::size_t(index)]->color(), kViolet);
            QVERIFY(j->Timer1->isActive());
        } else {
            QCOMPARE(HeldCommand, std::string("none"));
            QVERIFY(!j->Timer1->isActive());
        }
        SendKey(j, QEvent::KeyRelease, key, false, mods, text);
        QVERIFY(!j->Timer1->isActive());
        for (int i = 2; i <= 9; ++i) {
            QVERIFY(IsFace(j->Buttons[std::size_t(i)]));
        }

        QByteArray expected = held.isEmpty() ? atOnce : kRelease;
        if (!expected.isEmpty()) {
            QTRY_COMPARE_WITH_TIMEOUT(w->at().size(), std::size_t(1), 1000);
        }
        QTest::qWait(80); // past two ticks: nothing more
        const auto got = Templates(*w);
        QCOMPARE(got.size(), std::size_t(expected.isEmpty() ? 0 : 1));
        if (!expected.isEmpty()) {
            QCOMPARE(got[0].templ, expected);
            QCOMPARE(got[0].number, qint64(AtSequence().value()));
        }
    }

    // W held about 300 ms: nothing at the press, the forward command from the
    // first tick on about every 30 ms with rising numbers, one release at the end.
    void heldMovementRepeats()
    {
        const double pressed = w->drone.nowMs();
        QTest::keyPress(j, Qt::Key_W);
        QTest::qWait(300);
        const double released = w->drone.nowMs();
        QTest::keyRelease(j, Qt::Key_W);
        QTRY_VERIFY_WITH_TIMEOUT(Count(*w, kRelease) == 1, 1000);
        QTest::qWait(90);

        const auto data = w->drone.matching(5556);
        const auto got = Templates(*w);
        QVERIFY2(got.size() >= 6 && got.size() <= 12, qPrintable(QString::number(got.size())));
        for (std::size_t i = 0; i + 1 < got.size(); ++i) {
            QCOMPARE(got[i].templ, kForward);
        }
        QCOMPARE(got.back().templ, kRelease);
        QVERIFY(Consecutive(got));
        QCOMPARE(got.back().number, qint64(AtSequence().value()));

        const double first = data.front().ms - pressed;
        QVERIFY2(first >= 25, qPrintable(QString::number(first)));
        const std::size_t ticks = got.size() - 1;
        const double period = (data[ticks - 1].ms - data.front().ms) / double(ticks - 1);
        QVERIFY2(period >= 25 && period <= 45, qPrintable(QString::number(period)));
        QVERIFY(data.back().ms >= released);
        QVERIFY(IsFace(j->Button6));
        QVERIFY(!j->Timer1->isActive());
    }

    // W held, then A: A's command takes over; releasing A stops the repeat and
    // sends the release although W is still down; releasing W sends it again.
    void secondMovementTakesOver()
    {
        QTest::keyPress(j, Qt::Key_W);
        QTRY_VERIFY_WITH_TIMEOUT(Count(*w, kForward) >= 2, 1000);
        QTest::keyPress(j, Qt::Key_A);
        QCOMPARE(QByteArray::fromStdString(HeldCommand), kLeft);
        QCOMPARE(j->Button6->color(), kViolet);
        QCOMPARE(j->Button8->color(), kViolet);
        QTRY_VERIFY_WITH_TIMEOUT(Count(*w, kLeft) >= 2, 1000);

        QTest::keyRelease(j, Qt::Key_A);
        QVERIFY(!j->Timer1->isActive());
        QVERIFY(IsFace(j->Button8));
        QCOMPARE(j->Button6->color(), kViolet);
        QTRY_COMPARE_WITH_TIMEOUT(Count(*w, kRelease), 1, 1000);
        QTest::qWait(80);
        auto got = Templates(*w);
        QVERIFY(Consecutive(got));
        // Forward, then left only, then the release, then nothing.
        std::size_t i = 0;
        while (i < got.size() && got[i].templ == kForward) {
            ++i;
        }
        QVERIFY(i >= 2);
        const std::size_t lefts = i;
        while (i < got.size() && got[i].templ == kLeft) {
            ++i;
        }
        QVERIFY(i - lefts >= 2);
        QCOMPARE(i + 1, got.size());
        QCOMPARE(got.back().templ, kRelease);

        QTest::keyRelease(j, Qt::Key_W);
        QTRY_COMPARE_WITH_TIMEOUT(Count(*w, kRelease), 2, 1000);
        QVERIFY(IsFace(j->Button6));
        QTest::qWait(80);
        QCOMPARE(Templates(*w).size(), got.size() + 1);
    }

    // SHIFT or ESC during a held movement: its command goes out at once, the
    // movement keeps repeating; its release stops the repeat without a
    // release command.
    void refDuringMovement_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QColor>("button1");
        QTest::newRow("SHIFT") << int(Qt::Key_Shift) << kTakeOff << kLightRed;
        QTest::newRow("ESC") << int(Qt::Key_Escape) << kEmergency << kGreen;
    }

    void refDuringMovement()
    {
        QFETCH(int, key);
        QFETCH(QByteArray, command);
        QFETCH(QColor, button1);
        QTest::keyPress(j, Qt::Key_W);
        QTRY_VERIFY_WITH_TIMEOUT(Count(*w, kForward) >= 2, 1000);
        QTest::keyPress(j, Qt::Key(key));
        QCOMPARE(j->Button1->color(), button1);
        QVERIFY(j->Timer1->isActive());
        QTRY_COMPARE_WITH_TIMEOUT(Count(*w, command), 1, 1000);
        const int before = Count(*w, kForward);
        QTRY_VERIFY_WITH_TIMEOUT(Count(*w, kForward) >= before + 2, 1000);

        QTest::keyRelease(j, Qt::Key(key));
        QVERIFY(!j->Timer1->isActive());
        QCOMPARE(j->Button6->color(), kViolet);
        QTest::qWait(80);
        const auto got = Templates(*w);
        QVERIFY(Consecutive(got));
        QCOMPARE(Count(*w, kRelease), 0);
        QCOMPARE(Count(*w, command) + Count(*w, kForward), int(got.size()));

        QTest::keyRelease(j, Qt::Key_W);
        QTRY_COMPARE_WITH_TIMEOUT(Count(*w, kRelease), 1, 1000);
    }

    // SHIFT toggles take-off and land; ESC in the land state sends the
    // emergency and turns the button back to take-off.
    void takeOffLandAndEmergency()
    {
        QTest::keyClick(j, Qt::Key_Shift);
        QCOMPARE(j->Button1->color(), kLightRed);
        QCOMPARE(j->Button1->caption(), QStringLiteral("LAND\r(SHIFT)"));
        QTest::keyClick(j, Qt::Key_Shift);
        QCOMPARE(j->Button1->color(), kGreen);
        QCOMPARE(j->Button1->caption(), QStringLiteral("TAKE OFF\r(SHIFT)"));
        QTest::keyClick(j, Qt::Key_Shift);
        QCOMPARE(j->Button1->color(), kLightRed);

        QTest::keyPress(j, Qt::Key_Escape);
        QCOMPARE(j->Button1->color(), kGreen);
        QCOMPARE(j->Button1->caption(), QStringLiteral("TAKE OFF\r(SHIFT)"));
        QCOMPARE(j->Button1->accessibleName(), QStringLiteral("TAKE OFF (SHIFT)"));
        QCOMPARE(j->Button10->color(), kRed);
        QTest::keyRelease(j, Qt::Key_Escape);
        QTest::keyClick(j, Qt::Key_Shift);

        QTRY_COMPARE_WITH_TIMEOUT(w->at().size(), std::size_t(5), 1000);
        QTest::qWait(60);
        const auto got = Templates(*w);
        QCOMPARE(got.size(), std::size_t(5));
        const QByteArray expected[] = {kTakeOff, kLand, kTakeOff, kEmergency, kTakeOff};
        for (std::size_t i = 0; i < 5; ++i) {
            QCOMPARE(got[i].templ, expected[i]);
        }
        QVERIFY(Consecutive(got));
        QVERIFY(!j->Timer1->isActive());
    }

    // A held key repeats as release+press pairs marked auto-repeat. SHIFT and
    // ESC act once per real press; a held movement goes on without a release.
    void autoRepeat()
    {
        SendKey(j, QEvent::KeyPress, Qt::Key_Shift, false);
        SendKey(j, QEvent::KeyPress, Qt::Key_Escape, false);
        for (int i = 0; i < 3; ++i) {
            for (int key : {Qt::Key_Shift, Qt::Key_Escape}) {
                SendKey(j, QEvent::KeyRelease, key, true);
                SendKey(j, QEvent::KeyPress, key, true);
            }
        }
        SendKey(j, QEvent::KeyRelease, Qt::Key_Shift, false);
        SendKey(j, QEvent::KeyRelease, Qt::Key_Escape, false);
        QCOMPARE(j->Button1->color(), kGreen); // take-off, then the emergency
        QTRY_COMPARE_WITH_TIMEOUT(w->at().size(), std::size_t(2), 1000);

        SendKey(j, QEvent::KeyPress, Qt::Key_W, false);
        for (int i = 0; i < 6; ++i) {
            QTest::qWait(30);
            SendKey(j, QEvent::KeyRelease, Qt::Key_W, true);
            QVERIFY(j->Timer1->isActive());
            SendKey(j, QEvent::KeyPress, Qt::Key_W, true);
            QCOMPARE(j->Button6->color(), kViolet);
        }
        QVERIFY(Count(*w, kForward) >= 3);
        QCOMPARE(Count(*w, kRelease), 0);
        SendKey(j, QEvent::KeyRelease, Qt::Key_W, false);
        QTRY_COMPARE_WITH_TIMEOUT(Count(*w, kRelease), 1, 1000);
        QTest::qWait(60);
        const auto got = Templates(*w);
        QCOMPARE(got[0].templ, kTakeOff);
        QCOMPARE(got[1].templ, kEmergency);
        QCOMPARE(got.back().templ, kRelease);
        QCOMPARE(Count(*w, kTakeOff) + Count(*w, kEmergency) + Count(*w, kForward) + 1, int(got.size()));
        QVERIFY(Consecutive(got));
    }

    // The mouse: a press on a button and a release over another place still
    // reach the pressed button.
    void mouseReleaseElsewhere()
    {
        j->show();
        QVERIFY(QTest::qWaitForWindowExposed(j));
        QTest::mousePress(j->windowHandle(), Qt::LeftButton, {}, j->Button7->geometry().center());
        QCOMPARE(QByteArray::fromStdString(HeldCommand), QByteArray("AT*PCMD=#,1,0,1050253722,0,0"));
        QCOMPARE(j->Button7->color(), kViolet);
        QTRY_VERIFY_WITH_TIMEOUT(w->at().size() >= 2, 1000);
        QTest::mouseRelease(j->windowHandle(), Qt::LeftButton, {}, j->Button1->geometry().center());
        QVERIFY(!j->Timer1->isActive());
        QVERIFY(IsFace(j->Button7));
        QCOMPARE(j->Button1->color(), kGreen); // "TAKE OFF" saw nothing
        QTRY_COMPARE_WITH_TIMEOUT(Count(*w, kRelease), 1, 1000);
        QTest::qWait(60);
        const auto got = Templates(*w);
        QCOMPARE(got.back().templ, kRelease);
        QCOMPARE(Count(*w, "AT*PCMD=#,1,0,1050253722,0,0") + 1, int(got.size()));
    }

    // Whatever takes the release away from the window ends a held movement:
    // the repeat stops, the buttons go idle and one release goes out.
    void heldMovementEnds_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("visibleAfter");
        QTest::addColumn<bool>("boxAfter");
        QTest::newRow("hidden") << "hide" << false << true;
        QTest::newRow("closed by its close button") << "close" << false << false;
        QTest::newRow("flight box unticked") << "untick" << false << false;
        QTest::newRow("deactivated") << "deactivate" << true << true;
    }

    void heldMovementEnds()
    {
        QFETCH(QString, how);
        QFETCH(bool, visibleAfter);
        QFETCH(bool, boxAfter);
        w->main->SCCheckbox1->setChecked(true);
        QVERIFY(QTest::qWaitForWindowExposed(j));
        QTRY_COMPARE_WITH_TIMEOUT(w->at().size(), std::size_t(2), 1000); // the flight settings
        QTest::qWait(30);
        w->drone.clear();
        // Only the deactivation row starts with the Joystick window active;
        // the others must end the movement without a deactivation.
        QWidget other;
        other.setGeometry(20, 400, 100, 100);
        other.show();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        if (how == QLatin1String("deactivate")) {
            j->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(j));
        }
        QTest::qWait(20);
        QCOMPARE(j->isActiveWindow(), how == QLatin1String("deactivate"));

        QTest::keyPress(j, Qt::Key_W);
        QTest::keyPress(j, Qt::Key_A);
        QTRY_VERIFY_WITH_TIMEOUT(Count(*w, kLeft) >= 2, 1000);
        if (how == QLatin1String("hide")) {
            j->hide();
        } else if (how == QLatin1String("close")) {
            j->close();
        } else if (how == QLatin1String("untick")) {
            w->main->SCCheckbox1->setChecked(false);
        } else {
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!j->Timer1->isActive(), 1000);
        for (int i = 2; i <= 9; ++i) {
            QVERIFY(IsFace(j->Buttons[std::size_t(i)]));
            QVERIFY(!j->Buttons[std::size_t(i)]->isDown());
        }
        QTRY_COMPARE_WITH_TIMEOUT(Count(*w, kRelease), 1, 1000);
        QTest::qWait(100);
        const auto got = Templates(*w);
        QCOMPARE(got.back().templ, kRelease);
        QCOMPARE(Count(*w, kRelease), 1);
        QVERIFY(Consecutive(got));
        QCOMPARE(j->isVisible(), visibleAfter);
        QCOMPARE(w->main->SCCheckbox1->isChecked(), boxAfter);
    }
};

KESTRIX_GUI_TEST_MAIN(TestJoystick)
#include "test_joystick.moc"
