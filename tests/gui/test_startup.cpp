// Start-up of the program: the seven windows, the event loop ending with the
// main window, start-up failures, and errors escaping handlers.
#include "support.h"

#include "app/application.h"
#include "control/atsamples.h"
#include "plot/bottomaxis.h"
#include "plot/graph.h"
#include "control/joystick.h"
#include "plot/leftaxis.h"
#include "control/main.h"
#include "navdata/tags.h"

#include <QMouseEvent>
#include <QProcessEnvironment>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

#include <stdexcept>

using namespace kestrix;
using namespace kestrix::gui;
using namespace kestrix::gui::test;

namespace {

QString DiagnosticsPath()
{
#ifdef KESTRIX_DIAGNOSTICS_PATH
    return QStringLiteral(KESTRIX_DIAGNOSTICS_PATH);
#else
    return {};
#endif
}

QProcessEnvironment ToolEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("KESTRIX_DRONE_ADDRESS"), QStringLiteral("127.0.0.2"));
    env.insert(QStringLiteral("KESTRIX_BIND_ADDRESS"), QStringLiteral("127.0.0.1"));
    return env;
}

// An object whose event handler fails. (A plain event keeps the unwinding
// inside Qt Core, which cleans up after itself; input events would leave
// Qt Gui's copies of the event behind.)
class FailingObject : public QObject {
public:
    int calls = 0;

protected:
    void customEvent(QEvent*) override
    {
        ++calls;
        throw std::runtime_error("handler failed on purpose");
    }
};

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { HoldPortLock(); }
    void init() { QVERIFY2(WaitForFreePorts(60000), "ports 5554/5556 stay taken by another program"); }

    // The program's own start: seven windows, only the main one shown;
    // closing it ends the event loop and frees the windows.
    void startShowsOnlyTheMainWindow()
    {
        struct Seen {
            QString cls, title, name;
            bool visible;
        };
        std::vector<Seen> seen;
        bool mainVisible = false;
        QTimer::singleShot(600, [&] {
            QWidget* windows[] = {Form2, Form4, Form5, Form3, Form6, Form7};
            for (QWidget* w : windows) {
                if (w) {
                    seen.push_back({QString::fromLatin1(w->metaObject()->className()), w->windowTitle(),
                                    w->objectName(), w->isVisible()});
                }
            }
            mainVisible = Form1 && Form1->isVisible();
            if (Form1) {
                Form1->close();
            }
        });
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(10000);
        const int rc = RunDiagnostics(*static_cast<KestrixApplication*>(qApp));
        QCOMPARE(rc, 0);
        QVERIFY(mainVisible);
        const Seen expected[] = {{"kestrix::gui::TForm2", "Joystick", "Form2", false},
                                 {"kestrix::gui::TForm4", "NavData", "Form4", false},
                                 {"kestrix::gui::TForm5", "Graph", "Form5", false},
                                 {"kestrix::gui::TForm3", "LeftAxis", "Form3", false},
                                 {"kestrix::gui::TForm6", "BottomAxis", "Form6", false},
                                 {"kestrix::gui::TForm7", "AT samples", "Form7", false}};
        QCOMPARE(seen.size(), std::size(expected));
        for (std::size_t i = 0; i < seen.size(); ++i) {
            QCOMPARE(seen[i].cls, expected[i].cls);
            QCOMPARE(seen[i].title, expected[i].title);
            QCOMPARE(seen[i].name, expected[i].name);
            QCOMPARE(seen[i].visible, expected[i].visible);
        }
        QVERIFY(!Form1 && !Form2 && !Form3 && !Form4 && !Form5 && !Form6 && !Form7);
    }

    // A failed creation of the main window leaves no window behind.
    void failedCreationLeavesNoWindows()
    {
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress(QStringLiteral("127.0.0.1")), 5556));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, CreateWindows(LoopbackConfig()));
        QVERIFY(!Form1 && !Form2 && !Form7);
    }

    // The real program, against a stand-in drone: it probes and connects.
    void programProbesTheDrone()
    {
        const QString exe = DiagnosticsPath();
        if (exe.isEmpty()) {
            QSKIP("kestrix_diagnostics not built");
        }
        UdpPeer drone(QStringLiteral("127.0.0.2"), {5556});
        QVERIFY2(drone.ok(), qPrintable(drone.error()));
        QProcess p;
        p.setProcessEnvironment(ToolEnvironment());
        p.start(exe, {});
        QVERIFY(p.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(drone.matching(5556, "AT*CONFIG=3,").size() == 1, 5000);
        const auto got = drone.matching(5556);
        QCOMPARE(got.front().data, QByteArray("AT*COMWDG\r"));
        QCOMPARE(got.front().sourcePort, quint16(5556));
        p.terminate();
        QVERIFY(p.waitForFinished(5000));
    }

    // Port 5556 taken: the program stops with a message naming the port.
    void portInUse()
    {
        const QString exe = DiagnosticsPath();
        if (exe.isEmpty()) {
            QSKIP("kestrix_diagnostics not built");
        }
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress(QStringLiteral("127.0.0.1")), 5556));
        QProcess p;
        p.setProcessEnvironment(ToolEnvironment());
        p.start(exe, {});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY(p.exitCode() != 0);
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QVERIFY2(err.contains(QLatin1String("5556")), qPrintable(err));
        QVERIFY2(err.contains(QLatin1String("in use")), qPrintable(err));
    }

    void badAddress_data()
    {
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("value");
        QTest::newRow("drone") << "KESTRIX_DRONE_ADDRESS" << "drone.local";
        QTest::newRow("bind") << "KESTRIX_BIND_ADDRESS" << "127.0.0.300";
        QTest::newRow("empty") << "KESTRIX_DRONE_ADDRESS" << "";
    }

    // A bad address setting stops the program with a message naming it.
    void badAddress()
    {
        QFETCH(QString, variable);
        QFETCH(QString, value);
        const QString exe = DiagnosticsPath();
        if (exe.isEmpty()) {
            QSKIP("kestrix_diagnostics not built");
        }
        QProcessEnvironment env = ToolEnvironment();
        env.insert(variable, value);
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(exe, {});
        QVERIFY(p.waitForFinished(10000));
        QVERIFY(p.exitCode() != 0);
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QVERIFY2(err.contains(variable), qPrintable(err));
    }

    // An error escaping an event handler is shown once in the standard error
    // box; the program goes on.
    void escapingErrorShownInErrorBox()
    {
        MessageRecorder boxes;
        FailingObject o;
        QEvent e1(QEvent::User);
        QCoreApplication::sendEvent(&o, &e1);
        QCOMPARE(o.calls, 1);
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.calls()[0].title, QStringLiteral("Error"));
        QCOMPARE(boxes.calls()[0].text, QStringLiteral("handler failed on purpose"));
        // The program goes on: the next event is handled (and fails) again.
        QEvent e2(QEvent::User);
        QCoreApplication::sendEvent(&o, &e2);
        QCOMPARE(o.calls, 2);
        QCOMPARE(boxes.count(), 2);
    }
};

KESTRIX_GUI_TEST_MAIN(TestStartup)
#include "test_startup.moc"
