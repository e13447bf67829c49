// The main, Joystick and AT samples windows against a stand-in drone: a
// movement held across SHIFT ends when the window goes, the AT samples edits
// refuse what is outside their ranges, a recording that cannot be created
// unticks "Save To File", and "Packet Size" tells the link's counts.
#include "connected_windows.h"

#include "kit/widgets.h"

#include "kestrix/at_commands.h"
#include "kestrix/link/navdata_channel.h"

#include <QTemporaryDir>

using namespace kestrix;
using namespace kestrix::gui;
using namespace kestrix::gui::test;

namespace {

int Count(const ConnectedWindows& w, std::string_view templ)
{
    int n = 0;
    for (const QByteArray& d : w.at()) {
        n += Unnumber(d).templ == QByteArray(templ.data(), qsizetype(templ.size()));
    }
    return n;
}

} // namespace

class TestControlMends : public ConnectedWindowsTest {
    Q_OBJECT

private slots:
    // Hold W, press and release SHIFT: the repeat stops, W stays shown held;
    // hiding the window then still sends the release, once.
    void heldAfterShift_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("SHIFT") << int(Qt::Key_Shift);
        QTest::newRow("ESC") << int(Qt::Key_Escape);
    }
    void heldAfterShift()
    {
        QFETCH(int, key);
        w->main->SCCheckbox1->setChecked(true);
        QVERIFY(QTest::qWaitForWindowExposed(j));
        QTRY_COMPARE_WITH_TIMEOUT(w->at().size(), std::size_t(2), 1000); // the flight settings
        QTest::qWait(30);
        w->drone.clear();

        QTest::keyPress(j, Qt::Key_W);
        QTRY_VERIFY_WITH_TIMEOUT(Count(*w, at::kPcmdForward) >= 2, 1000);
        QTest::keyPress(j, Qt::Key(key));
        QTest::keyRelease(j, Qt::Key(key));
        QVERIFY(!j->Timer1->isActive());
        QCOMPARE(j->Button6->color(), ColorFromBgr(kHeldColor));
        QCOMPARE(Count(*w, at::kPcmdRelease), 0);

        j->hide();
        QTRY_COMPARE_WITH_TIMEOUT(Count(*w, at::kPcmdRelease), 1, 1000);
        QTest::qWait(100);
        QCOMPARE(Count(*w, at::kPcmdRelease), 1);
        QVERIFY(j->Button6->color() != ColorFromBgr(kHeldColor));
    }

    // Typing past an edit's range is refused: what is shown is what is sent.
    void samplesEditsRefuseOutOfRange_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("motor 1") << "SCIntSpinEdit3" << "300" << "30";
        QTest::newRow("motor 4") << "SCIntSpinEdit6" << "2569" << "25";
        QTest::newRow("animation type") << "SCIntSpinEdit1" << "101" << "10";
        QTest::newRow("negative") << "SCIntSpinEdit2" << "-5" << "5";
        QTest::newRow("frequency") << "SCFloatSpinEdit1" << "100.5" << "100.";
    }
    void samplesEditsRefuseOutOfRange()
    {
        QFETCH(QString, edit);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        auto* e = s->findChild<QLineEdit*>(edit);
        QVERIFY(e);
        s->show();
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, typed);
        QCOMPARE(e->text(), shown);
        if (auto* i = qobject_cast<TSCIntSpinEdit*>(e)) {
            QCOMPARE(QString::number(i->value()), e->text());
        } else if (auto* f = qobject_cast<TSCFloatSpinEdit*>(e)) {
            QCOMPARE(f->value(), e->text().toDouble());
        }
    }

    // A file in a folder that does not exist: the message as before, and
    // the box unticked, so that Start cannot stream without recording while
    // the box says it records.
    void uncreatableRecordingUnticks()
    {
        MessageRecorder boxes;
        QTemporaryDir dir;
        const QString bad = dir.path() + QStringLiteral("/missing/rec.bin");
        w->main->SCFrameEdit4->setText(bad);
        QTest::mouseClick(w->main->SCCheckbox4, Qt::LeftButton);
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.calls()[0].text, QStringLiteral("Cannot create file ") + bad);
        QVERIFY(!w->main->SCCheckbox4->isChecked());
        QVERIFY(!RecordingFile.isOpen());

        // Ticked with a good file, then named a bad one: Start stops at the
        // file, with the same message, and unticks the box too.
        const QString good = dir.path() + QStringLiteral("/rec.bin");
        w->main->SCFrameEdit4->setText(good);
        QTest::mouseClick(w->main->SCCheckbox4, Qt::LeftButton);
        QVERIFY(w->main->SCCheckbox4->isChecked());
        QVERIFY(RecordingFile.isOpen());
        w->main->SCFrameEdit4->setText(bad);
        QTest::mouseClick(w->main->SCButton1, Qt::LeftButton);
        QCOMPARE(boxes.count(), 2);
        QCOMPARE(boxes.calls()[1].text, QStringLiteral("Cannot create file ") + bad);
        QVERIFY(!w->main->SCCheckbox4->isChecked());
        QVERIFY(!RecordingFile.isOpen());
    }

    // "Packet Size" tells the link's received, dropped and discarded counts.
    void packetSizeTellsLinkCounts()
    {
        QTest::mouseClick(w->main->SCButton1, Qt::LeftButton);
        QVERIFY(w->main->IdUDPServer1->isOpen());
        const QString tip = w->main->SCFrameEdit1->toolTip();
        QVERIFY2(tip.contains(QLatin1String("received 0")), qPrintable(tip));
        QVERIFY2(tip.contains(QLatin1String("dropped 0")), qPrintable(tip));
        QVERIFY2(tip.contains(QLatin1String("discarded 0")), qPrintable(tip));
        // A datagram from the drone's navdata port: the count follows.
        UdpPeer navdrone(QStringLiteral("127.0.0.2"), {5554});
        QVERIFY(navdrone.ok());
        QVERIFY(navdrone.send(5554, DemoPacketOfSize(600, 1), QStringLiteral("127.0.0.1"), 5554));
        QTRY_VERIFY_WITH_TIMEOUT(w->main->SCFrameEdit1->toolTip().contains(QLatin1String("received 1")), 2000);
        QTest::mouseClick(w->main->SCButton2, Qt::LeftButton);
    }
};

KESTRIX_GUI_TEST_MAIN(TestControlMends)
#include "test_control_mends.moc"
