// The NavData window inside the whole program: a load during a recording,
// closing the program during a load, and the closing rules between the
// NavData, Graph and main windows.
#include "support.h"

#include "plot/graph.h"
#include "session/loaded_stream.h"
#include "control/main.h"
#include "kit/shared_state.h"
#include "navdata/tags.h"
#include "kit/ui_thread.h"
#include "kit/widgets.h"

#include "kestrix/packet_builder.h"

#include <qcustomplot.h>

#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace kestrix;
using namespace kestrix::gui;
using namespace kestrix::gui::test;

class TestNavdataProgram : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<MessageRecorder> messages;

private slots:
    void initTestCase() { HoldPortLock(); }
    void init()
    {
        QVERIFY2(WaitForFreePorts(60000), "ports 5554/5556 stay taken by another program");
        messages = std::make_unique<MessageRecorder>();
        CreateWindows(LoopbackConfig());
        QVERIFY(Form1 && Form4 && Form5);
    }
    void cleanup()
    {
        DestroyWindows();
        messages.reset();
    }

    // Opening the file that is being recorded ends the recording visibly:
    // "Save To File" is unticked, the file is closed before the load reads it,
    // and a later Start with "Rewrite On Start" cannot empty it.
    void loadDuringRecording()
    {
        const QString path = dir.filePath(QStringLiteral("rec.navdata"));
        Form1->SCFrameEdit4->setText(path);
        Form1->SCCheckbox4->setChecked(true);
        QVERIFY(RecordingFile.isOpen());
        NavdataState s{};
        QByteArray written;
        for (uint32_t i = 1; i <= 20; ++i) {
            s.Time.time = MakeTimeWord(i, 0);
            s.Vision.time_capture = s.Time.time; // a full packet's time comes from Vision
            s.Demo.altitude = int32_t(i);
            const std::vector<uint8_t> p = BuildFullPacket(s);
            const QByteArray d(reinterpret_cast<const char*>(p.data()), qsizetype(p.size()));
            QVERIFY(RecordingFile.append(d, nullptr));
            written += d;
        }
        QSignalSpy finished(Form4, &TForm4::loadFinished);
        Form4->startLoad(path);
        QVERIFY(!Form1->SCCheckbox4->isChecked());
        QVERIFY(!RecordingFile.isOpen());
        QVERIFY(!Form1->SCRadioGroup3->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QVERIFY(Form1->SCRadioGroup3->isEnabled());
        QVERIFY(LoadedStream);
        const ByteSpan loaded = LoadedStream->bytes();
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(loaded.data()), qsizetype(loaded.size())), written);
        QCOMPARE(Form4->findChild<TSCFrameEdit*>(QStringLiteral("altitude"))->text(), QStringLiteral("1"));
    }

    // "show stream records and graph" shows both windows in file mode and
    // closes them; they keep their contents.
    void showStreamRecordsAndGraph()
    {
        Form1->SCCheckbox2->setChecked(true);
        QVERIFY(Form4->isVisible());
        QVERIFY(Form4->SCCheckbox1->isChecked());
        QVERIFY(Form5->isVisible());
        QVERIFY(Form4->SCButton1->isEnabled());
        QVERIFY(Form5->SCButton3->isEnabled());
        QVERIFY(Form5->SCButton6->isEnabled());
        QVERIFY(!Form5->XframeTime->isEnabled());
        // Side by side: main, NavData, Graph.
        QVERIFY(Form4->x() >= Form1->x() + Form1->width());
        QVERIFY(Form5->x() >= Form4->x() + Form4->width());
        QCOMPARE(Form5->y(), Form4->y());
        Form4->DemoClick(0);
        Form5->SCCombobox1DragDrop(QStringLiteral("altitude"));
        Form4->SCEditRecordsCount->setValue(7);
        // No file yet: the drop's redraw says so.
        QCOMPARE(messages->count(), 1);
        QCOMPARE(messages->calls()[0].text, QStringLiteral("Stream doesnot exists\rPlease open data stream"));

        Form1->SCCheckbox2->setChecked(false);
        QVERIFY(!Form4->isVisible());
        QVERIFY(!Form5->isVisible());
        Form1->SCCheckbox2->setChecked(true);
        QVERIFY(Form4->isVisible() && Form5->isVisible());
        QCOMPARE(Form5->SCCombobox1->count(), 1);
        QCOMPARE(Form5->SCCombobox1->itemText(0), QStringLiteral("Demo.altitude"));
        QCOMPARE(Form4->SCEditRecordsCount->value(), 7);
    }

    // Closing the NavData window unticks the main window's box only when
    // the Graph window is hidden; closing the Graph window unticks the
    // NavData window's "graph" box, and the main box when NavData is hidden.
    void closingRules()
    {
        Form1->SCCheckbox2->setChecked(true);
        Form4->close();
        QVERIFY(!Form4->isVisible());
        QVERIFY(Form5->isVisible());
        QVERIFY(Form1->SCCheckbox2->isChecked());
        Form5->close();
        QVERIFY(!Form5->isVisible());
        QVERIFY(!Form4->SCCheckbox1->isChecked());
        QVERIFY(!Form1->SCCheckbox2->isChecked());

        Form1->SCCheckbox2->setChecked(true);
        Form4->SCCheckbox1->setChecked(false); // hides the Graph window
        QVERIFY(!Form5->isVisible());
        Form4->close();
        QVERIFY(!Form1->SCCheckbox2->isChecked());
        QVERIFY(!Form4->isVisible());
    }

    // The stream source switch, both ways: the controls of both windows, the
    // status texts, the bottom axis and the series emptied each time.
    void streamSource()
    {
        QTRY_VERIFY_WITH_TIMEOUT(Form1->linkConnected(), 3000); // "live" needs the link
        QByteArray file;
        NavdataState s{};
        for (uint32_t i = 1; i <= 5; ++i) {
            s.Time.time = MakeTimeWord(i, 0);
            const std::vector<uint8_t> p = PacketBuilder().record(s, 0).record(s, 1).checksum().take();
            file.append(reinterpret_cast<const char*>(p.data()), qsizetype(p.size()));
        }
        const QString path = dir.filePath(QStringLiteral("five.navdata"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
        f.close();
        Form1->SCCheckbox2->setChecked(true);
        Form4->startLoad(path);
        QTRY_VERIFY_WITH_TIMEOUT(!Form4->isLoading(), 10000);
        Form4->DemoClick(0);
        Form5->SCCombobox1DragDrop(QStringLiteral("altitude"));
        QCOMPARE(int(SeriesList.size()), 1);
        QVERIFY(SeriesList[0]->dataCount() > 0);

        Form1->SCRadioGroup3->setItemIndex(0);
        QVERIFY(!Form4->SCButton1->isEnabled());
        QVERIFY(!Form5->SCButton3->isEnabled());
        QVERIFY(!Form5->SCButton6->isEnabled());
        QVERIFY(!Form5->SCCheckbox1->isEnabled());
        QVERIFY(Form4->SCCheckbox2->isEnabled());
        QVERIFY(Form5->XframeTime->isEnabled());
        QCOMPARE(Form4->SCStatusBar1->panelText(0), QStringLiteral("Live streaming"));
        QVERIFY(!Form4->SCStatusBar1->isPanelFlashing(0));
        QCOMPARE(int(SeriesList.size()), 1);
        QCOMPARE(SeriesList[0]->dataCount(), 0);

        Form5->SCButton3Click(); // stands for a point added while live
        Form1->SCRadioGroup3->setItemIndex(1);
        QVERIFY(Form4->SCButton1->isEnabled());
        QVERIFY(Form5->SCButton3->isEnabled());
        QVERIFY(Form5->SCCheckbox1->isEnabled());
        QVERIFY(!Form4->SCCheckbox2->isEnabled());
        QVERIFY(!Form5->XframeTime->isEnabled());
        QCOMPARE(Form4->SCStatusBar1->panelText(0), QStringLiteral("Ready to load file"));
        QCOMPARE(SeriesList[0]->dataCount(), 0);
    }

    // A field edit's drag carries only its private type: the Graph window's
    // field list takes it, the main window's AT command edit does not.
    void fieldDragOnlyForTheGraph()
    {
        QMimeData mime;
        mime.setData(QString::fromLatin1(kFieldEditMimeType), QByteArrayLiteral("altitude"));
        QVERIFY(!mime.hasText());
        Form1->SCFrameEdit3->setEnabled(true);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Form1->SCFrameEdit3, &enter);
        QVERIFY(!enter.isAccepted());
        QDragEnterEvent onList(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Form5->SCCombobox1, &onList);
        QVERIFY(onList.isAccepted());
    }

    // Closing the program while a load runs neither crashes nor hangs, and
    // the load's completion never reaches the destroyed windows.
    void closeDuringLoad()
    {
        const QString path = dir.filePath(QStringLiteral("big.navdata"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(qint64(1) << 30)); // 1 GiB, sparse: no packet at all
        }
        Form4->startLoad(path);
        QVERIFY(Form4->isLoading());
        QCOMPARE(RunningWorkers(), 1);
        QElapsedTimer t;
        t.start();
        DestroyWindows();
        QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(RunningWorkers(), 0);
        QVERIFY(!Form4);
        QTest::qWait(50); // a stray completion would run here
        // cleanup() destroys nothing more; make windows again for it.
        CreateWindows(LoopbackConfig());
    }
};

KESTRIX_GUI_TEST_MAIN(TestNavdataProgram)
#include "test_navdata_program.moc"
