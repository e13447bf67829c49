// The live stream's watch: link counts from arriving datagrams, the silence
// of a drone that stopped sending, and the wake requests until it is back.
// No sockets: datagrams are handed in directly, with a short silence.
#include "kestrix/link/navdata_watch.h"

#include "kestrix/packet_builder.h"

#include "suite_main.h"

#include <QSignalSpy>
#include <QtTest>

using namespace kestrix;
using namespace std::chrono_literals;

namespace {

QByteArray Datagram(uint32_t number)
{
    const std::vector<uint8_t> p = PacketBuilder(0, number).checksum().take();
    return QByteArray(reinterpret_cast<const char*>(p.data()), qsizetype(p.size()));
}

} // namespace

class TestNavdataWatch : public QObject {
    Q_OBJECT
private slots:
    void nothingWhileDatagramsFlow()
    {
        link::NavdataWatch watch; // the real silence of 1 s: a loaded machine stalls less than that
        QSignalSpy silence(&watch, &link::NavdataWatch::silenceChanged);
        QSignalSpy wakes(&watch, &link::NavdataWatch::wakeDue);
        watch.start();
        uint32_t number = 0;
        QTimer feed;
        connect(&feed, &QTimer::timeout, [&] { watch.datagram(Datagram(++number)); });
        feed.start(20);
        QTRY_VERIFY_WITH_TIMEOUT(number >= 100, 10000); // 2 s of flow, two silences long
        feed.stop();
        QCOMPARE(silence.count(), 0);
        QCOMPARE(wakes.count(), 0);
        QVERIFY(!watch.silent());
        QCOMPARE(watch.counter().summary().packets, uint64_t(number));
        QCOMPARE(watch.counter().summary().missing, uint64_t(0));
        QVERIFY(watch.counter().values().rate >= 1);
    }

    void silenceWakesAndResumes()
    {
        link::NavdataWatch watch(nullptr, 100ms);
        QSignalSpy silence(&watch, &link::NavdataWatch::silenceChanged);
        QSignalSpy wakes(&watch, &link::NavdataWatch::wakeDue);
        QSignalSpy seconds(&watch, &link::NavdataWatch::silentFor);
        watch.start();
        watch.datagram(Datagram(1));
        watch.datagram(Datagram(2));

        // Silent: marked once, wake requests repeated until datagrams return.
        QTRY_COMPARE_WITH_TIMEOUT(silence.count(), 1, 5000);
        QCOMPARE(silence.at(0).at(0).toBool(), true);
        QVERIFY(watch.silent());
        QCOMPARE(seconds.count(), 1);
        QCOMPARE(seconds.at(0).at(0).toInt(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(wakes.count() >= 3, 5000);
        QCOMPARE(watch.counter().summary().silences, uint64_t(1));

        // The drone restarted: numbers from 1 again, a restart, no gap.
        watch.datagram(Datagram(1));
        QCOMPARE(silence.count(), 2);
        QCOMPARE(silence.at(1).at(0).toBool(), false);
        QVERIFY(!watch.silent());
        const int wakesThen = wakes.count();
        watch.datagram(Datagram(4)); // 2 and 3 lost
        QCOMPARE(watch.counter().summary().restarts, uint64_t(1));
        QCOMPARE(watch.counter().values().gap, 2.0);
        QCOMPARE(watch.counter().summary().missing, uint64_t(2));
        QCOMPARE(wakes.count(), wakesThen);

        // Stop during a silence ends it; nothing more is asked.
        QTRY_VERIFY_WITH_TIMEOUT(watch.silent(), 5000);
        watch.stop();
        QVERIFY(!watch.silent());
        QCOMPARE(silence.last().at(0).toBool(), false);
        const int wakesAtStop = wakes.count();
        QTest::qWait(300);
        QCOMPARE(wakes.count(), wakesAtStop);
        QCOMPARE(watch.counter().summary().silences, uint64_t(2));
    }

    // A drone that never answers Start is silent too; datagrams too short to
    // hold a number are seen (the silence ends) but not counted.
    void silentFromStartAndShortDatagrams()
    {
        link::NavdataWatch watch(nullptr, 100ms);
        QSignalSpy silence(&watch, &link::NavdataWatch::silenceChanged);
        QVERIFY(!watch.watching());
        QTest::qWait(150);
        QCOMPARE(silence.count(), 0); // not watching before Start
        watch.start();
        QTRY_COMPARE_WITH_TIMEOUT(silence.count(), 1, 5000);
        watch.datagram(QByteArray("\x88\x77\x66\x55\x01", 5));
        QCOMPARE(silence.count(), 2);
        QCOMPARE(watch.counter().summary().packets, uint64_t(0));
        watch.reset();
        QCOMPARE(watch.counter().summary().silences, uint64_t(0));
    }
};

KESTRIX_GUILESS_TEST(TestNavdataWatch)
#include "test_navdata_watch.moc"
