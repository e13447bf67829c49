// The main window with the Joystick and AT samples windows, connected to a
// stand-in drone on 127.0.0.2:5556. Once the link is up the watchdog is
// stopped, so every AT datagram the drone sees afterwards comes from the test.
#pragma once

#include "support.h"

#include "control/atsamples.h"
#include "control/joystick.h"
#include "control/main.h"
#include "kit/shared_state.h"

#include <QtTest>

#include <memory>
#include <vector>

namespace kestrix::gui::test {

struct ConnectedWindows {
    UdpPeer drone{QStringLiteral("127.0.0.2"), {5556}};
    std::unique_ptr<TForm1> main;
    std::unique_ptr<TForm2> joystick;
    std::unique_ptr<TForm7> samples;

    // Creates the windows in their order and waits for the link. False with
    // the reason in `why`.
    bool open(QString& why)
    {
        if (!drone.ok()) {
            why = drone.error();
            return false;
        }
        ResetSharedState();
        main = std::make_unique<TForm1>(LoopbackConfig());
        joystick = std::make_unique<TForm2>();
        samples = std::make_unique<TForm7>();
        if (!QTest::qWaitFor([this] { return main->linkConnected(); }, 3000)) {
            why = QStringLiteral("the link did not come up");
            return false;
        }
        main->Timer2->stop();
        // The probe and the three identity settings.
        if (!QTest::qWaitFor([this] { return drone.matching(5556).size() >= 4; }, 1000)) {
            why = QStringLiteral("the identity settings did not arrive");
            return false;
        }
        drone.clear();
        return true;
    }

    ~ConnectedWindows()
    {
        samples.reset();
        joystick.reset();
        main.reset();
    }

    // The AT datagrams the drone has received, in order.
    std::vector<QByteArray> at() const
    {
        std::vector<QByteArray> out;
        for (const auto& d : drone.matching(5556)) {
            out.push_back(d.data);
        }
        return out;
    }
};

// The fixture of the window tests that fly: fresh connected windows for every
// test function, the port lock for the whole program.
class ConnectedWindowsTest : public QObject {
    Q_OBJECT

protected:
    std::unique_ptr<ConnectedWindows> w;
    TForm2* j = nullptr; // the Joystick window
    TForm7* s = nullptr; // the AT samples window

private slots:
    void initTestCase() { HoldPortLock(); }
    void init()
    {
        QVERIFY2(WaitForFreePorts(60000), "ports 5554/5556 stay taken by another program");
        w = std::make_unique<ConnectedWindows>();
        QString why;
        QVERIFY2(w->open(why), qPrintable(why));
        j = w->joystick.get();
        s = w->samples.get();
    }
    void cleanup()
    {
        j = nullptr;
        s = nullptr;
        w.reset();
    }
};

// A numbered datagram taken apart: the text with "#" in place of its
// sequence number and without the final "\r", and the number (-1 if none).
struct Numbered {
    QByteArray templ;
    qint64 number = -1;
};

inline Numbered Unnumber(QByteArray datagram)
{
    if (datagram.endsWith('\r')) {
        datagram.chop(1);
    }
    const qsizetype eq = datagram.indexOf('=');
    if (eq < 0) {
        return {datagram, -1};
    }
    qsizetype end = eq + 1;
    while (end < datagram.size() && datagram[end] != ',') {
        ++end;
    }
    bool ok = false;
    const qint64 n = datagram.mid(eq + 1, end - eq - 1).toLongLong(&ok);
    if (!ok) {
        return {datagram, -1};
    }
    return {datagram.left(eq + 1) + '#' + datagram.mid(end), n};
}

} // namespace kestrix::gui::test
