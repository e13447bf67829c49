// LinkConfig::fromEnvironment: the two address variables, their defaults and
// the refusal of anything that is not an IPv4 address.
#include "kestrix/link/link_config.h"

#include "suite_main.h"

#include <QtTest>

using kestrix::link::LinkConfig;

namespace {

const char* const kDrone = "KESTRIX_DRONE_ADDRESS";
const char* const kBind = "KESTRIX_BIND_ADDRESS";

// Sets or (for a null QByteArray) unsets one variable.
void setVar(const char* name, const QByteArray& value)
{
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value);
}

} // namespace

class TestLinkConfig : public QObject {
    Q_OBJECT

    QByteArray savedDrone_, savedBind_;
    bool hadDrone_ = false, hadBind_ = false;

private slots:
    void initTestCase()
    {
        hadDrone_ = qEnvironmentVariableIsSet(kDrone);
        hadBind_ = qEnvironmentVariableIsSet(kBind);
        savedDrone_ = qgetenv(kDrone);
        savedBind_ = qgetenv(kBind);
    }
    void cleanup()
    {
        setVar(kDrone, hadDrone_ ? savedDrone_ : QByteArray());
        setVar(kBind, hadBind_ ? savedBind_ : QByteArray());
    }

    void defaults()
    {
        qunsetenv(kDrone);
        qunsetenv(kBind);
        QString error = QStringLiteral("stale");
        const LinkConfig c = LinkConfig::fromEnvironment(&error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        // The drone's own address: a fixed IPv4 address, not one of this machine's.
        QCOMPARE(c.droneAddress.protocol(), QAbstractSocket::IPv4Protocol);
        QVERIFY(!c.droneAddress.isLoopback());
        QVERIFY(c.droneAddress != QHostAddress(QHostAddress::AnyIPv4));
        QCOMPARE(c.bindAddress, QHostAddress(QHostAddress::Any));
    }

    void values_data()
    {
        QTest::addColumn<QByteArray>("drone");
        QTest::addColumn<QByteArray>("bind");
        QTest::addColumn<QString>("wantDrone"); // empty: the default
        QTest::addColumn<QString>("wantBind");  // empty: Any
        QTest::addColumn<QStringList>("errorParts"); // empty: no error

        const QByteArray unset;
        QTest::newRow("both set") << QByteArray("127.0.0.2") << QByteArray("127.0.0.1")
                                  << "127.0.0.2" << "127.0.0.1" << QStringList();
        QTest::newRow("blanks around") << QByteArray(" 127.0.0.2 ") << QByteArray("\t127.0.0.1")
                                       << "127.0.0.2" << "127.0.0.1" << QStringList();
        QTest::newRow("only drone") << QByteArray("127.0.0.2") << unset << "127.0.0.2" << ""
                                    << QStringList();
        QTest::newRow("bind all IPv4") << QByteArray("127.0.0.2") << QByteArray("0.0.0.0")
                                       << "127.0.0.2" << "0.0.0.0" << QStringList();
        QTest::newRow("drone text") << QByteArray("drone") << QByteArray("127.0.0.1") << ""
                                    << "127.0.0.1"
                                    << QStringList{kDrone, "\"drone\"", "not an IPv4 address"};
        QTest::newRow("drone out of range") << QByteArray("127.0.0.256") << QByteArray("127.0.0.1")
                                            << "" << "127.0.0.1"
                                            << QStringList{kDrone, "127.0.0.256"};
        QTest::newRow("drone IPv6") << QByteArray("::1") << QByteArray("127.0.0.1") << ""
                                    << "127.0.0.1" << QStringList{kDrone, "::1"};
        QTest::newRow("drone set but empty") << QByteArray("") << QByteArray("127.0.0.1") << ""
                                             << "127.0.0.1" << QStringList{kDrone};
        QTest::newRow("bind text") << QByteArray("127.0.0.2") << QByteArray("localhost")
                                   << "127.0.0.2" << "" << QStringList{kBind, "\"localhost\""};
        QTest::newRow("both bad") << QByteArray("x") << QByteArray("y") << "" << ""
                                  << QStringList{kDrone, "\"x\"", kBind, "\"y\""};
    }
    void values()
    {
        QFETCH(QByteArray, drone);
        QFETCH(QByteArray, bind);
        QFETCH(QString, wantDrone);
        QFETCH(QString, wantBind);
        QFETCH(QStringList, errorParts);

        qunsetenv(kDrone);
        qunsetenv(kBind);
        const LinkConfig defaults = LinkConfig::fromEnvironment();
        setVar(kDrone, drone);
        setVar(kBind, bind);

        QString error;
        const LinkConfig c = LinkConfig::fromEnvironment(&error);
        QCOMPARE(c.droneAddress, wantDrone.isEmpty() ? defaults.droneAddress : QHostAddress(wantDrone));
        QCOMPARE(c.bindAddress, wantBind.isEmpty() ? QHostAddress(QHostAddress::Any)
                                                   : QHostAddress(wantBind));
        if (errorParts.isEmpty()) {
            QVERIFY2(error.isEmpty(), qPrintable(error));
        } else {
            QVERIFY(!error.isEmpty());
            for (const QString& part : errorParts)
                QVERIFY2(error.contains(part), qPrintable(error + " lacks " + part));
        }
        // Without a place for the error it must not crash and gives the same result.
        const LinkConfig again = LinkConfig::fromEnvironment();
        QCOMPARE(again.droneAddress, c.droneAddress);
        QCOMPARE(again.bindAddress, c.bindAddress);
    }
};

KESTRIX_GUILESS_TEST(TestLinkConfig)
#include "test_link_config.moc"
