// Every window the operator opens lies inside the screen's available area,
// on the test screen (KESTRIX_TEST_SCREEN, 1280 x 800 unless set: support.h),
// with the main window where it starts and moved against the screen's edges.
#include "support.h"

#include "app/application.h"
#include "control/atsamples.h"
#include "control/joystick.h"
#include "control/main.h"
#include "kit/shared_state.h"
#include "kit/widgets.h"
#include "navdata/tags.h"
#include "plot/bottomaxis.h"
#include "plot/graph.h"
#include "plot/leftaxis.h"

#include <QScreen>
#include <QtTest>
#include <qcustomplot.h>

using namespace kestrix;
using namespace kestrix::gui;
using namespace kestrix::gui::test;

namespace {

QString Describe(const QWidget* w)
{
    QString r;
    QDebug(&r) << w->objectName() << w->frameGeometry();
    return r;
}

} // namespace

class TestPlacement : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { HoldPortLock(); }
    void cleanup()
    {
        DestroyWindows();
        ResetSharedState();
    }

    void screenIsTheSizeAsked()
    {
        QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), TestScreenSize());
    }

    void everyWindowOnScreen_data()
    {
        QTest::addColumn<QString>("where");
        QTest::newRow("main window where it starts") << "start";
        QTest::newRow("main window at the right edge") << "right";
        QTest::newRow("main window at the bottom right") << "bottom right";
        QTest::newRow("main window at the top left") << "top left";
    }
    void everyWindowOnScreen()
    {
        QFETCH(QString, where);
        QVERIFY2(WaitForFreePorts(60000), "ports 5554/5556 stay taken by another program");
        MessageRecorder boxes;
        CreateWindows(LoopbackConfig());
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        Form1->show();
        QVERIFY(QTest::qWaitForWindowExposed(Form1));
        const QSize main = Form1->frameGeometry().size();
        if (where == QLatin1String("right")) {
            Form1->move(area.right() + 1 - main.width(), 102);
        } else if (where == QLatin1String("bottom right")) {
            Form1->move(area.right() + 1 - main.width(), area.bottom() + 1 - main.height());
        } else if (where == QLatin1String("top left")) {
            Form1->move(area.topLeft());
        }
        QVERIFY2(area.contains(Form1->frameGeometry()), qPrintable(Describe(Form1)));

        Form1->SCCheckbox3->setChecked(true); // AT samples
        Form1->SCCheckbox1->setChecked(true); // Joystick
        Form1->SCCheckbox2->setChecked(true); // NavData and Graph
        QVERIFY(QTest::qWaitForWindowExposed(Form5));
        Form5->Chart1ClickAxis(Form5->Chart1->yAxis);
        Form5->Chart1ClickAxis(Form5->Chart1->xAxis);

        // A window's frame is known once the window system has shown it: the
        // windows settle within a turn or two of the event loop.
        for (QWidget* w : std::initializer_list<QWidget*>{Form1, Form2, Form7, Form4, Form5, Form3, Form6}) {
            QVERIFY2(w->isVisible(), qPrintable(Describe(w)));
            QTRY_VERIFY2_WITH_TIMEOUT(area.contains(w->frameGeometry()),
                                      qPrintable(Describe(w) + QLatin1String(" outside ") +
                                                 QString::number(area.width()) + QLatin1Char('x') +
                                                 QString::number(area.height())),
                                      1000);
        }
        const QRect draw(Form5->SCButton3->mapToGlobal(QPoint(0, 0)), Form5->SCButton3->size());
        QVERIFY(area.contains(draw));
    }
};

KESTRIX_GUI_TEST_MAIN(TestPlacement)
#include "test_placement.moc"
