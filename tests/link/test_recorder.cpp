// The recording file: created anew, written unbuffered, whole datagrams only,
// and closable from another thread while datagrams are being appended.
#include "kestrix/link/recorder.h"

#include "suite_main.h"

#include <QtTest>

#include <sys/resource.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <thread>

using kestrix::link::Recorder;

namespace {

QByteArray readWhole(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<cannot read>");
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(content), content.size());
}

// A datagram that tells its own number: 8 bytes of the number, then filler.
QByteArray numbered(quint64 n, int size)
{
    QByteArray d(size, char('a' + n % 26));
    std::memcpy(d.data(), &n, sizeof n);
    return d;
}

} // namespace

class TestRecorder : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString path(const char* name) const { return dir_.filePath(QLatin1String(name)); }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    // Appends land on disk at once (no buffering in the tool), back to back,
    // and size() follows them.
    void appendsWholeDatagramsUnbuffered()
    {
        Recorder r;
        QCOMPARE(r.size(), qint64(-1));
        QVERIFY(!r.isOpen());
        const QString file = path("append.bin");
        QString error;
        QVERIFY2(r.create(file, &error), qPrintable(error));
        QVERIFY(r.isOpen());
        QCOMPARE(r.fileName(), file);
        QCOMPARE(r.size(), qint64(0));

        QByteArray expected;
        const QList<QByteArray> datagrams{QByteArray(1, '\x01'), QByteArray(500, 'x'),
                                          QByteArray("\0\0\r\n\xff", 5), QByteArray(),
                                          numbered(7, 8192)};
        for (const QByteArray& d : datagrams) {
            QVERIFY2(r.append(d, &error), qPrintable(error));
            expected += d;
            QCOMPARE(r.size(), qint64(expected.size()));
            // Read through a separate handle: everything is already in the file.
            QCOMPARE(readWhole(file), expected);
        }
        r.close();
        QVERIFY(!r.isOpen());
        QCOMPARE(r.size(), qint64(-1));
        QCOMPARE(r.fileName(), QString());
        QCOMPARE(readWhole(file), expected);
    }

    // An existing file is emptied, also when it is the open recording file
    // (Start twice); creating another file closes the first one untouched.
    void createTruncates()
    {
        const QString first = path("first.bin");
        const QString second = path("second.bin");
        writeFile(first, QByteArray(3000, 'j'));
        Recorder r;
        QString error;
        QVERIFY(r.create(first, &error));
        QCOMPARE(r.size(), qint64(0));
        QCOMPARE(QFileInfo(first).size(), qint64(0));
        QVERIFY(r.append("abc", &error));
        QVERIFY(r.create(first, &error)); // again, while open
        QCOMPARE(r.size(), qint64(0));
        QVERIFY(r.append("de", &error));
        QCOMPARE(readWhole(first), QByteArray("de"));

        QVERIFY(r.create(second, &error));
        QCOMPARE(r.fileName(), second);
        QVERIFY(r.append("fgh", &error));
        QCOMPARE(readWhole(first), QByteArray("de"));
        QCOMPARE(readWhole(second), QByteArray("fgh"));
        QCOMPARE(r.size(), qint64(3));
    }

    void failedCreate_data()
    {
        QTest::addColumn<QString>("bad");
        QTest::newRow("missing folder") << path("no/such/folder/x.bin");
        QTest::newRow("a folder") << dir_.path();
        QTest::newRow("empty name") << QString();
    }
    // The previous file is closed first, the message names the file, and no
    // file is open afterwards.
    void failedCreate()
    {
        QFETCH(QString, bad);
        Recorder r;
        QString error;
        const QString good = path("before.bin");
        QVERIFY(r.create(good, &error));
        QVERIFY(r.append("kept", &error));
        QVERIFY(!r.create(bad, &error));
        QCOMPARE(error, QStringLiteral("Cannot create file %1").arg(bad));
        QVERIFY(!r.isOpen());
        QCOMPARE(r.size(), qint64(-1));
        QCOMPARE(readWhole(good), QByteArray("kept"));
        // Nothing to record into: the step is skipped, not an error.
        error.clear();
        QVERIFY(r.append("lost", &error));
        QVERIFY(error.isEmpty());
        QCOMPARE(readWhole(good), QByteArray("kept"));
    }

    // A device that refuses every write (the disk is full).
    void failedAppendDiskFull()
    {
        if (!QFileInfo::exists("/dev/full"))
            QSKIP("no /dev/full here");
        Recorder r;
        QString error;
        QVERIFY2(r.create("/dev/full", &error), qPrintable(error));
        QVERIFY(!r.append(QByteArray(100, 'z'), &error));
        QVERIFY2(error.contains("/dev/full"), qPrintable(error));
        QVERIFY2(error.contains(QString::fromLocal8Bit(std::strerror(ENOSPC))), qPrintable(error));
        QVERIFY(r.isOpen()); // the file stays open
    }

    // A write cut short (here by the file size limit): append reports it and
    // the file keeps exactly the datagrams written before, not a partial one.
    void shortWriteLeavesWholeDatagrams()
    {
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        if (old.rlim_max != RLIM_INFINITY && old.rlim_max < 1000)
            QSKIP("file size limit already below the test's");
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);

        const QString file = path("limited.bin");
        Recorder r;
        QString error;
        QVERIFY(r.create(file, &error));
        const QByteArray a(600, 'a'), b(600, 'b'), c(300, 'c');
        QVERIFY(r.append(a, &error));

        rlimit limit = old;
        limit.rlim_cur = 1000;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        const bool appendedB = r.append(b, &error);
        const bool appendedC = r.append(c, &error);
        QString errorAfterC = error;
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!appendedB);
        QVERIFY2(error.contains(file), qPrintable(error));
        QVERIFY2(appendedC, qPrintable(errorAfterC));
        QCOMPARE(r.size(), qint64(900));
        QCOMPARE(readWhole(file), a + c);
    }

    // The loader closes the file on its own thread while the user-interface
    // thread appends and asks for the size: the close never cuts an append,
    // and after it nothing more is written.
    void closeFromAnotherThreadWhileAppending()
    {
        const QString file = path("concurrent.bin");
        Recorder r;
        QString error;
        QVERIFY(r.create(file, &error));
        constexpr int kSize = 64;
        constexpr int kMax = 200000;
        std::atomic<int> appended{0};
        std::atomic<bool> closed{false};
        std::thread loader([&] {
            while (appended.load() < 200)
                std::this_thread::yield();
            r.close();
            closed = true;
        });
        int n = 0;
        int writtenWhileOpen = 0;
        QElapsedTimer clock;
        clock.start();
        bool allOk = true;
        for (; n < kMax && clock.elapsed() < 5000; ++n) {
            allOk = r.append(numbered(quint64(n), kSize), &error) && allOk;
            const qint64 size = r.size();
            if (size >= 0) {
                writtenWhileOpen = n + 1;
                allOk = allOk && size == qint64(writtenWhileOpen) * kSize;
            }
            appended = n + 1;
            if (closed && n > writtenWhileOpen + 100)
                break;
        }
        loader.join();
        QVERIFY2(allOk, qPrintable(error));
        QVERIFY(closed);
        QVERIFY(!r.isOpen());

        const QByteArray content = readWhole(file);
        QCOMPARE(content.size() % kSize, 0);
        const int k = int(content.size() / kSize);
        QVERIFY2(k >= 200 && k < n, qPrintable(QString("k=%1 n=%2").arg(k).arg(n)));
        // The last append before the close may have gone in without its size query.
        QVERIFY(k == writtenWhileOpen || k == writtenWhileOpen + 1);
        for (int i = 0; i < k; ++i)
            QCOMPARE(content.mid(i * kSize, kSize), numbered(quint64(i), kSize));
    }
};

KESTRIX_GUILESS_TEST(TestRecorder)
#include "test_recorder.moc"
