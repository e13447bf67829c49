// Recording against the simulator: which datagrams land in the file, the
// recording controls and their failures.
#include "support.h"

#include "control/main.h"
#include "kit/widgets.h"

#include "kestrix/link/at_channel.h"
#include "kestrix/link/navdata_channel.h"

#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>

using namespace kestrix;
using namespace kestrix::gui;
using namespace kestrix::gui::test;

namespace {

struct Seen {
    int32_t counter; // PacketCounter after the handler
    QByteArray data;
};

} // namespace

class TestRecording : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<QTemporaryDir> dir;
    std::vector<Seen> seen;
    std::function<void(int32_t)> afterDatagram;

    QString path(const char* name) const { return dir->filePath(QString::fromLatin1(name)); }

    // Simulator at `rate`, a connected window, and a tap that notes every
    // datagram the handler took.
    bool Setup(const char* rate = "3000")
    {
        dir = std::make_unique<QTemporaryDir>();
        sim = std::make_unique<SimProcess>(QStringList{QStringLiteral("--rate"), QString::fromLatin1(rate)});
        if (!sim->started()) {
            qWarning() << sim->errorText();
            return false;
        }
        form = std::make_unique<TForm1>(LoopbackConfig());
        form->IdUDPServer1->setHandler([this](const QByteArray& d) {
            const bool ok = form->IdUDPServer1UDPRead(d);
            seen.push_back({PacketCounter, d});
            if (afterDatagram) {
                afterDatagram(PacketCounter);
            }
            return ok;
        });
        QElapsedTimer t;
        t.start();
        while (!form->linkConnected() && t.elapsed() < 2000) {
            QTest::qWait(10);
        }
        return form->linkConnected();
    }

    bool WaitCounter(int32_t n, int timeoutMs = 5000)
    {
        QElapsedTimer t;
        t.start();
        while (PacketCounter < n && t.elapsed() < timeoutMs) {
            QTest::qWait(5);
        }
        return PacketCounter >= n;
    }

    void ChooseFile(const QString& name)
    {
        form->SaveFileNameProvider = [name] { return std::optional<QString>(name); };
        QTest::mouseClick(form->SCButton4, Qt::LeftButton);
    }

    // The datagrams seen from index `from` on whose counter is a multiple of
    // `divisor`, laid end to end.
    QByteArray Expected(std::size_t from, int divisor) const
    {
        QByteArray out;
        for (std::size_t i = from; i < seen.size(); ++i) {
            if (seen[i].counter % divisor == 0) {
                out += seen[i].data;
            }
        }
        return out;
    }

    // No datagram lost between index `from` and the end: the simulator's
    // packet numbers run on without a gap, as does PacketCounter.
    bool Contiguous(std::size_t from) const
    {
        for (std::size_t i = from + 1; i < seen.size(); ++i) {
            if (PacketNumber(seen[i].data) != PacketNumber(seen[i - 1].data) + 1 ||
                seen[i].counter != seen[i - 1].counter + 1) {
                qWarning() << "gap at" << i << PacketNumber(seen[i - 1].data) << PacketNumber(seen[i].data);
                return false;
            }
        }
        return true;
    }

