// Load: 5000 datagrams a second for 10 s, recorded at divisor 1, while the
// user-interface thread is blocked for 3 s in the middle. Every datagram must
// reach the file, in order.
#include "support.h"

#include "control/main.h"
#include "kit/widgets.h"

#include "kestrix/decoder.h"
#include "kestrix/link/navdata_channel.h"

#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace kestrix;
using namespace kestrix::gui;
using namespace kestrix::gui::test;

class TestLoad : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        HoldPortLock();
        if (SimPath().isEmpty()) {
            QSKIP("kestrix_sim not built");
        }
        ResetSharedState();
        QVERIFY2(WaitForFreePorts(60000), "ports 5554/5556 stay taken by another program");
    }

    void recordEveryDatagramWhileBlocked()
    {
        constexpr int kPackets = 50000; // 10 s at 5000/s
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("load.bin"));
        SimProcess sim({QStringLiteral("--rate"), QStringLiteral("5000"), QStringLiteral("--packets"),
                        QString::number(kPackets), QStringLiteral("--duration"), QStringLiteral("30")});
        QVERIFY2(sim.started(), qPrintable(sim.errorText()));

        TForm1 form(LoopbackConfig());
        QTRY_VERIFY_WITH_TIMEOUT(form.linkConnected(), 2000);
        form.SCFrameEdit4->setText(file);
        QTest::mouseClick(form.SCCheckbox4, Qt::LeftButton);
        QVERIFY(RecordingFile.isOpen());
        form.SCComboboxEx1->setCurrentIndex(0);
        QCOMPARE(RecordDivisor, 1);

        QElapsedTimer clock;
        qint64 blockedFrom = -1, blockedTo = -1;
        int32_t counterBefore = 0;
        QTimer::singleShot(5000, [&] {
            counterBefore = PacketCounter;
            blockedFrom = clock.elapsed();
            QThread::sleep(3); // the user-interface thread does nothing for 3 s
            blockedTo = clock.elapsed();
        });
        clock.start();
        QTest::mouseClick(form.SCButton1, Qt::LeftButton);

        // The stream ends after kPackets; then the backlog drains.
        QElapsedTimer wait;
        wait.start();
        while (PacketCounter < kPackets && wait.elapsed() < 40000) {
            QTest::qWait(20);
        }
        const qint64 drainedAt = clock.elapsed();
        QTest::qWait(200);
        QTest::mouseClick(form.SCButton2, Qt::LeftButton);
        const QString summary = sim.finish();
        const qint64 sent = SimProcess::PacketsSent(summary);

        const QByteArray content = ReadFile(file);
        const auto* bytes = reinterpret_cast<const uint8_t*>(content.constData());
        const ByteSpan stream(bytes, std::size_t(content.size()));
        NavdataDecoder decoder;
        int32_t offset = 0;
        qint64 recorded = 0;
        quint32 expectedNumber = 1;
        bool inOrder = true;
        while (offset < content.size()) {
            if (FindPacketStart(stream, offset) != offset) {
                inOrder = false;
                break;
            }
            const int32_t next = DecodeNavdataPacket(stream, offset, decoder);
            if (next <= offset || next > content.size()) {
                inOrder = false;
                break;
            }
            const quint32 number = PacketNumber(content.mid(offset, 12));
            if (number != expectedNumber) {
                qWarning() << "packet" << number << "where" << expectedNumber << "was due";
                inOrder = false;
                break;
            }
            ++expectedNumber;
            ++recorded;
            offset = next;
        }

        const int peak = form.IdUDPServer1->peakQueueLength();
        qInfo().noquote() << QStringLiteral(
                                 "load: datagrams sent %1, handled %2, recorded %3 (%4 bytes), dropped %5, "
                                 "peak queue %6; UI blocked %7..%8 ms after Start with %9 handled; all "
                                 "handled at %10 ms")
                                 .arg(sent)
                                 .arg(PacketCounter)
                                 .arg(recorded)
                                 .arg(content.size())
                                 .arg(form.IdUDPServer1->droppedCount())
                                 .arg(peak)
                                 .arg(blockedFrom)
                                 .arg(blockedTo)
                                 .arg(counterBefore)
                                 .arg(drainedAt);
        qInfo().noquote() << "simulator:" << summary.trimmed().split(QLatin1Char('\n')).last();

        QCOMPARE(sent, qint64(kPackets));
        QVERIFY(blockedTo - blockedFrom >= 2900);
        QVERIFY(counterBefore > 0 && counterBefore < kPackets);
        QVERIFY(inOrder);
        QCOMPARE(PacketCounter, kPackets);
        QCOMPARE(recorded, sent);
        QCOMPARE(form.IdUDPServer1->droppedCount(), qint64(0));
        QVERIFY2(peak >= 5000, "the block should have left a backlog");
        QTest::mouseClick(form.SCCheckbox4, Qt::LeftButton);
    }
};

KESTRIX_GUI_TEST_MAIN(TestLoad)
#include "test_load.moc"
