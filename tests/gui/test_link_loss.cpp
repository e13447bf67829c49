// Link loss and recovery with real send failures.
//
// The test runs itself again inside a private network namespace (unshare -n),
// where the loopback interface starts down and is switched with `ip`; every
// datagram stays on that namespace's loopback. Where unshare is not permitted
// the test is skipped.
#include "support.h"

#include "control/main.h"
#include "kit/widgets.h"

#include "kestrix/link/at_channel.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

#include <cstdlib>
#include <memory>
#include <unistd.h>
#include <vector>

using namespace kestrix;
using namespace kestrix::gui;
using namespace kestrix::gui::test;

namespace {

constexpr const char* kInNamespace = "KESTRIX_TEST_IN_NETNS";
constexpr const char* kSkipReason = "KESTRIX_TEST_NETNS_SKIP";

// Loopback up: the kernel adds the local routes. Loopback down: once lo has
// been up its local routes stay and sends still "succeed" (into a dead
// interface), so they are removed as well, as for any other interface going
// down; sends to 127.0.0.2 then fail with "Network is unreachable".
bool SetLoopback(bool up)
{
    if (up) {
        return QProcess::execute(QStringLiteral("ip"), {"link", "set", "lo", "up"}) == 0;
    }
    return QProcess::execute(QStringLiteral("ip"), {"link", "set", "lo", "down"}) == 0 &&
           QProcess::execute(QStringLiteral("ip"), {"route", "flush", "table", "local", "dev", "lo"}) == 0;
}

// The number of a numbered command ("AT*CONFIG=12,..." -> 12), -1 if none.
int NumberOf(const QByteArray& d)
{
    static const QRegularExpression re(QStringLiteral("^AT\\*[A-Z_]+=(-?\\d+)"));
    const auto m = re.match(QString::fromLatin1(d));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

} // namespace

class TestLinkLoss : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariable(kInNamespace) != QLatin1String("1")) {
            QSKIP(qPrintable(qEnvironmentVariable(kSkipReason)));
        }
    }

    void lossAndRecovery()
    {
        // Inside the namespace: loopback is down, nothing is reachable.
        UdpPeer drone(QStringLiteral("127.0.0.2"), {5556});
        QVERIFY2(drone.ok(), qPrintable(drone.error()));
        auto form = std::make_unique<TForm1>(LoopbackConfig());

        QElapsedTimer clock;
        clock.start();
        std::vector<qint64> probeTicks;
        int32_t seqBeforeConnect = -1; // AtSequence seen last while not connected
        int32_t identityBase = -1;     // AtSequence before the tick that connected
        bool wasConnected = false;
        auto track = [&] {
            if (form->linkConnected() && !wasConnected) {
                identityBase = seqBeforeConnect;
            }
            wasConnected = form->linkConnected();
            if (!wasConnected) {
                seqBeforeConnect = AtSequence().value();
            }
        };
        // Runs after the window's own handlers of the same timers.
        connect(form->Timer1, &QTimer::timeout, this, [&] {
            probeTicks.push_back(clock.elapsed());
            track();
        });
        connect(form->Timer2, &QTimer::timeout, this, track);
        seqBeforeConnect = AtSequence().value();

        // Not connected: a probe every 300 ms, none of them gets out.
        QTest::qWait(1050);
        QVERIFY(!form->linkConnected());
        QCOMPARE(form->windowTitle(), QStringLiteral("Control (not connected, waiting)"));
        QVERIFY(!form->SCButton1->isEnabled());
        QVERIFY(form->Timer1->isActive());
        QVERIFY(!form->Timer2->isActive());
        QVERIFY2(probeTicks.size() >= 3, qPrintable(QString::number(probeTicks.size())));
        // The timer keeps its cadence: a tick delayed by a busy start is
        // followed by one that comes early, so the gaps are judged on
        // average, and no tick comes twice.
        const qint64 span = probeTicks.back() - probeTicks.front();
        const qint64 meanGap = span / qint64(probeTicks.size() - 1);
        QVERIFY2(meanGap >= 250 && meanGap <= 400, qPrintable(QString::number(meanGap)));
        for (std::size_t i = 1; i < probeTicks.size(); ++i) {
            const qint64 gap = probeTicks[i] - probeTicks[i - 1];
            QVERIFY2(gap >= 50 && gap <= 550, qPrintable(QString::number(gap)));
        }
        QVERIFY(drone.received().empty());
        QCOMPARE(AtSequence().value(), 0);

        // Loopback up: connected at the next probe, identity settings 1, 2, 3.
        QVERIFY(SetLoopback(true));
        QTRY_VERIFY_WITH_TIMEOUT(form->linkConnected(), 1000);
        QCOMPARE(form->windowTitle(), QStringLiteral("Control (connected)"));
        QVERIFY(form->SCButton1->isEnabled());
        QVERIFY(!form->SCFrameEdit2->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(drone.matching(5556, "AT*COMWDG=6").size() == 1, 2000);
        {
            const auto got = drone.matching(5556);
            QCOMPARE(got[0].data, QByteArray("AT*COMWDG\r"));
            QCOMPARE(NumberOf(got[1].data), 1);
            QVERIFY(got[1].data.contains("custom:session_id"));
            QCOMPARE(NumberOf(got[2].data), 2);
            QVERIFY(got[2].data.contains("custom:application_id"));
            QCOMPARE(NumberOf(got[3].data), 3);
            QVERIFY(got[3].data.contains("custom:profile_id"));
            QCOMPARE(got[4].data, QByteArray("AT*COMWDG=4\r"));
        }

        // Loopback down: the next watchdog tick fails and the link is lost.
        const qint64 downAt = clock.elapsed();
        QVERIFY(SetLoopback(false));
        QTRY_VERIFY_WITH_TIMEOUT(!form->linkConnected(), 1000);
        QVERIFY2(clock.elapsed() - downAt <= 450, qPrintable(QString::number(clock.elapsed() - downAt)));
        QCOMPARE(form->windowTitle(), QStringLiteral("Control (not connected, waiting)"));
        QVERIFY(!form->SCButton1->isEnabled());
        QVERIFY(form->Timer1->isActive());
        QVERIFY(form->Timer2->isActive()); // keeps trying
        const int32_t atLoss = AtSequence().value();
        const std::size_t probesAtLoss = probeTicks.size();
        QTest::qWait(700);
        QVERIFY(!form->linkConnected());
        QVERIFY(probeTicks.size() >= probesAtLoss + 2);
        QVERIFY2(AtSequence().value() >= atLoss + 2, "each failing watchdog tick uses a number");
        const std::size_t seenBefore = drone.received().size();

        // Loopback up again: identity settings with the next free numbers.
        QVERIFY(SetLoopback(true));
        QTRY_VERIFY_WITH_TIMEOUT(form->linkConnected(), 1000);
        QTRY_VERIFY_WITH_TIMEOUT(drone.matching(5556, "AT*COMWDG=" + QByteArray::number(identityBase + 4)).size() == 1, 2000);
        const auto all = drone.matching(5556);
        // A watchdog tick may get out before the next probe does; it does not
        // connect. The probe does, followed by the identity settings.
        std::size_t p = seenBefore;
        while (p < all.size() && all[p].data != QByteArray("AT*COMWDG\r")) {
            QVERIFY2(all[p].data.startsWith("AT*COMWDG="), all[p].data.constData());
            ++p;
        }
        QVERIFY(p + 4 < all.size());
        QVERIFY(identityBase > atLoss);
        QCOMPARE(NumberOf(all[p + 1].data), identityBase + 1);
        QVERIFY(all[p + 1].data.contains("custom:session_id"));
        QCOMPARE(NumberOf(all[p + 2].data), identityBase + 2);
        QVERIFY(all[p + 2].data.contains("custom:application_id"));
        QCOMPARE(NumberOf(all[p + 3].data), identityBase + 3);
        QVERIFY(all[p + 3].data.contains("custom:profile_id"));
        QCOMPARE(all[p + 4].data, "AT*COMWDG=" + QByteArray::number(identityBase + 4) + "\r");

        // Every number that reached the drone is new.
        int last = 0;
        for (const auto& d : all) {
            const int n = NumberOf(d.data);
            if (n >= 0) {
                QVERIFY2(n > last, d.data.constData());
                last = n;
            }
        }
    }
};

