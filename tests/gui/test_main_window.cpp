// The main window: layout, the float converter, the first connection and the
// Send button, against a stand-in drone on 127.0.0.2.
#include "support.h"

#include "control/main.h"
#include "kit/widgets.h"

#include "kestrix/at_commands.h"
#include "kestrix/link/at_channel.h"

#include <QLabel>
#include <QTimer>
#include <QtTest>

#include <limits>
#include <memory>

using namespace kestrix;
using namespace kestrix::gui;
using namespace kestrix::gui::test;

namespace {

QString captionOf(QWidget* w)
{
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        return b->text();
    }
    if (auto* g = qobject_cast<QGroupBox*>(w)) {
        return g->title();
    }
    if (auto* l = qobject_cast<QLabel*>(w)) {
        return l->text();
    }
    if (auto* c = qobject_cast<QComboBox*>(w)) {
        return c->currentText();
    }
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        return e->text();
    }
    return {};
}

QByteArray Bytes(const char* s)
{
    return QByteArray(s);
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TForm1> form;

    static bool LabelsGrey(TForm1* f)
    {
        const QColor text = QApplication::palette().color(QPalette::Active, QPalette::WindowText);
        for (QLabel* l : {f->Label1, f->Label2, f->Label3, f->Label4, f->Label5, f->Label6}) {
            const QColor c = l->palette().color(QPalette::WindowText);
            if (c == text) {
                return false;
            }
            // Visibly grey: a mid grey, far from the normal text colour.
            if (std::abs(c.value() - text.value()) < 80 || c.saturation() > 30) {
                return false;
            }
        }
        return true;
    }
    static bool LabelsNormal(TForm1* f)
    {
        const QColor text = QApplication::palette().color(QPalette::Active, QPalette::WindowText);
        for (QLabel* l : {f->Label1, f->Label2, f->Label3, f->Label4, f->Label5, f->Label6}) {
            if (l->palette().color(QPalette::WindowText) != text) {
                return false;
            }
        }
        return true;
    }
    // The controls SetLinkState switches with the link.
    static std::vector<QWidget*> LinkControls(TForm1* f)
    {
        return {f->SCFrameEdit4, f->SCButton4, f->SCButton1, f->SCButton2, f->SCFrameEdit1,
                f->SCFrameEdit3, f->SCComboboxEx1, f->SCButton3, f->SCFloatSpinEdit1,
                f->SCIntSpinEdit1, f->SCCheckbox1, f->SCCheckbox4, f->SCCheckbox5,
                f->SCCheckbox3, f->RadioControlFlight, f->RadioHull};
    }

private slots:
    void initTestCase() { HoldPortLock(); }
    void init() { ResetSharedState();
        QVERIFY2(WaitForFreePorts(60000), "ports 5554/5556 stay taken by another program"); }
    void cleanup() { form.reset(); }

    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("accessible");
        QTest::addColumn<int>("checked"); // -1: not a check box
        QTest::addColumn<bool>("enabledAtStart");

        auto row = [](const char* name, const char* cls, const char* group, const char* caption,
                      const char* hint, const char* accessible, int checked, bool enabled) {
            QTest::newRow(name) << QString::fromUtf8(name) << QString::fromUtf8(cls)
                                << QString::fromUtf8(group) << QString::fromUtf8(caption)
                                << QString::fromUtf8(hint) << QString::fromUtf8(accessible)
                                << checked << enabled;
        };
        const char* B = "kestrix::gui::TSCButton";
        const char* C = "kestrix::gui::TSCCheckBox";
        const char* E = "kestrix::gui::TSCFrameEdit";
        const char* R = "kestrix::gui::TSCRadioGroup";
        const char* G = "kestrix::gui::TSCGroupBox";
        const char* L = "QLabel";
        row("SCGroupBox1", G, "Form1", "NavData Stream", "", "NavData Stream", -1, true);
        row("SCGroupBox2", G, "Form1", "AT command", "", "AT command", -1, true);
        row("SCGroupBox3", G, "SCGroupBox2", "Float to String", "", "Float to String", -1, true);
        row("SCGroupBox4", G, "Form1", "Flight", "", "Flight", -1, true);
        row("SCGroupBox5", G, "Form1", "Volmarin", "", "Volmarin", -1, true);
        row("SCButton1", B, "SCGroupBox1", "Start", "start full NavData streaming", "Start", -1, false);
        row("SCButton2", B, "SCGroupBox1", "Stop", "stop ful NavData streaming", "Stop", -1, false);
        row("SCButton3", B, "SCGroupBox2", "Send", "send AT command to Kestrix", "Send", -1, false);
        row("SCButton4", B, "SCGroupBox1", "...", "browse for file to save stream", "...", -1, false);
        row("SCCheckbox1", C, "SCGroupBox4", "", "flight control with keyboard or mouse", "Flight", 0, false);
        row("SCCheckbox2", C, "SCGroupBox5", "", "show stream records and graph", "Volmarin", 0, true);
        row("SCCheckbox3", C, "SCGroupBox2", "", "LED and MOTORs AT commands", "Samples", 0, false);
        row("SCCheckbox4", C, "SCGroupBox1", "", "start/stop record NavData stream to a file", "Save To File", 0, false);
        row("SCCheckbox5", C, "SCGroupBox1", "", "", "Rewrite On Start", 1, false);
        row("SCFrameEdit1", E, "SCGroupBox1", "", "", "Packet Size", -1, false);
        row("SCFrameEdit2", E, "SCGroupBox1", "", "", "File Size (kB)", -1, false);
        row("SCFrameEdit3", E, "SCGroupBox2", "", "", "AT command", -1, false);
        row("SCFrameEdit4", E, "SCGroupBox1", "", "", "File name", -1, false);
        row("SCComboboxEx1", "kestrix::gui::TSCComboBoxEx", "SCGroupBox1", "1/100 (300ms)", "", "Record freq.", -1, false);
        row("SCFloatSpinEdit1", "kestrix::gui::TSCFloatSpinEdit", "SCGroupBox3", "0",
            "converts FLOAT value to INTEGER value required by AT commands", "Float value", -1, false);
        row("SCIntSpinEdit1", "kestrix::gui::TSCIntSpinEdit", "SCGroupBox3", "0", "", "Integer value", -1, false);
        row("RadioControlFlight", R, "SCGroupBox4", "flight", "", "flight", -1, false);
        row("RadioHull", R, "SCGroupBox4", "hull", "", "hull", -1, false);
        row("SCRadioGroup3", R, "SCGroupBox5", "stream source", "", "stream source", -1, true);
        row("Label1", L, "SCGroupBox1", "File Size (kB)", "", "File Size (kB)", -1, true);
        row("Label2", L, "SCGroupBox1", "Packet Size", "", "Packet Size", -1, true);
        row("Label3", L, "SCGroupBox3", "---->", "", "---->", -1, true);
        row("Label4", L, "SCGroupBox1", "Save To File", "start/stop saving strream to file", "Save To File", -1, true);
        row("Label5", L, "SCGroupBox2", "Samples", "", "Samples", -1, true);
        row("Label6", L, "SCGroupBox1", "Rewrite On Start", "", "Rewrite On Start", -1, true);
        row("Label10", L, "SCGroupBox1", "Record freq.", "", "Record freq.", -1, true);
        row("Label9", L, "SCGroupBox5", "v.2.2", "", "v.2.2", -1, true);
    }

    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QString, group);
        QFETCH(QString, caption);
        QFETCH(QString, hint);
        QFETCH(QString, accessible);
        QFETCH(int, checked);
        QFETCH(bool, enabledAtStart);

        form = std::make_unique<TForm1>(LoopbackConfig());
        auto* w = form->findChild<QWidget*>(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(QString::fromLatin1(w->metaObject()->className()), className);
        QCOMPARE(w->parentWidget()->objectName(), group);
        QCOMPARE(captionOf(w), caption);
        QCOMPARE(w->toolTip(), hint);
        QCOMPARE(w->accessibleName(), accessible);
        if (checked >= 0) {
            auto* box = qobject_cast<QCheckBox*>(w);
            QVERIFY(box);
            QCOMPARE(box->isChecked(), checked == 1);
        }
        QCOMPARE(w->isEnabled(), enabledAtStart);
        // Inside its group, clear of the group's edges.
        QVERIFY2(w->parentWidget()->rect().contains(w->geometry()), qPrintable(name));
    }

    void windowAndGroups()
    {
        form = std::make_unique<TForm1>(LoopbackConfig());
        QCOMPARE(form->objectName(), QStringLiteral("Form1"));
        QCOMPARE(form->size(), QSize(311, 347));
        QCOMPARE(form->minimumSize(), QSize(311, 347));
        QCOMPARE(form->maximumSize(), QSize(311, 347));
        QVERIFY(form->windowFlags().testFlag(Qt::Tool));
        QCOMPARE(form->pos(), QPoint(213, 102));
        QCOMPARE(form->font().pointSize(), 8);

        // The four groups fill the width, stacked in order with their heights.
        int y = 0;
        const std::pair<QWidget*, int> groups[] = {{form->SCGroupBox1, 105}, {form->SCGroupBox2, 112},
                                                   {form->SCGroupBox4, 64}, {form->SCGroupBox5, 64}};
        for (auto [g, h] : groups) {
            QCOMPARE(g->geometry(), QRect(0, y, 311, h));
            y += h;
        }
        QVERIFY(y <= 347);

        // No two controls of one group overlap.
        for (QWidget* g : {static_cast<QWidget*>(form->SCGroupBox1), static_cast<QWidget*>(form->SCGroupBox2),
                           static_cast<QWidget*>(form->SCGroupBox3), static_cast<QWidget*>(form->SCGroupBox4),
                           static_cast<QWidget*>(form->SCGroupBox5)}) {
            const auto kids = g->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
            for (int i = 0; i < kids.size(); ++i) {
                for (int j = i + 1; j < kids.size(); ++j) {
                    if (kids[i]->isHidden() || kids[j]->isHidden()) {
                        continue;
                    }
                    QVERIFY2(!kids[i]->geometry().intersects(kids[j]->geometry()),
                             qPrintable(kids[i]->objectName() + QLatin1String(" / ") + kids[j]->objectName()));
                }
            }
        }

        // The caption-line boxes sit in the caption line of their groups.
        for (auto* box : {form->SCCheckbox1, form->SCCheckbox2}) {
            QVERIFY(box->geometry().top() < 12);
            QVERIFY(box->geometry().left() > 20);
        }

        // Items of the radio groups.
        const std::tuple<TSCRadioGroup*, QStringList, int> radios[] = {
            {form->RadioControlFlight, {"indoor", "outdoor"}, 0},
            {form->RadioHull, {"indoor", "outdoor"}, 0},
            {form->SCRadioGroup3, {"live", "file"}, 1}};
        for (const auto& [g, items, sel] : radios) {
            QCOMPARE(g->count(), int(items.size()));
            for (int i = 0; i < g->count(); ++i) {
                QCOMPARE(g->item(i)->text(), items[i]);
                QCOMPARE(g->item(i)->accessibleName().isEmpty() ? g->item(i)->text() : g->item(i)->accessibleName(),
                         items[i]);
            }
            QCOMPARE(g->itemIndex(), sel);
        }
        // The two items of "flight" side by side.
        QCOMPARE(form->RadioControlFlight->item(0)->y(), form->RadioControlFlight->item(1)->y());

        QCOMPARE(form->SCComboboxEx1->count(), 3);
        QCOMPARE(form->SCComboboxEx1->itemText(0), QStringLiteral("each (3ms)"));
        QCOMPARE(form->SCComboboxEx1->itemText(1), QStringLiteral("1/10 (30ms)"));
        QCOMPARE(form->SCComboboxEx1->itemText(2), QStringLiteral("1/100 (300ms)"));
        QCOMPARE(form->SCComboboxEx1->currentIndex(), 2);
        QCOMPARE(RecordDivisor, 100);
        QVERIFY(form->SCFrameEdit1->isReadOnly());
        QVERIFY(form->SCFrameEdit2->isReadOnly());
        QVERIFY(!form->SCFrameEdit3->isReadOnly());

        // The invisible parts.
        auto* t1 = form->findChild<QTimer*>(QStringLiteral("Timer1"));
        auto* t2 = form->findChild<QTimer*>(QStringLiteral("Timer2"));
        QVERIFY(t1 && t2);
        QCOMPARE(t1->interval(), 300);
        QCOMPARE(t2->interval(), 300);
        QVERIFY(t1->isActive());
        QVERIFY(!t2->isActive());
        QVERIFY(form->findChild<QObject*>(QStringLiteral("IdUDPServer1")));
        QVERIFY(form->findChild<QObject*>(QStringLiteral("IdUDPServer2")));
        QCOMPARE(form->SaveDialog1, nullptr);
        QCOMPARE(AtSequence().value(), 0);
        QVERIFY(!LiveDecodeReady);
        QCOMPARE(PacketCounter, 0);
    }

    // The probe goes out unnumbered; the identity settings follow numbered 1,
    // 2, 3 about 100 ms apart and the watchdog numbered 4 about 300 ms after
    // the probe; the window switches from not connected to connected.
    void firstConnection()
    {
        UdpPeer drone(QStringLiteral("127.0.0.2"), {5556});
        QVERIFY2(drone.ok(), qPrintable(drone.error()));
        const double created = drone.nowMs();
        form = std::make_unique<TForm1>(LoopbackConfig());

        // Not connected until the first probe tick.
        QCOMPARE(form->windowTitle(), QStringLiteral("Control (not connected, waiting)"));
        QVERIFY(!form->linkConnected());
        for (QWidget* w : LinkControls(form.get())) {
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        }
        QVERIFY(!form->SCFrameEdit2->isEnabled());
        QVERIFY(LabelsGrey(form.get()));
        QVERIFY(!form->SCRadioGroup3->isItemEnabled(0));
        QVERIFY(form->SCRadioGroup3->isItemEnabled(1));
        QVERIFY(form->SCRadioGroup3->isEnabled());
        QVERIFY(form->SCCheckbox2->isEnabled());
        QVERIFY(form->Timer1->isActive());
        QVERIFY(!form->Timer2->isActive());

        QTRY_VERIFY_WITH_TIMEOUT(drone.matching(5556, "AT*COMWDG=").size() >= 2, 3000);
        const auto got = drone.matching(5556);
        QVERIFY(got.size() >= 6);
        const QByteArray expected[] = {
            Bytes("AT*COMWDG\r"),
            Bytes("AT*CONFIG=1,\"custom:session_id\",\"a0000aa1\"\r"),
            Bytes("AT*CONFIG=2,\"custom:application_id\",\"a0000aa2\"\r"),
            Bytes("AT*CONFIG=3,\"custom:profile_id\",\"a0000aa3\"\r"),
            Bytes("AT*COMWDG=4\r"),
            Bytes("AT*COMWDG=5\r"),
        };
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(got[std::size_t(i)].data, expected[i]);
            QCOMPARE(got[std::size_t(i)].sourcePort, quint16(5556));
        }
        const double probe = got[0].ms;
        QVERIFY2(probe - created >= 250 && probe - created < 700, qPrintable(QString::number(probe - created)));
        auto gap = [&](int a, int b) { return got[std::size_t(b)].ms - got[std::size_t(a)].ms; };
        QVERIFY2(gap(1, 2) >= 95 && gap(1, 2) < 180, qPrintable(QString::number(gap(1, 2))));
        QVERIFY2(gap(2, 3) >= 95 && gap(2, 3) < 180, qPrintable(QString::number(gap(2, 3))));
        QVERIFY2(gap(0, 1) < 50, qPrintable(QString::number(gap(0, 1))));
        QVERIFY2(gap(0, 4) >= 280 && gap(0, 4) < 420, qPrintable(QString::number(gap(0, 4))));
        QVERIFY2(gap(4, 5) >= 250 && gap(4, 5) < 400, qPrintable(QString::number(gap(4, 5))));

        QCOMPARE(form->windowTitle(), QStringLiteral("Control (connected)"));
        QVERIFY(form->linkConnected());
        for (QWidget* w : LinkControls(form.get())) {
            QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
        }
        QVERIFY(!form->SCFrameEdit2->isEnabled()); // stays greyed
        QVERIFY(LabelsNormal(form.get()));
        QVERIFY(form->SCRadioGroup3->isItemEnabled(0));
        QCOMPARE(form->SCRadioGroup3->itemIndex(), 1); // selection untouched
        QVERIFY(!form->Timer1->isActive());
        QVERIFY(form->Timer2->isActive());

        // Not connected again: "live" stays selected while its item is disabled.
        form->SCRadioGroup3->setItemIndex(0);
        form->SetLinkState(false);
        QCOMPARE(form->SCRadioGroup3->itemIndex(), 0);
        QVERIFY(!form->SCRadioGroup3->isItemEnabled(0));
        QVERIFY(form->SCRadioGroup3->isItemEnabled(1));
        QVERIFY(LabelsGrey(form.get()));
        QVERIFY(!form->SCFrameEdit2->isEnabled());
    }

    void floatConverter_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("0.5") << "0.5" << qint64(1056964608);
        QTest::newRow("-0.3") << "-0.3" << qint64(-1097229926);
        QTest::newRow("0") << "0" << qint64(0);
        QTest::newRow("-0.5") << "-0.5" << qint64(-1090519040);
        QTest::newRow("0.1") << "0.1" << qint64(1036831949);
        QTest::newRow("100") << "100" << qint64(1120403456);
        QTest::newRow("5") << "5" << qint64(1084227584);
        QTest::newRow("nine decimals") << "0.123456789" << qint64(at::FloatToAtInteger(0.123456789));
        QTest::newRow("six decimals") << "0.000001" << qint64(at::FloatToAtInteger(0.000001));
        // Beyond single precision: clamped to the largest single.
        QTest::newRow("huge") << "1000000000000000000000000000000000000000" << qint64(0x7F7FFFFF);
        QTest::newRow("huge negative") << "-1000000000000000000000000000000000000000"
                                       << qint64(int32_t(0xFF7FFFFFu));
    }

    void floatConverter()
    {
        QFETCH(QString, typed);
        QFETCH(qint64, expected);
        form = std::make_unique<TForm1>(LoopbackConfig());
        QTRY_VERIFY_WITH_TIMEOUT(form->linkConnected(), 2000);
        form->SCFloatSpinEdit1->clear();
        QTest::keyClicks(form->SCFloatSpinEdit1, typed);
        QCOMPARE(form->SCFloatSpinEdit1->text(), typed);
        QCOMPARE(form->SCIntSpinEdit1->value(), expected);
        QCOMPARE(form->SCIntSpinEdit1->text(), QString::number(expected)); // no separators
    }

    // The integer output is a display: typing into it changes nothing else, and
    // it changes only when the float input does.
    void integerOutputIsOnlyADisplay()
    {
        UdpPeer drone(QStringLiteral("127.0.0.2"), {5556});
        form = std::make_unique<TForm1>(LoopbackConfig());
        QTRY_VERIFY_WITH_TIMEOUT(form->linkConnected(), 2000);
        form->Timer2->stop();
        form->SCFloatSpinEdit1->clear();
        QTest::keyClicks(form->SCFloatSpinEdit1, QStringLiteral("0.5"));
        QCOMPARE(form->SCIntSpinEdit1->value(), qint64(1056964608));
        const int32_t seq = AtSequence().value();
        QTest::qWait(50);
        drone.clear();

        form->SCIntSpinEdit1->clear();
        QTest::keyClicks(form->SCIntSpinEdit1, QStringLiteral("123"));
        QCOMPARE(form->SCIntSpinEdit1->value(), qint64(123));
        QCOMPARE(form->SCFloatSpinEdit1->text(), QStringLiteral("0.5"));
        QTest::keyClick(form->SCIntSpinEdit1, Qt::Key_Up);
        QTest::keyClick(form->SCFloatSpinEdit1, Qt::Key_Up);
        QCOMPARE(form->SCIntSpinEdit1->value(), qint64(123));
        QCOMPARE(form->SCFloatSpinEdit1->text(), QStringLiteral("0.5"));

        // The same float value again is no change.
        form->SCFloatSpinEdit1->setValue(0.5);
        QCOMPARE(form->SCIntSpinEdit1->value(), qint64(123));
        // A new one is.
        QTest::keyClicks(form->SCFloatSpinEdit1, QStringLiteral("1"));
        QCOMPARE(form->SCIntSpinEdit1->value(), qint64(at::FloatToAtInteger(0.51)));

        QTest::qWait(50);
        QCOMPARE(AtSequence().value(), seq);
        QVERIFY(drone.received().empty());
    }

    // "Send": ConfigIdsPrefix numbered n+1, then the edit's text with n+2 for
    // every "#", one datagram from port 5556.
    void sendButton_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("n");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray ids = ",\"a0000aa1\",\"a0000aa3\",\"a0000aa2\"\r";
        QTest::newRow("ref") << "AT*REF=#,290718208" << 4
                             << QByteArray("AT*CONFIG_IDS=5" + ids + "AT*REF=6,290718208\r");
        QTest::newRow("empty") << "" << 0 << QByteArray("AT*CONFIG_IDS=1" + ids + "\r");
        QTest::newRow("two #") << "A#B#" << 10 << QByteArray("AT*CONFIG_IDS=11" + ids + "A12B12\r");
        QTest::newRow("fixed 1") << "AT*PWM=1,10,20,30,40" << 1
                                 << QByteArray("AT*CONFIG_IDS=2" + ids + "AT*PWM=1,10,20,30,40\r");
        QTest::newRow("negative") << "X=#" << -3 << QByteArray("AT*CONFIG_IDS=-2" + ids + "X=-1\r");
    }

    void sendButton()
    {
        QFETCH(QString, text);
        QFETCH(int, n);
        QFETCH(QByteArray, expected);
        UdpPeer drone(QStringLiteral("127.0.0.2"), {5556});
        form = std::make_unique<TForm1>(LoopbackConfig());
        QTRY_VERIFY_WITH_TIMEOUT(form->linkConnected(), 2000);
        form->SCFrameEdit3->setText(text);
        AtSequence().set(n);
        QTest::mouseClick(form->SCButton3, Qt::LeftButton);
        QCOMPARE(AtSequence().value(), n + 2);
        QTRY_COMPARE_WITH_TIMEOUT(drone.matching(5556, "AT*CONFIG_IDS=").size(), std::size_t(1), 1000);
        const auto d = drone.matching(5556, "AT*CONFIG_IDS=").front();
        QCOMPARE(d.data, expected);
        QCOMPARE(d.sourcePort, quint16(5556));
    }
};

KESTRIX_GUI_TEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
