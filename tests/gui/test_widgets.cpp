// The widget set: what the windows rely on.
#include "support.h"

#include "kit/widgets.h"

#include <QLabel>
#include <QSignalSpy>
#include <QtTest>

using namespace kestrix::gui;

class TestWidgets : public QObject {
    Q_OBJECT

private slots:
    void buttonCaptionColourAndMouse()
    {
        TSCButton b(QStringLiteral("TAKE\rOFF"));
        QCOMPARE(b.caption(), QStringLiteral("TAKE\rOFF"));
        QCOMPARE(b.text(), QStringLiteral("TAKE\nOFF"));
        b.setCaption(QStringLiteral("LAND"));
        QCOMPARE(b.text(), QStringLiteral("LAND"));
        b.setColor(QColor(0, 200, 0));
        QCOMPARE(b.palette().color(QPalette::Button), QColor(0, 200, 0));
        QCOMPARE(b.color(), QColor(0, 200, 0));

        b.resize(80, 30);
        b.show();
        QSignalSpy down(&b, &TSCButton::mouseDown);
        QSignalSpy up(&b, &TSCButton::mouseUp);
        // Real-looking events through the platform, and events sent from code.
        QTest::mousePress(&b, Qt::LeftButton);
        QCOMPARE(down.count(), 1);
        QCOMPARE(up.count(), 0);
        QTest::mouseRelease(&b, Qt::LeftButton);
        QCOMPARE(up.count(), 1);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), b.mapToGlobal(QPointF(5, 5)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&b, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), b.mapToGlobal(QPointF(5, 5)),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&b, &release);
        QCOMPARE(down.count(), 2);
        QCOMPARE(up.count(), 2);
        // The right button is not a mouse-down of the button.
        QTest::mouseClick(&b, Qt::RightButton);
        QCOMPARE(down.count(), 2);
    }

    void checkBoxChangeRunsForCode()
    {
        TSCCheckBox c;
        QSignalSpy spy(&c, &QCheckBox::toggled);
        c.setChecked(true);
        c.setChecked(true);
        c.setChecked(false);
        QCOMPARE(spy.count(), 2);
    }

    // Change events: by typing or from code, not for the same value, not while
    // disabled; an empty or non-numeric text reads as the minimum.
    void intSpinEdit()
    {
        TSCIntSpinEdit e;
        QSignalSpy spy(&e, &TSCIntSpinEdit::valueChanged);
        QCOMPARE(e.value(), qint64(0));
        e.setValue(5);
        QCOMPARE(e.value(), qint64(5));
        QCOMPARE(spy.count(), 1);
        e.setValue(5);
        QCOMPARE(spy.count(), 1);
        e.clear();
        QCOMPARE(e.value(), qint64(0));
        QCOMPARE(spy.count(), 2);
        QTest::keyClicks(&e, QStringLiteral("-12x3"));
        QCOMPARE(e.text(), QStringLiteral("-123")); // the letter is refused
        QCOMPARE(e.value(), qint64(-123));
        QTest::keyClick(&e, Qt::Key_Up);
        QTest::keyClick(&e, Qt::Key_PageDown);
        QCOMPARE(e.value(), qint64(-123));
        e.setEnabled(false);
        e.setValue(77);
        QCOMPARE(e.value(), qint64(-123));
        e.setEnabled(true);

        // Unbounded means the signed 32-bit range; no thousands separators.
        e.setValue(-1097229926);
        QCOMPARE(e.text(), QStringLiteral("-1097229926"));
        e.setValue(qint64(1) << 40);
        QCOMPARE(e.value(), qint64(INT32_MAX));

        // Bounded.
        e.setRange(1, 10);
        e.setValue(20);
        QCOMPARE(e.value(), qint64(10));
        e.setText(QStringLiteral("-"));
        QCOMPARE(e.value(), qint64(1));
    }

    void floatSpinEdit_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "0.5" << "0.5" << 0.5;
        QTest::newRow("six places") << "1.234567" << "1.234567" << 1.234567;
        QTest::newRow("ten places") << "0.1234567891" << "0.1234567891" << 0.1234567891;
        QTest::newRow("eleventh refused") << "0.12345678912" << "0.1234567891" << 0.1234567891;
        QTest::newRow("no group separator") << "1,000" << "1000" << 1000.0;
        QTest::newRow("negative") << "-0.3" << "-0.3" << -0.3;
        QTest::newRow("only a sign") << "-" << "-" << 0.0;
        QTest::newRow("no exponent") << "1e5" << "15" << 15.0;
    }

    void floatSpinEdit()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(double, value);
        TSCFloatSpinEdit e;
        e.clear();
        QTest::keyClicks(&e, typed);
        QCOMPARE(e.text(), shown);
        QCOMPARE(e.value(), value);
    }

    void floatSpinEditEvents()
    {
        TSCFloatSpinEdit e;
        QSignalSpy spy(&e, &TSCFloatSpinEdit::valueChanged);
        e.setValue(0.25);
        QCOMPARE(e.text(), QStringLiteral("0.25"));
        QCOMPARE(spy.count(), 1);
        e.setValue(0.25);
        e.setText(QStringLiteral("0.250")); // the same value written differently
        QCOMPARE(spy.count(), 1);
        e.setValue(1e-6);
        QCOMPARE(e.value(), 1e-6);
        QCOMPARE(spy.count(), 2);
        e.setEnabled(false);
        e.setValue(3);
        QCOMPARE(e.value(), 1e-6);
        e.setEnabled(true);
        e.setRange(-1, 1);
        e.setValue(5);
        QCOMPARE(e.value(), 1.0);
        e.clear();
        QCOMPARE(e.value(), -1.0);
    }

    // A field edit: its text can be neither edited nor selected.
    void frameEditField()
    {
        TSCFrameEdit e;
        e.setObjectName(QStringLiteral("altitude"));
        e.setText(QStringLiteral("1234"));
        e.setField(true);
        e.resize(100, 24);
        e.show();
        QTest::keyClicks(&e, QStringLiteral("99"));
        QTest::mouseDClick(&e, Qt::LeftButton);
        QTest::keyClick(&e, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(e.text(), QStringLiteral("1234"));
        QVERIFY(!e.hasSelectedText());
        QVERIFY(e.isReadOnly());

        TSCFrameEdit plain;
        QTest::keyClicks(&plain, QStringLiteral("AT*FTRIM=#"));
        QCOMPARE(plain.text(), QStringLiteral("AT*FTRIM=#"));
    }

    void comboBoxValues()
    {
        TSCComboBoxEx c;
        c.addItemWithValue(QStringLiteral("Demo.altitude"), QStringLiteral("Demo.altitude|red"));
        c.addItemWithValue(QStringLiteral("Time.time"), QStringLiteral("x"));
        QCOMPARE(c.valueText(0), QStringLiteral("Demo.altitude|red"));
        c.setValueText(1, QStringLiteral("y"));
        QCOMPARE(c.valueText(1), QStringLiteral("y"));
        int drawn = 0;
        c.setDrawItem([&](QPainter*, const QStyleOptionViewItem&, int) { ++drawn; });
        c.show();
        c.showPopup();
        QTRY_VERIFY_WITH_TIMEOUT(drawn >= 2, 2000);
        c.hidePopup();
    }

    // Single items can be disabled; the selection changes by click or code.
    void radioGroup()
    {
        TSCRadioGroup g(QStringLiteral("stream source"), {QStringLiteral("live"), QStringLiteral("file")}, 2);
        g.resize(160, 44);
        g.show();
        QSignalSpy spy(&g, &TSCRadioGroup::changed);
        QCOMPARE(g.itemIndex(), -1);
        g.setItemIndex(1);
        QCOMPARE(g.itemIndex(), 1);
        QCOMPARE(spy.count(), 1);
        g.setItemIndex(1);
        QCOMPARE(spy.count(), 1);

        g.setItemEnabled(0, false);
        QVERIFY(!g.isItemEnabled(0));
        QVERIFY(g.isItemEnabled(1));
        QVERIFY(g.isEnabled());
        QTest::mouseClick(g.item(0), Qt::LeftButton, {}, QPoint(6, g.item(0)->height() / 2));
        QCOMPARE(g.itemIndex(), 1);
        QCOMPARE(spy.count(), 1);

        g.setItemEnabled(0, true);
        QTest::mouseClick(g.item(0), Qt::LeftButton, {}, QPoint(6, g.item(0)->height() / 2));
        QCOMPARE(g.itemIndex(), 0);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.last().at(0).toInt(), 0);

        // From code, even onto a disabled item.
        g.setItemEnabled(1, false);
        g.setItemIndex(1);
        QCOMPARE(g.itemIndex(), 1);
        QCOMPARE(g.item(0)->y(), g.item(1)->y()); // two columns: side by side
    }

    // The caption-line box does not disable the group's children.
    void groupCaptionCheckBox()
    {
        TSCGroupBox g(QStringLiteral("Flight"));
        g.resize(300, 64);
        auto* inner = new QLabel(QStringLiteral("x"), &g);
        inner->move(10, 30);
        auto* box = new TSCCheckBox;
        g.setCaptionCheckBox(box);
        g.show();
        QCOMPARE(box->parentWidget(), &g);
        QCOMPARE(g.captionCheckBox(), box);
        QVERIFY(box->geometry().top() < 12);
        QVERIFY(box->geometry().left() > 20);
        box->setChecked(false);
        QVERIFY(inner->isEnabled());
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() / 2, box->height() / 2));
        QVERIFY(box->isChecked());
        QVERIFY(inner->isEnabled());
        QVERIFY(!g.isCheckable());
    }

    void pageControl()
    {
        TSCPageControl p;
        p.addTab(new QWidget, QStringLiteral("Demo"));
        p.addTab(new QWidget, QStringLiteral("Time"));
        p.setActivePageIndex(1);
        QCOMPARE(p.activePageIndex(), 1);
        p.setTabOrientation(QTabWidget::West);
        QCOMPARE(p.tabPosition(), QTabWidget::West);
    }

    void statusBarFlash()
    {
        TSCStatusBar s;
        const int first = s.addPanel(150, QStringLiteral("Ready to load file"));
        s.addPanel(0);
        QCOMPARE(s.panelCount(), 2);
        QCOMPARE(s.panelText(first), QStringLiteral("Ready to load file"));
        s.setPanelText(first, QStringLiteral("Live streaming"));
        QCOMPARE(s.panelText(first), QStringLiteral("Live streaming"));

        s.setPanelFlashing(first, true);
        QVERIFY(s.isPanelFlashing(first));
        const bool start = s.isPanelHighlighted(first);
        QTRY_VERIFY_WITH_TIMEOUT(s.isPanelHighlighted(first) != start, 1500);
        QTRY_VERIFY_WITH_TIMEOUT(s.isPanelHighlighted(first) == start, 1500);
        s.setPanelFlashing(first, false);
        QVERIFY(!s.isPanelFlashing(first));
        QVERIFY(!s.isPanelHighlighted(first));
        QCOMPARE(s.panel(first)->palette().color(QPalette::Window), s.palette().color(QPalette::Window));
    }
};

KESTRIX_GUI_TEST_MAIN(TestWidgets)
#include "test_widgets.moc"