// Runs this suite again inside a private network namespace, if permitted;
// otherwise leaves the reason for its test functions to skip with. Returns
// only when the suite is to run in this process.
static void EnterNetworkNamespace(int argc, char** argv)
{
    if (qEnvironmentVariable(kInNamespace) != QLatin1String("1")) {
        if (std::system("unshare -n true >/dev/null 2>&1") == 0) {
            ::setenv(kInNamespace, "1", 1);
            std::vector<char*> args{const_cast<char*>("unshare"), const_cast<char*>("-n"),
                                    const_cast<char*>("--")};
            static char self[4096];
            const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
            self[n > 0 ? n : 0] = '\0';
            args.push_back(n > 0 ? self : argv[0]);
            for (int i = 1; i < argc; ++i) {
                args.push_back(argv[i]);
            }
            args.push_back(nullptr);
            ::execvp("unshare", args.data());
            ::unsetenv(kInNamespace);
            ::setenv(kSkipReason, "unshare could not run this test in a network namespace", 1);
        } else {
            ::setenv(kSkipReason,
                     "a private network namespace (unshare -n) is not permitted here; it needs root "
                     "or user namespaces",
                     1);
        }
    }
}

KESTRIX_TEST_SUITE_(TestLinkLoss, EnterNetworkNamespace(argc, argv); kestrix::gui::test::PrepareEnvironment();
                    kestrix::gui::KestrixApplication app(argc, argv);)

#include "test_link_loss.moc"
