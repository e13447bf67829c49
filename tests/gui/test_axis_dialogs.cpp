// The LeftAxis and BottomAxis dialogs on the Graph window's chart: loading
// from the axis, the "auto" boxes, "OK" with its refusals and partial
// applies, and "Cancel".
#include "support.h"

#include "plot/bottomaxis.h"
#include "plot/chart_axis.h"
#include "plot/graph.h"
#include "plot/graph_series.h"
#include "plot/leftaxis.h"
#include "kit/shared_state.h"
#include "kit/widgets.h"

#include "kestrix/packet_builder.h"

#include <QLabel>
#include <QtTest>
#include <qcustomplot.h>

#include <memory>

using namespace kestrix;
using namespace kestrix::gui;
using namespace kestrix::gui::test;

class TestAxisDialogs : public QObject {
    Q_OBJECT

    std::unique_ptr<MessageRecorder> messages;
    std::unique_ptr<TForm5> graph;
    std::unique_ptr<TForm3> left;
    std::unique_ptr<TForm6> bottom;

    // The dialog of the row and its axis. Data: x from 10 to 20 s, y from
    // -50 to 400.
    AxisRangeDialog* dialog = nullptr;
    ChartAxis* axis = nullptr;
    double dataMin = 0;
    double dataMax = 0;

    void choose(const QString& which)
    {
        const bool isLeft = which == QLatin1String("left");
        dialog = isLeft ? static_cast<AxisRangeDialog*>(left.get()) : bottom.get();
        axis = isLeft ? &graph->leftAxis() : &graph->bottomAxis();
        dataMin = isLeft ? -50 : 10;
        dataMax = isLeft ? 400 : 20;
    }

    static void addRows()
    {
        QTest::addColumn<QString>("which");
        QTest::newRow("LeftAxis") << "left";
        QTest::newRow("BottomAxis") << "bottom";
    }

    void fixRange(double lower, double upper)
    {
        axis->setAutomatic(false);
        if (upper < axis->minimum()) {
            axis->setMinimum(lower);
            axis->setMaximum(upper);
        } else {
            axis->setMaximum(upper);
            axis->setMinimum(lower);
        }
    }

private slots:
    void init()
    {
        ResetSharedState();
        messages = std::make_unique<MessageRecorder>();
        graph = std::make_unique<TForm5>();
        left = std::make_unique<TForm3>();
        bottom = std::make_unique<TForm6>();
        graph->series().add(QStringLiteral("Demo.altitude"));
        const std::pair<uint32_t, int32_t> points[] = {{10, -50}, {15, 400}, {20, 0}};
        for (const auto& [t, altitude] : points) {
            Navdata.state.Time.time = MakeTimeWord(uint32_t(t), 0);
            Navdata.state.Demo.altitude = altitude;
            graph->series().addRecordPoints();
        }
        graph->Chart1->replot();
    }
    void cleanup()
    {
        bottom.reset();
        left.reset();
        graph.reset();
        messages.reset();
        ResetSharedState();
    }