private slots:
    void initTestCase()
    {
        HoldPortLock();
        if (SimPath().isEmpty()) {
            QSKIP("kestrix_sim not built");
        }
    }
    void init()
    {
        ResetSharedState();
        QVERIFY2(WaitForFreePorts(60000), "ports 5554/5556 stay taken by another program");
        seen.clear();
        afterDatagram = {};
    }
    void cleanup()
    {
        form.reset();
        sim.reset();
        dir.reset();
    }

    void divisor_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("divisor");
        QTest::newRow("each") << 0 << 1;
        QTest::newRow("1/10") << 1 << 10;
        QTest::newRow("1/100") << 2 << 100;
    }

    // The file is exactly the datagrams whose PacketCounter is a multiple of
    // the divisor, byte for byte, in order.
    void divisor()
    {
        QFETCH(int, index);
        QFETCH(int, divisor);
        QVERIFY(Setup());
        const QString file = path("rec.bin");
        ChooseFile(file);
        QCOMPARE(form->SCFrameEdit4->text(), file);
        QTest::mouseClick(form->SCCheckbox4, Qt::LeftButton);
        QVERIFY(form->SCCheckbox4->isChecked());
        QVERIFY(RecordingFile.isOpen());
        QVERIFY(form->SCFrameEdit2->isEnabled());
        form->SCComboboxEx1->setCurrentIndex(index);
        QCOMPARE(RecordDivisor, divisor);

        QTest::mouseClick(form->SCButton1, Qt::LeftButton);
        QVERIFY(WaitCounter(450));
        QTest::mouseClick(form->SCButton2, Qt::LeftButton);
        QVERIFY(seen.size() >= 450);
        QVERIFY(Contiguous(0));
        QCOMPARE(seen.front().counter, 1);

        const QByteArray content = ReadFile(file);
        QCOMPARE(content.size(), Expected(0, divisor).size());
        QVERIFY(content == Expected(0, divisor));
        int recorded = 0;
        for (const auto& s : seen) {
            recorded += s.counter % divisor == 0;
        }
        QCOMPARE(recorded, int(seen.size()) / divisor);
        QCOMPARE(form->SCFrameEdit2->text(), QString::number(content.size() / 1000));
        // Stop leaves the file open and the size shown.
        QVERIFY(RecordingFile.isOpen());
        QTest::mouseClick(form->SCCheckbox4, Qt::LeftButton);
        QVERIFY(!RecordingFile.isOpen());
        QCOMPARE(form->SCFrameEdit2->text(), QString());
        QVERIFY(!form->SCFrameEdit2->isEnabled());
    }

    // Switching from 1/100 to 1/10 at datagram 1234 records 1240 next, with
    // the same count.
    void divisorChangeWhileStreaming()
    {
        QVERIFY(Setup("5000"));
        const QString file = path("change.bin");
        ChooseFile(file);
        QTest::mouseClick(form->SCCheckbox4, Qt::LeftButton);
        QCOMPARE(RecordDivisor, 100);
        afterDatagram = [this](int32_t counter) {
            if (counter == 1234) {
                form->SCComboboxEx1->setCurrentIndex(1);
            }
        };
        QTest::mouseClick(form->SCButton1, Qt::LeftButton);
        QVERIFY(WaitCounter(1400));
        QTest::mouseClick(form->SCButton2, Qt::LeftButton);
        QVERIFY(Contiguous(0));

        QByteArray expected;
        QList<int32_t> counters;
        for (const auto& s : seen) {
            if ((s.counter <= 1234 && s.counter % 100 == 0) || (s.counter > 1234 && s.counter % 10 == 0)) {
                expected += s.data;
                counters.push_back(s.counter);
            }
        }
        QCOMPARE(counters.mid(11, 3), (QList<int32_t>{1200, 1240, 1250}));
        QVERIFY(ReadFile(file) == expected);
    }

    // Start with both boxes ticked empties the file; without "Rewrite On
    // Start" the file keeps growing across Stop and Start.
    void rewriteOnStart()
    {
        QVERIFY(Setup());
        const QString file = path("rewrite.bin");
        ChooseFile(file);
        QTest::mouseClick(form->SCCheckbox4, Qt::LeftButton);
        form->SCComboboxEx1->setCurrentIndex(0);

        QTest::mouseClick(form->SCButton1, Qt::LeftButton);
        QVERIFY(WaitCounter(100));
        QVERIFY(ReadFile(file).size() > 0);
        const std::size_t second = seen.size();
        QTest::mouseClick(form->SCButton1, Qt::LeftButton); // the same file, emptied
        QCOMPARE(PacketCounter, 0);
        QVERIFY(WaitCounter(100));
        QTest::mouseClick(form->SCButton2, Qt::LeftButton);
        QVERIFY(ReadFile(file) == Expected(second, 1));
        QCOMPARE(seen[second].counter, 1);

        // Without rewriting: appended.
        QTest::mouseClick(form->SCCheckbox5, Qt::LeftButton);
        QVERIFY(!form->SCCheckbox5->isChecked());
        QTest::mouseClick(form->SCButton1, Qt::LeftButton);
        QVERIFY(WaitCounter(100));
        QTest::mouseClick(form->SCButton2, Qt::LeftButton);
        QVERIFY(ReadFile(file) == Expected(second, 1));
        QVERIFY(seen.size() > second + 200);
    }

    // "Please select file name" and "Cannot create file %s".
    void fileErrors()
    {
        QVERIFY(Setup());
        MessageRecorder boxes;
        form->Timer2->stop();

        QTest::mouseClick(form->SCCheckbox4, Qt::LeftButton);
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.calls()[0].title, QStringLiteral("Error"));
        QCOMPARE(boxes.calls()[0].text, QStringLiteral("Please select file name"));
        QVERIFY(!form->SCCheckbox4->isChecked());
        QVERIFY(!RecordingFile.isOpen());
        QVERIFY(!form->SCFrameEdit2->isEnabled());

        // A good file first, then one that cannot be created: the good one is
        // closed and no file is open, the box stays ticked.
        ChooseFile(path("good.bin"));
        QTest::mouseClick(form->SCCheckbox4, Qt::LeftButton);
        QVERIFY(RecordingFile.isOpen());
        const QString bad = path("missing-dir/x.bin");
        form->SCFrameEdit4->setText(bad);
        QTest::mouseClick(form->SCCheckbox4, Qt::LeftButton); // untick
        QTest::mouseClick(form->SCCheckbox4, Qt::LeftButton); // tick again
        QCOMPARE(boxes.count(), 2);
        QCOMPARE(boxes.calls()[1].title, QStringLiteral("Error"));
        QCOMPARE(boxes.calls()[1].text, QStringLiteral("Cannot create file ") + bad);
        QVERIFY(form->SCCheckbox4->isChecked());
        QVERIFY(!RecordingFile.isOpen());

        // Start with both boxes ticked stops at the file, before the socket.
        const int32_t seq = AtSequence().value();
        QTest::mouseClick(form->SCButton1, Qt::LeftButton);
        QCOMPARE(boxes.count(), 3);
        QCOMPARE(boxes.calls()[2].text, QStringLiteral("Cannot create file ") + bad);
        QVERIFY(!form->IdUDPServer1->isOpen());
        QCOMPARE(AtSequence().value(), seq);
        QVERIFY(!LiveDecodeReady);

        // Cancelling the file choice changes nothing.
        form->SaveFileNameProvider = [] { return std::optional<QString>(); };
        QTest::mouseClick(form->SCButton4, Qt::LeftButton);
        QCOMPARE(form->SCFrameEdit4->text(), bad);
    }

    // A write that fails: one error box naming the file and the reason,
    // recording stops with every whole datagram written before kept, and
    // reception goes on.
    void failedWrite()
    {
        QVERIFY(Setup());
        MessageRecorder boxes;
        const QString file = path("limited.bin");
        ChooseFile(file);
        QTest::mouseClick(form->SCCheckbox4, Qt::LeftButton);
        form->SCComboboxEx1->setCurrentIndex(0);

        // Files of this process may not grow beyond 20000 bytes from here on.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit limited = old;
        limited.rlim_cur = 20000;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        struct Restore {
            rlimit r;
            ~Restore() { setrlimit(RLIMIT_FSIZE, &r); }
        } restore{old};

        QTest::mouseClick(form->SCButton1, Qt::LeftButton);
        QVERIFY(WaitCounter(60));
        QTRY_COMPARE_WITH_TIMEOUT(boxes.count(), 1, 2000);
        const int32_t atFailure = PacketCounter;
        QVERIFY(WaitCounter(atFailure + 100)); // reception goes on
        QTest::mouseClick(form->SCButton2, Qt::LeftButton);
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.calls()[0].title, QStringLiteral("Error"));
        // The file and, after it, the reason.
        const QString text = boxes.calls()[0].text;
        const qsizetype at = text.indexOf(file);
        QVERIFY2(at >= 0, qPrintable(text));
        QVERIFY2(text.mid(at + file.size()).startsWith(QLatin1String(": ")) && text.size() > at + file.size() + 4,
                 qPrintable(text));
        QVERIFY(!form->SCCheckbox4->isChecked());
        QVERIFY(!RecordingFile.isOpen());
        QCOMPARE(form->SCFrameEdit2->text(), QString());
        QVERIFY(!form->SCFrameEdit2->isEnabled());

        // The file: the longest run of whole datagrams that fits the limit.
        QByteArray expected;
        for (const auto& s : seen) {
            if (expected.size() + s.data.size() > 20000) {
                break;
            }
            expected += s.data;
        }
        QVERIFY(expected.size() > 0);
        QVERIFY(ReadFile(file) == expected);
    }

    // The real save dialog: named SaveDialog1, for saving, asking before an
    // existing file is chosen; its choice lands in the file-name edit.
    void saveDialog()
    {
        QVERIFY(Setup());
        const QString file = path("chosen.bin");
        bool checked = false;
        int tries = 0;
        QTimer poll;
        // Accepts the dialog as soon as it is up; tries again until it has
        // closed, and gives up (rejects) after about 5 s.
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dlg) {
                return;
            }
            if (tries++ == 0) {
                checked = dlg->objectName() == QLatin1String("SaveDialog1") &&
                          dlg->acceptMode() == QFileDialog::AcceptSave &&
                          !dlg->testOption(QFileDialog::DontConfirmOverwrite) &&
                          dlg->defaultSuffix().isEmpty() && dlg->isSizeGripEnabled();
            }
            if (tries > 250) {
                static_cast<QDialog*>(dlg)->reject();
                return;
            }
            // As the operator would: the folder, then the name typed in.
            dlg->setDirectory(dir->path());
            if (auto* name = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
                name->setText(QStringLiteral("chosen.bin"));
            }
            static_cast<QDialog*>(dlg)->accept();
        });
        poll.start(20);
        QTest::mouseClick(form->SCButton4, Qt::LeftButton);
        poll.stop();
        QVERIFY(checked);
        QVERIFY2(tries <= 250, "the dialog did not take the file");
        QCOMPARE(form->SCFrameEdit4->text(), file);
        QVERIFY(form->SaveDialog1);
        QVERIFY(!RecordingFile.isOpen()); // choosing does not create
    }
};

KESTRIX_GUI_TEST_MAIN(TestRecording)
#include "test_recording.moc"
