// AT command texts, numbering and the real-to-integer encoding.
#include "kestrix/at_commands.h"

#include "suite_main.h"

#include <QtTest>

#include <cfloat>
#include <cmath>
#include <limits>

using namespace kestrix::at;

class TestAtCommands : public QObject {
    Q_OBJECT
private slots:
    void floatToAtInteger_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("0.5") << 0.5 << 1056964608;
        QTest::newRow("-0.5") << -0.5 << -1090519040;
        QTest::newRow("0.3") << 0.3 << 1050253722;
        QTest::newRow("-0.3") << -0.3 << -1097229926;
        QTest::newRow("5.0") << 5.0 << 1084227584;
        QTest::newRow("0") << 0.0 << 0;
        QTest::newRow("100") << 100.0 << 1120403456;
        QTest::newRow("0.1 nearest single") << 0.1 << 1036831949;
        QTest::newRow("above single range clamps") << 1e39 << 0x7F7FFFFF;
        QTest::newRow("below single range clamps") << -1e300 << int(0xFF7FFFFFu);
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << 0x7F800000;
        QTest::newRow("tiny rounds to zero") << 1e-50 << 0;
    }
    void floatToAtInteger()
    {
        QFETCH(double, value);
        QFETCH(int, expected);
        QCOMPARE(FloatToAtInteger(value), expected);
    }

    void numbering_data()
    {
        QTest::addColumn<QString>("templ");
        QTest::addColumn<int>("before");
        QTest::addColumn<QString>("datagram");
        QTest::newRow("watchdog from 0") << "AT*COMWDG=#" << 0 << "AT*COMWDG=1\r";
        QTest::newRow("two placeholders share the number") << "A=#,B=#" << 9 << "A=10,B=10\r";
        QTest::newRow("no placeholder still consumes") << "AT*PWM=1,0,0,0,0" << 3 << "AT*PWM=1,0,0,0,0\r";
        QTest::newRow("wraps to negative") << "X=#" << std::numeric_limits<int>::max()
                                           << QString("X=%1\r").arg(std::numeric_limits<int>::min());
    }
    void numbering()
    {
        QFETCH(QString, templ);
        QFETCH(int, before);
        QFETCH(QString, datagram);
        AtSequence seq;
        seq.set(before);
        QCOMPARE(QString::fromStdString(NumberedDatagram(templ.toStdString(), seq)), datagram);
        QCOMPARE(seq.value(), int(uint32_t(before) + 1u));
    }

    void configIdsComposites_data()
    {
        QTest::addColumn<QString>("second");
        QTest::addColumn<int>("before");
        QTest::addColumn<QString>("datagram");
        const QString ids = "\"a0000aa1\",\"a0000aa3\",\"a0000aa2\"\r";
        QTest::newRow("start at 7")
            << QString::fromLatin1(kNavdataDemoFalse.data(), int(kNavdataDemoFalse.size())) << 7
            << "AT*CONFIG_IDS=8," + ids + "AT*CONFIG=9,\"general:navdata_demo\",\"FALSE\"\r";
        QTest::newRow("start at 41")
            << QString::fromLatin1(kNavdataDemoFalse.data(), int(kNavdataDemoFalse.size())) << 41
            << "AT*CONFIG_IDS=42," + ids + "AT*CONFIG=43,\"general:navdata_demo\",\"FALSE\"\r";
        QTest::newRow("typed command") << "AT*REF=#,290718208" << 4
                                       << "AT*CONFIG_IDS=5," + ids + "AT*REF=6,290718208\r";
        QTest::newRow("empty edit") << "" << 0 << "AT*CONFIG_IDS=1," + ids + "\r";
        QTest::newRow("copied sample keeps its 1") << "AT*PWM=1,10,20,30,40" << 2
                                                   << "AT*CONFIG_IDS=3," + ids + "AT*PWM=1,10,20,30,40\r";
    }
    void configIdsComposites()
    {
        QFETCH(QString, second);
        QFETCH(int, before);
        QFETCH(QString, datagram);
        AtSequence seq;
        seq.set(before);
        const std::string out = ConfigIdsDatagram(second.toStdString(), seq);
        QCOMPARE(QString::fromStdString(out), datagram);
        QCOMPARE(seq.value(), before + 2);
    }

    void startDatagramIs92Bytes()
    {
        AtSequence seq;
        seq.set(7);
        QCOMPARE(ConfigIdsDatagram(kNavdataDemoFalse, seq).size(), std::size_t(92));
    }

    void receiveWatchdog()
    {
        AtSequence seq;
        seq.set(41);
        QCOMPARE(ReceiveWatchdogDatagram(seq), std::string("AT*COMWDG=42\r"));
        QCOMPARE(seq.value(), 42);
    }

    void builtTexts()
    {
        QCOMPARE(LedCommand(3, 5.0, 2), std::string("AT*LED=1,3,1084227584,2"));
        QCOMPARE(PwmCommand(0, 128, 255, 7), std::string("AT*PWM=1,0,128,255,7"));
    }

    void refWords()
    {
        QCOMPARE(kRefWordLand & 0x300, 0);
        QCOMPARE(kRefWordTakeOff - kRefWordLand, 512);
        QCOMPARE(kRefWordEmergency - kRefWordLand, 256);
        QVERIFY(kRefTakeOff.ends_with(std::to_string(kRefWordTakeOff)));
        QVERIFY(kRefLand.ends_with(std::to_string(kRefWordLand)));
        QVERIFY(kRefEmergency.ends_with(std::to_string(kRefWordEmergency)));
        QVERIFY(kRefStopAll.ends_with(std::to_string(kRefWordEmergency)));
    }

    void motionTextsEncodeTheirReals()
    {
        // Each movement carries exactly one non-zero value, encoded from the
        // real its caption names.
        const auto enc = [](double v) { return std::to_string(FloatToAtInteger(v)); };
        QCOMPARE(kPcmdUp, "AT*PCMD=#,1,0,0," + enc(0.5) + ",0");
        QCOMPARE(kPcmdDown, "AT*PCMD=#,1,0,0," + enc(-0.5) + ",0");
        QCOMPARE(kPcmdYawLeft, "AT*PCMD=#,1,0,0,0," + enc(-0.3));
        QCOMPARE(kPcmdYawRight, "AT*PCMD=#,1,0,0,0," + enc(0.3));
        QCOMPARE(kPcmdForward, "AT*PCMD=#,1,0," + enc(-0.3) + ",0,0");
        QCOMPARE(kPcmdBackward, "AT*PCMD=#,1,0," + enc(0.3) + ",0,0");
        QCOMPARE(kPcmdLeft, "AT*PCMD=#,1," + enc(-0.3) + ",0,0,0");
        QCOMPARE(kPcmdRight, "AT*PCMD=#,1," + enc(0.3) + ",0,0,0");
    }
};

KESTRIX_APPLESS_TEST(TestAtCommands)
#include "test_at_commands.moc"