    void windows_data() { addRows(); }
    void windows()
    {
        QFETCH(QString, which);
        choose(which);
        const bool isLeft = which == QLatin1String("left");
        QCOMPARE(dialog->windowTitle(), isLeft ? QStringLiteral("LeftAxis") : QStringLiteral("BottomAxis"));
        QCOMPARE(dialog->size(), isLeft ? QSize(132, 115) : QSize(134, 116));
        QVERIFY(dialog->windowFlags() & Qt::Tool);
        QVERIFY(!(dialog->windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint |
                                           Qt::WindowMinMaxButtonsHint)));
        const std::pair<const char*, const char*> controls[] = {
            {"SCFloatSpinEdit1", "Maximum"}, {"SCCheckbox1", "auto"}, {"SCFloatSpinEdit2", "Minimum"},
            {"SCCheckbox2", "auto"},         {"SCButton1", "OK"},     {"SCButton2", "Cancel"},
            {"Label1", "Maximum"},           {"Label2", "Minimum"},
        };
        for (const auto& [name, accessible] : controls) {
            auto* w = dialog->findChild<QWidget*>(QString::fromLatin1(name));
            QVERIFY2(w, name);
            QCOMPARE(w->accessibleName(), QString::fromLatin1(accessible));
            QVERIFY2(QRect(QPoint(0, 0), dialog->size()).contains(w->geometry()), name);
        }
    }

    // An automatic axis: both boxes ticked, both edits disabled and holding
    // the current automatic limits; a fixed one the other way round.
    void loadsFromAxis_data() { addRows(); }
    void loadsFromAxis()
    {
        QFETCH(QString, which);
        choose(which);
        dialog->show();
        QVERIFY(dialog->SCCheckbox1->isChecked() && dialog->SCCheckbox2->isChecked());
        QVERIFY(!dialog->SCFloatSpinEdit1->isEnabled() && !dialog->SCFloatSpinEdit2->isEnabled());
        QCOMPARE(dialog->SCFloatSpinEdit1->value(), dataMax);
        QCOMPARE(dialog->SCFloatSpinEdit2->value(), dataMin);
        QVERIFY(!GraphBusy);
        dialog->hide();

        fixRange(-3.25, 1234.5);
        dialog->show();
        QVERIFY(!dialog->SCCheckbox1->isChecked() && !dialog->SCCheckbox2->isChecked());
        QVERIFY(dialog->SCFloatSpinEdit1->isEnabled() && dialog->SCFloatSpinEdit2->isEnabled());
        QCOMPARE(dialog->SCFloatSpinEdit1->value(), 1234.5);
        QCOMPARE(dialog->SCFloatSpinEdit2->value(), -3.25);
    }

    // The boxes switch their edits at once; nothing reaches the axis before
    // "OK", and "Cancel" leaves it as it was. Shown again, the dialog shows
    // the axis, not what was typed.
    void boxesAndCancel_data() { addRows(); }
    void boxesAndCancel()
    {
        QFETCH(QString, which);
        choose(which);
        dialog->show();
        QTest::mouseClick(dialog->SCCheckbox1, Qt::LeftButton);
        QVERIFY(dialog->SCFloatSpinEdit1->isEnabled());
        QVERIFY(!dialog->SCFloatSpinEdit2->isEnabled());
        QTest::mouseClick(dialog->SCCheckbox2, Qt::LeftButton);
        QVERIFY(dialog->SCFloatSpinEdit2->isEnabled());
        QTest::mouseClick(dialog->SCCheckbox2, Qt::LeftButton);
        QVERIFY(!dialog->SCFloatSpinEdit2->isEnabled());
        QTest::mouseClick(dialog->SCCheckbox2, Qt::LeftButton);
        dialog->SCFloatSpinEdit1->setValue(7777);
        dialog->SCFloatSpinEdit2->setValue(-7777);
        QVERIFY(axis->automaticMaximum() && axis->automaticMinimum());

        QTest::mouseClick(dialog->SCButton2, Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
        QVERIFY(axis->automaticMaximum() && axis->automaticMinimum());
        QCOMPARE(axis->maximum(), dataMax);

        dialog->show();
        QVERIFY(dialog->SCCheckbox1->isChecked() && dialog->SCCheckbox2->isChecked());
        QCOMPARE(dialog->SCFloatSpinEdit1->value(), dataMax);
        QCOMPARE(dialog->SCFloatSpinEdit2->value(), dataMin);
    }

    // "OK" with both boxes ticked only switches both ends back to automatic.
    void okAutomatic_data() { addRows(); }
    void okAutomatic()
    {
        QFETCH(QString, which);
        choose(which);
        fixRange(-1, 1);
        dialog->show();
        dialog->SCCheckbox1->setChecked(true);
        dialog->SCCheckbox2->setChecked(true);
        dialog->SCFloatSpinEdit1->setEnabled(true);
        dialog->SCFloatSpinEdit1->setValue(99);
        QTest::mouseClick(dialog->SCButton1, Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
        QVERIFY(axis->automaticMaximum() && axis->automaticMinimum());
        QCOMPARE(axis->maximum(), dataMax);
        QCOMPARE(axis->minimum(), dataMin);
        graph->Chart1->replot();
        QCOMPARE(axis->axis()->range(), QCPRange(dataMin, dataMax));
        QCOMPARE(messages->count(), 0);
    }

    // Fixed limits from "OK", maximum first: accepted when the maximum is
    // at least the axis' current minimum and the minimum at most the new
    // maximum; a refusal leaves what was applied before it, keeps the dialog
    // open and clears GraphBusy.
    void okFixed_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<bool>("maximumApplied");
        for (const QString& which : {QStringLiteral("left"), QStringLiteral("bottom")}) {
            // The current automatic minimum is -50 (left) or 10 (bottom).
            const double low = which == QLatin1String("left") ? -50 : 10;
            QTest::newRow(qPrintable(which + QStringLiteral(" inside"))) << which << low + 5 << low + 1 << QString() << true;
            QTest::newRow(qPrintable(which + QStringLiteral(" equal ends"))) << which << low + 2 << low + 2 << QString() << true;
            QTest::newRow(qPrintable(which + QStringLiteral(" maximum at the old minimum"))) << which << low << low - 100 << QString() << true;
            QTest::newRow(qPrintable(which + QStringLiteral(" wholly below the old minimum")))
                << which << low - 10 << low - 20 << QString::fromLatin1(kAxisMaximumRefused) << false;
            QTest::newRow(qPrintable(which + QStringLiteral(" minimum above its maximum")))
                << which << low + 5 << low + 6 << QString::fromLatin1(kAxisMinimumRefused) << true;
        }
    }
    void okFixed()
    {
        QFETCH(QString, which);
        QFETCH(double, maximum);
        QFETCH(double, minimum);
        QFETCH(QString, refusal);
        QFETCH(bool, maximumApplied);
        choose(which);
        const double oldMax = axis->maximum();
        const double oldMin = axis->minimum();

        dialog->show();
        dialog->SCCheckbox1->setChecked(false);
        dialog->SCCheckbox2->setChecked(false);
        dialog->SCFloatSpinEdit1->setValue(maximum);
        dialog->SCFloatSpinEdit2->setValue(minimum);
        QTest::mouseClick(dialog->SCButton1, Qt::LeftButton);
        QVERIFY(!GraphBusy);
        QVERIFY(!axis->automaticMaximum());
        QCOMPARE(axis->maximum(), maximumApplied ? maximum : oldMax);

        if (refusal.isEmpty()) {
            QCOMPARE(messages->count(), 0);
            QVERIFY(!dialog->isVisible());
            QVERIFY(!axis->automaticMinimum());
            QCOMPARE(axis->minimum(), minimum);
            graph->Chart1->replot();
            QCOMPARE(axis->axis()->range().upper >= axis->axis()->range().lower, true);
            QCOMPARE(axis->axis()->range().center(), (maximum + minimum) / 2);
            return;
        }
        QCOMPARE(messages->count(), 1);
        QCOMPARE(messages->calls()[0].title, QStringLiteral("Error"));
        QCOMPARE(messages->calls()[0].text, refusal);
        QVERIFY(dialog->isVisible());
        if (maximumApplied) {
            QVERIFY(!axis->automaticMinimum()); // switched off before the refusal
            QCOMPARE(axis->minimum(), oldMin);
        } else {
            QVERIFY(axis->automaticMinimum()); // never reached
        }

        // Corrected and pressed again.
        dialog->SCFloatSpinEdit1->setValue(oldMax);
        dialog->SCFloatSpinEdit2->setValue(oldMin);
        QTest::mouseClick(dialog->SCButton1, Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(axis->maximum(), oldMax);
        QCOMPARE(axis->minimum(), oldMin);
    }

    // An automatic end follows the data; a fixed one stays.
    void automaticFollowsData()
    {
        choose(QStringLiteral("left"));
        axis->setAutomaticMinimum(false);
        axis->setMinimum(-100);
        Navdata.state.Time.time = MakeTimeWord(21, 0);
        Navdata.state.Demo.altitude = 900;
        graph->series().addRecordPoints();
        graph->Chart1->replot();
        QCOMPARE(axis->axis()->range(), QCPRange(-100, 900));
        QCOMPARE(graph->bottomAxis().maximum(), 21.0);
    }

};

KESTRIX_GUI_TEST_MAIN(TestAxisDialogs)
#include "test_axis_dialogs.moc"
