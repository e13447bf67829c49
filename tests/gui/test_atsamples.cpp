// The AT samples window: its edits and start values, the LED and motor
// commands, "all same" and "send on change", and "Stop All", on the wire of a
// stand-in drone on 127.0.0.2:5556.
#include "connected_windows.h"

#include "kit/widgets.h"

#include "kestrix/link/at_channel.h"

#include <QLabel>
#include <QtTest>

using namespace kestrix;
using namespace kestrix::gui;
using namespace kestrix::gui::test;

class TestAtSamples : public ConnectedWindowsTest {
    Q_OBJECT

private:
    QString atEdit() const { return w->main->SCFrameEdit3->text(); }

    // Waits for `n` AT datagrams, then a little longer to see no more come.
    std::vector<QByteArray> exactly(std::size_t n)
    {
        // A shortfall shows in the caller's comparison.
        (void)QTest::qWaitFor([&] { return w->at().size() >= n; }, 1000);
        QTest::qWait(40);
        return w->at();
    }

private slots:
    void edits_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("maximum");
        QTest::newRow("animation type") << "SCIntSpinEdit1" << "SCGroupBox1" << "animation type" << "0" << 100.0;
        QTest::newRow("frequency") << "SCFloatSpinEdit1" << "SCGroupBox1" << "frequecy, Hz" << "5" << 100.0;
        QTest::newRow("total time") << "SCIntSpinEdit2" << "SCGroupBox1" << "total time, sec" << "1" << 100.0;
        QTest::newRow("motor 1") << "SCIntSpinEdit3" << "SCGroupBox2" << "motor 1" << "0" << 255.0;
        QTest::newRow("motor 2") << "SCIntSpinEdit4" << "SCGroupBox2" << "motor 2" << "0" << 255.0;
        QTest::newRow("motor 3") << "SCIntSpinEdit5" << "SCGroupBox2" << "motor 3" << "0" << 255.0;
        QTest::newRow("motor 4") << "SCIntSpinEdit6" << "SCGroupBox2" << "motor 4" << "0" << 255.0;
    }

    // Start values, ranges, labels; the arrow keys step by 1 within the range.
    void edits()
    {
        QFETCH(QString, name);
        QFETCH(QString, group);
        QFETCH(QString, label);
        QFETCH(QString, text);
        QFETCH(double, maximum);
        auto* e = s->findChild<QLineEdit*>(name);
        QVERIFY(e);
        QCOMPARE(e->parentWidget()->objectName(), group);
        QCOMPARE(e->text(), text);
        QCOMPARE(e->accessibleName(), label);
        bool labelled = false;
        for (QLabel* l : e->parentWidget()->findChildren<QLabel*>()) {
            labelled = labelled || (l->buddy() == e && l->text() == label);
        }
        QVERIFY(labelled);
        QVERIFY(e->parentWidget()->rect().contains(e->geometry()));

        QTest::keyClick(e, Qt::Key_Up);
        QCOMPARE(e->text(), QString::number(text.toInt() + 1));
        e->setText(QString::number(maximum));
        QTest::keyClick(e, Qt::Key_Up);
        QCOMPARE(e->text(), QString::number(maximum));
        e->setText(QStringLiteral("0"));
        QTest::keyClick(e, Qt::Key_Down);
        QCOMPARE(e->text(), QStringLiteral("0"));
        e->setText(QStringLiteral("1000"));
        if (auto* i = qobject_cast<TSCIntSpinEdit*>(e)) {
            QCOMPARE(i->value(), qint64(maximum));
        } else {
            QCOMPARE(qobject_cast<TSCFloatSpinEdit*>(e)->value(), maximum);
        }
        QVERIFY(w->at().empty()); // "send on change" is off
    }

    void windowAndButtons()
    {
        QCOMPARE(s->objectName(), QStringLiteral("Form7"));
        QCOMPARE(s->windowTitle(), QStringLiteral("AT samples"));
        QCOMPARE(s->size(), QSize(167, 346));
        QCOMPARE(s->minimumSize(), s->maximumSize());
        QCOMPARE(s->pos(), QPoint(355, 56));
        QVERIFY(s->windowFlags().testFlag(Qt::Tool));
        QVERIFY(s->windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!s->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!s->isVisible());
        QCOMPARE(s->SCGroupBox1->geometry(), QRect(0, 0, 167, 105));
        QCOMPARE(s->SCGroupBox2->geometry(), QRect(0, 105, 167, 184));
        QCOMPARE(s->SCGroupBox3->geometry(), QRect(0, 289, 167, 56));
        const std::tuple<TSCGroupBox*, const char*> groups[] = {
            {s->SCGroupBox1, "LED"}, {s->SCGroupBox2, "Motors"}, {s->SCGroupBox3, "Emergency"}};
        for (auto [g, title] : groups) {
            QCOMPARE(g->title(), QString::fromLatin1(title));
            QCOMPARE(g->accessibleName(), QString::fromLatin1(title));
        }
        const std::tuple<TSCButton*, QWidget*, const char*> buttons[] = {
            {s->SCButton4, s->SCGroupBox1, "Copy"}, {s->SCButton1, s->SCGroupBox1, "Send"},
            {s->SCButton5, s->SCGroupBox2, "Copy"}, {s->SCButton2, s->SCGroupBox2, "Send"},
            {s->SCButton3, s->SCGroupBox3, "Stop All"}};
        for (auto [b, g, caption] : buttons) {
            QCOMPARE(b->parentWidget(), g);
            QCOMPARE(b->caption(), QString::fromLatin1(caption));
            QCOMPARE(b->accessibleName(), QString::fromLatin1(caption));
            QVERIFY(g->rect().contains(b->geometry()));
        }
        QCOMPARE(s->SCButton3->color(), QColor(0xFF, 0x91, 0x91));
        QCOMPARE(s->SCCheckbox1->text(), QStringLiteral("all same"));
        QCOMPARE(s->SCCheckbox1->accessibleName(), QStringLiteral("all same"));
        QCOMPARE(s->SCCheckbox2->accessibleName(), QStringLiteral("send on change"));
        QCOMPARE(s->Label8->text(), QStringLiteral("send on change"));
        QCOMPARE(s->Label8->buddy(), s->SCCheckbox2);
        QVERIFY(!s->SCCheckbox1->isChecked());
        QVERIFY(!s->SCCheckbox2->isChecked());
    }

    // LED "Copy" fills the main window's AT command edit; "Send" copies and
    // sends it with its fixed 1, advancing the sequence without resetting it.
    void led_data()
    {
        QTest::addColumn<QString>("frequency");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("start values") << "5" << QByteArray("AT*LED=1,0,1084227584,1");
        QTest::newRow("0 Hz") << "0" << QByteArray("AT*LED=1,0,0,1");
        QTest::newRow("0.1 Hz") << "0.1" << QByteArray("AT*LED=1,0,1036831949,1");
        QTest::newRow("empty reads as 0") << "" << QByteArray("AT*LED=1,0,0,1");
    }

    void led()
    {
        QFETCH(QString, frequency);
        QFETCH(QByteArray, expected);
        s->SCFloatSpinEdit1->setText(frequency);
        QTest::mouseClick(s->SCButton4, Qt::LeftButton);
        QCOMPARE(atEdit().toLatin1(), expected);
        QTest::qWait(30);
        QVERIFY(w->at().empty());

        w->main->SCFrameEdit3->clear();
        AtSequence().set(7);
        QTest::mouseClick(s->SCButton1, Qt::LeftButton);
        QCOMPARE(atEdit().toLatin1(), expected);
        QCOMPARE(AtSequence().value(), 8);
        const auto got = exactly(1);
        QCOMPARE(got.size(), std::size_t(1));
        QCOMPARE(got[0], expected + '\r');
    }

    // Motors "Send" resets the sequence to 1 before its send: the next "#"
    // command from anywhere carries 3.
    void motorsSend()
    {
        const std::pair<TSCIntSpinEdit*, int> values[] = {
            {s->SCIntSpinEdit3, 10}, {s->SCIntSpinEdit4, 20}, {s->SCIntSpinEdit5, 30}, {s->SCIntSpinEdit6, 40}};
        for (auto [e, v] : values) {
            e->clear();
            QTest::keyClicks(e, QString::number(v));
        }
        QVERIFY(w->at().empty());
        QTest::mouseClick(s->SCButton5, Qt::LeftButton);
        QCOMPARE(atEdit(), QStringLiteral("AT*PWM=1,10,20,30,40"));
        AtSequence().set(40);
        QTest::mouseClick(s->SCButton2, Qt::LeftButton);
        QCOMPARE(AtSequence().value(), 2);
        QTest::mouseClick(w->joystick->SCButton1, Qt::LeftButton); // "trim"
        const auto got = exactly(2);
        QCOMPARE(got.size(), std::size_t(2));
        QCOMPARE(got[0], QByteArray("AT*PWM=1,10,20,30,40\r"));
        QCOMPARE(got[1], QByteArray("AT*FTRIM=3\r"));
    }

    // "all same": the changed motor's value goes to the other three, each of
    // which runs its own change at once. With "send on change" each of the four
    // handlers sends, the innermost first. The log shows a send and, after
    // it, the motor whose handler has just ended.
    void allSame_data()
    {
        QTest::addColumn<int>("motor");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("motor 1") << 1 << QStringList{"send", "m4", "send", "m3", "send", "m2", "send", "m1"};
        QTest::newRow("motor 2") << 2 << QStringList{"send", "m4", "send", "m3", "send", "m1", "send", "m2"};
        QTest::newRow("motor 3") << 3 << QStringList{"send", "m4", "send", "m2", "send", "m1", "send", "m3"};
        QTest::newRow("motor 4") << 4 << QStringList{"send", "m3", "send", "m1", "send", "m2", "send", "m4"};
    }

    void allSame()
    {
        QFETCH(int, motor);
        QFETCH(QStringList, log);
        TSCIntSpinEdit* const m[] = {s->SCIntSpinEdit3, s->SCIntSpinEdit4, s->SCIntSpinEdit5, s->SCIntSpinEdit6};

        // "all same" alone sets the others and sends nothing.
        s->SCCheckbox1->setChecked(true);
        m[motor - 1]->setValue(50);
        for (auto* e : m) {
            QCOMPARE(e->value(), qint64(50));
        }
        m[motor - 1]->setValue(0);
        QTest::qWait(30);
        QVERIFY(w->at().empty());

        QStringList seen;
        connect(w->main->IdUDPServer2, &link::AtChannel::sent, this, [&seen] { seen << QStringLiteral("send"); });
        for (int i = 0; i < 4; ++i) {
            connect(m[i], &TSCIntSpinEdit::valueChanged, this, [&seen, i] { seen << QStringLiteral("m%1").arg(i + 1); });
        }
        s->SCCheckbox2->setChecked(true);
        m[motor - 1]->setValue(100);
        QCOMPARE(seen, log);
        for (auto* e : m) {
            QCOMPARE(e->value(), qint64(100));
        }
        QCOMPARE(AtSequence().value(), 2);
        const auto got = exactly(4);
        QCOMPARE(got, std::vector<QByteArray>(4, QByteArray("AT*PWM=1,100,100,100,100\r")));
        for (auto* e : m) {
            disconnect(e, nullptr, this, nullptr);
        }
        disconnect(w->main->IdUDPServer2, nullptr, this, nullptr);
    }

    // "Stop All": the sequence to 1, the motors to 0 one by one (each change
    // sending when "send on change" is ticked), then the stop commands.
    void stopAll_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("sendOnChange");
        QTest::addColumn<QList<QByteArray>>("expected");
        QTest::addColumn<int>("sequenceAfter");
        QTest::newRow("from 100, send on change")
            << 100 << true
            << QList<QByteArray>{"AT*PWM=1,0,100,100,100\r", "AT*PWM=1,0,0,100,100\r", "AT*PWM=1,0,0,0,100\r",
                                 "AT*PWM=1,0,0,0,0\r", "AT*PWM=1,0,0,0,0\r", "AT*REF=1,290717952\r"}
            << 4;
        QTest::newRow("already 0")
            << 0 << true << QList<QByteArray>{"AT*PWM=1,0,0,0,0\r", "AT*REF=1,290717952\r"} << 3;
        QTest::newRow("from 100, no send on change")
            << 100 << false << QList<QByteArray>{"AT*PWM=1,0,0,0,0\r", "AT*REF=1,290717952\r"} << 3;
    }

    void stopAll()
    {
        QFETCH(int, start);
        QFETCH(bool, sendOnChange);
        QFETCH(QList<QByteArray>, expected);
        QFETCH(int, sequenceAfter);
        for (auto* e : {s->SCIntSpinEdit3, s->SCIntSpinEdit4, s->SCIntSpinEdit5, s->SCIntSpinEdit6}) {
            e->setValue(start);
        }
        s->SCCheckbox2->setChecked(sendOnChange);
        AtSequence().set(33);
        QTest::mouseClick(s->SCButton3, Qt::LeftButton);
        QCOMPARE(AtSequence().value(), sequenceAfter);
        QCOMPARE(atEdit(), QStringLiteral("AT*REF=1,290717952"));
        for (auto* e : {s->SCIntSpinEdit3, s->SCIntSpinEdit4, s->SCIntSpinEdit5, s->SCIntSpinEdit6}) {
            QCOMPARE(e->value(), qint64(0));
        }
        const auto got = exactly(std::size_t(expected.size()));
        QCOMPARE(got, std::vector<QByteArray>(expected.begin(), expected.end()));
    }

    // "Copy" then the main window's "Send": the copied text goes behind the
    // identifiers prefix.
    void copyThenMainSend()
    {
        QTest::mouseClick(s->SCButton5, Qt::LeftButton);
        AtSequence().set(1);
        QTest::mouseClick(w->main->SCButton3, Qt::LeftButton);
        const auto got = exactly(1);
        QCOMPARE(got.size(), std::size_t(1));
        QCOMPARE(got[0], QByteArray("AT*CONFIG_IDS=2,\"a0000aa1\",\"a0000aa3\",\"a0000aa2\"\rAT*PWM=1,0,0,0,0\r"));
    }
};

KESTRIX_GUI_TEST_MAIN(TestAtSamples)
#include "test_atsamples.moc"
