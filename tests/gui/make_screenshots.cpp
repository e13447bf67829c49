// kestrix_screenshots OUTDIR: the README's pictures, taken from the real
// windows against kestrix_sim on loopback. It walks the README's first
// flight: connect, record while flying with the keyboard, open the recording
// in the NavData window, drop two fields on the Graph window. Run it through
// scripts/screenshots.sh (a virtual X server), or with
// QT_QPA_PLATFORM=offscreen.
#include "support.h"

#include "plot/graph.h"
#include "control/joystick.h"
#include "control/main.h"
#include "kit/shared_state.h"
#include "navdata/tags.h"
#include "kit/widgets.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTest>

#include <cstdio>
#include <functional>

using namespace kestrix::gui;
using namespace kestrix::gui::test;

namespace {

bool waitFor(const std::function<bool()>& done, int ms)
{
    return QTest::qWaitFor(done, ms);
}

bool save(QWidget* w, const QDir& out, const char* name)
{
    w->raise();
    QTest::qWait(300);
    const QString path = out.filePath(QString::fromLatin1(name));
    if (!w->grab().save(path)) {
        std::fprintf(stderr, "kestrix_screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

int fail(const char* what)
{
    std::fprintf(stderr, "kestrix_screenshots: %s\n", what);
    DestroyWindows();
    return 1;
}

void key(QWidget* w, Qt::Key k, int holdMs)
{
    QTest::keyPress(w, k);
    QTest::qWait(holdMs);
    QTest::keyRelease(w, k);
    QTest::qWait(100);
}

} // namespace

int main(int argc, char** argv)
{
    PrepareEnvironment();
    KestrixApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrix_screenshots OUTDIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::fprintf(stderr, "kestrix_screenshots: cannot create %s\n", argv[1]);
        return 2;
    }
    if (!WaitForFreePorts(10000)) {
        std::fprintf(stderr, "kestrix_screenshots: ports 5554/5556 are taken\n");
        return 1;
    }
    SimProcess sim({QStringLiteral("--rate"), QStringLiteral("200")});
    if (!sim.started()) {
        std::fprintf(stderr, "kestrix_screenshots: %s\n", qPrintable(sim.errorText()));
        return 1;
    }
    QTemporaryDir work;
    const QString recording = work.filePath(QStringLiteral("first-flight.navdata"));

    CreateWindows(LoopbackConfig());
    Form1->show();
    if (!waitFor([] { return Form1->linkConnected(); }, 5000)) {
        return fail("the simulator did not answer");
    }

    // Record every datagram while flying: take off, forward, turn, land.
    Form1->SCFrameEdit4->setText(recording);
    Form1->SCComboboxEx1->setCurrentIndex(0);
    Form1->SCCheckbox4->setChecked(true);
    QTest::mouseClick(Form1->SCButton1, Qt::LeftButton);
    Form1->SCCheckbox1->setChecked(true);
    Form2->move(Form1->x() + Form1->frameGeometry().width() + 10, Form1->y());
    Form2->activateWindow();
    QTest::qWait(300);
    key(Form2, Qt::Key_Shift, 50);
    QTest::qWait(1500);
    QTest::keyPress(Form2, Qt::Key_W);
    QTest::qWait(1200);
    if (!save(Form2, out, "joystick.png")) {
        return fail("no picture");
    }
    QTest::keyRelease(Form2, Qt::Key_W);
    key(Form2, Qt::Key_L, 800);
    key(Form2, Qt::Key_I, 600);
    if (!save(Form1, out, "main.png")) {
        return fail("no picture");
    }
    key(Form2, Qt::Key_Shift, 50);
    QTest::qWait(1500);
    QTest::mouseClick(Form1->SCButton2, Qt::LeftButton);
    Form1->SCCheckbox4->setChecked(false);
    Form1->SCCheckbox1->setChecked(false);

    // Open the recording and plot two fields over it.
    Form1->SCCheckbox2->setChecked(true);
    Form4->move(Form1->x(), Form1->y() + Form1->frameGeometry().height() + 10);
    Form5->move(Form4->x() + Form4->frameGeometry().width() + 10, Form4->y());
    Form4->startLoad(recording);
    if (!waitFor([] { return !Form4->isLoading(); }, 10000)) {
        return fail("the recording did not load");
    }
    Form4->DemoClick(0);
    Form5->SCCombobox1DragDrop(QStringLiteral("altitude"));
    Form5->SCCombobox1DragDrop(QStringLiteral("psi"));
    Form4->SCEditRecordsCount->setValue(300);
    Form4->SCButton6Click();
    if (!save(Form4, out, "navdata.png") || !save(Form5, out, "graph.png")) {
        return fail("no picture");
    }
    DestroyWindows();
    sim.finish();
    return 0;
}
