// The main window's switches for the AT samples and Joystick windows and the
// flight settings, against a stand-in drone on 127.0.0.2:5556.
#include "connected_windows.h"

#include "kit/widgets.h"

#include <QtTest>

using namespace kestrix;
using namespace kestrix::gui;
using namespace kestrix::gui::test;

class TestWindowSwitches : public ConnectedWindowsTest {
    Q_OBJECT

private:
    // Sets both radio groups without their sends reaching the test's view.
    void selectSettings(int flight, int hull)
    {
        w->main->RadioControlFlight->setItemIndex(flight);
        w->main->RadioHull->setItemIndex(hull);
        QTest::qWait(40);
        w->drone.clear();
    }

private slots:
    // "Samples" places the AT samples window against the main window's right
    // edge, level with its top, each time it changes; its close button
    // unticks the box.
    void samples()
    {
        TForm1* m = w->main.get();
        m->move(213, 102);
        m->show();
        QVERIFY(QTest::qWaitForWindowExposed(m));
        const int outer = m->frameGeometry().width();
        QVERIFY(outer >= 311);

        m->SCCheckbox3->setChecked(true);
        QVERIFY(s->isVisible());
        QCOMPARE(s->pos(), QPoint(213 + outer, m->pos().y()));
        QCOMPARE(s->frameGeometry().top(), m->frameGeometry().top());
        QCOMPARE(s->frameGeometry().left(), m->frameGeometry().left() + outer);

        m->move(100, 150);
        m->SCCheckbox3->setChecked(false);
        QVERIFY(!s->isVisible());
        QCOMPARE(s->pos(), QPoint(100 + outer, m->pos().y()));

        m->SCCheckbox3->setChecked(true);
        QVERIFY(s->isVisible());
        s->close();
        QVERIFY(!s->isVisible());
        QVERIFY(!m->SCCheckbox3->isChecked());
        QVERIFY(m->isVisible());
        QTest::qWait(30);
        QVERIFY(w->at().empty());
    }

    // The flight box shows the Joystick window and sends the "flight", then
    // the "hull" setting with consecutive numbers; unticking closes it; its
    // close button unticks the box.
    void flightBox_data()
    {
        QTest::addColumn<int>("flight");
        QTest::addColumn<int>("hull");
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        const QByteArray outdoorFalse = "AT*CONFIG=%1,\"control:outdoor\",\"FALSE\"\r";
        const QByteArray outdoorTrue = "AT*CONFIG=%1,\"control:outdoor\",\"TRUE\"\r";
        const QByteArray hullFalse = "AT*CONFIG=%1,\"control:flight_without_shell\",\"FALSE\"\r";
        const QByteArray hullTrue = "AT*CONFIG=%1,\"control:flight_without_shell\",\"TRUE\"\r";
        QTest::newRow("indoor, indoor") << 0 << 0 << outdoorFalse << hullFalse;
        QTest::newRow("outdoor, indoor") << 1 << 0 << outdoorTrue << hullFalse;
        QTest::newRow("indoor, outdoor") << 0 << 1 << outdoorFalse << hullTrue;
        QTest::newRow("outdoor, outdoor") << 1 << 1 << outdoorTrue << hullTrue;
    }

    void flightBox()
    {
        QFETCH(int, flight);
        QFETCH(int, hull);
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        selectSettings(flight, hull);
        TForm1* m = w->main.get();
        const int32_t n = AtSequence().value();

        m->SCCheckbox1->setChecked(true);
        QVERIFY(j->isVisible());
        QCOMPARE(AtSequence().value(), n + 2);
        QTRY_COMPARE_WITH_TIMEOUT(w->at().size(), std::size_t(2), 1000);
        QCOMPARE(w->at()[0], QString::fromLatin1(first).arg(n + 1).toLatin1());
        QCOMPARE(w->at()[1], QString::fromLatin1(second).arg(n + 2).toLatin1());

        m->SCCheckbox1->setChecked(false);
        QVERIFY(!j->isVisible());
        m->SCCheckbox1->setChecked(true);
        QVERIFY(j->isVisible());
        j->close();
        QVERIFY(!j->isVisible());
        QVERIFY(!m->SCCheckbox1->isChecked());
        QTest::qWait(40);
        QCOMPARE(w->at().size(), std::size_t(4)); // the settings again, nothing on closing
    }

    // "flight" and "hull" send the setting of a new selection, with the
    // Joystick window closed; selecting the item already selected sends nothing.
    void settingChanges_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<int>("item");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("flight outdoor") << "RadioControlFlight" << 1 << QByteArray("AT*CONFIG=%1,\"control:outdoor\",\"TRUE\"\r");
        QTest::newRow("flight indoor") << "RadioControlFlight" << 0 << QByteArray("AT*CONFIG=%1,\"control:outdoor\",\"FALSE\"\r");
        QTest::newRow("hull outdoor") << "RadioHull" << 1 << QByteArray("AT*CONFIG=%1,\"control:flight_without_shell\",\"TRUE\"\r");
        QTest::newRow("hull indoor") << "RadioHull" << 0 << QByteArray("AT*CONFIG=%1,\"control:flight_without_shell\",\"FALSE\"\r");
    }

    void settingChanges()
    {
        QFETCH(QString, group);
        QFETCH(int, item);
        QFETCH(QByteArray, expected);
        auto* g = w->main->findChild<TSCRadioGroup*>(group);
        QVERIFY(g);
        selectSettings(1 - item, 1 - item);
        QVERIFY(!w->joystick->isVisible());
        const int32_t n = AtSequence().value();

        QTest::mouseClick(g->item(item), Qt::LeftButton);
        QCOMPARE(g->itemIndex(), item);
        QTest::mouseClick(g->item(item), Qt::LeftButton); // no change
        QTRY_COMPARE_WITH_TIMEOUT(w->at().size(), std::size_t(1), 1000);
        QTest::qWait(40);
        QCOMPARE(w->at().size(), std::size_t(1));
        QCOMPARE(w->at()[0], QString::fromLatin1(expected).arg(n + 1).toLatin1());
        QCOMPARE(AtSequence().value(), n + 1);
    }
};

KESTRIX_GUI_TEST_MAIN(TestWindowSwitches)
#include "test_window_switches.moc"
