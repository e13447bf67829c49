// The NavData window: its tabs and field edits, the field texts, loading a
// recorded stream and every navigation handler.
#include "support.h"

#include "kit/decode_action.h"
#include "kit/messages.h"
#include "plot/graph.h"
#include "session/loaded_stream.h"
#include "control/main.h"
#include "kit/shared_state.h"
#include "navdata/find_window.h"
#include "navdata/tags.h"
#include "navdata/tags_layout.h"
#include "kit/ui_thread.h"
#include "kit/widgets.h"

#include "kestrix/field_text.h"
#include "kestrix/link_counts.h"
#include "kestrix/packet_builder.h"
#include "kestrix/stream_index.h"
#include "kestrix/stream_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <memory>
#include <random>

using namespace kestrix;
using namespace kestrix::gui;
using namespace kestrix::gui::test;

namespace {

// A packet with the Demo and Time records of `s` (plus any extra options),
// ended by the checksum.
std::vector<uint8_t> timedPacket(const NavdataState& s, uint32_t timeWord, int32_t altitude)
{
    NavdataState st = s;
    st.Time.time = timeWord;
    st.Demo.altitude = altitude;
    return PacketBuilder().record(st, 0).record(st, 1).checksum().take();
}

void append(QByteArray& file, const std::vector<uint8_t>& packet)
{
    file.append(reinterpret_cast<const char*>(packet.data()), qsizetype(packet.size()));
}

// Records at 1.0, 2.0, 3.0 s with altitudes 100, 200, 300, preceded by a
// packet without time (altitude 7) that is decoded but is no record.
QByteArray threeRecords()
{
    QByteArray file;
    NavdataState s{};
    s.Demo.altitude = 7;
    append(file, PacketBuilder().record(s, 0).checksum().take());
    for (uint32_t i = 1; i <= 3; ++i) {
        append(file, timedPacket(s, MakeTimeWord(i, 0), int32_t(i * 100)));
    }
    return file;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        return {};
    }
    return path;
}

} // namespace

class TestNavdataWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<TForm4> form;
    std::unique_ptr<MessageRecorder> messages;
    std::unique_ptr<QSignalSpy> redraws;
    QTemporaryDir dir;

    TSCFrameEdit* edit(const char* name) const
    {
        return form->findChild<TSCFrameEdit*>(QString::fromLatin1(name));
    }

    // Loads `bytes` as a file through the window and waits for the end.
    bool load(const QByteArray& bytes, const QString& name = QStringLiteral("flight.navdata"))
    {
        const QString path = writeFile(dir, name, bytes);
        if (path.isEmpty()) {
            return false;
        }
        form->OpenFileNameProvider = [path] { return std::optional<QString>(path); };
        QTest::mouseClick(form->SCButton1, Qt::LeftButton);
        return QTest::qWaitFor([&] { return !form->isLoading(); }, 10000);
    }

private slots:
    void init()
    {
        ResetSharedState();
        messages = std::make_unique<MessageRecorder>();
        form = std::make_unique<TForm4>();
        redraws = std::make_unique<QSignalSpy>(&Recording(), &RecordingSession::loaded);
    }
    void cleanup()
    {
        SetQuestionHook({});
        StopWorkers();
        redraws.reset();
        form.reset();
        messages.reset();
        ResetSharedState();
    }

    // 28 tabs in tag order, "TAG=n", every field edit named after its field
    // with its plot key, the not-shown lists, the vector boxes.
    void layout()
    {
        QCOMPARE(form->windowTitle(), QStringLiteral("NavData"));
        QCOMPARE(form->size(), QSize(378, 383));
        QCOMPARE(form->SCPageControl1->count(), 29);
        // The 28 record tabs keep their captions and indices; "Link" comes last.
        QCOMPARE(form->SCPageControl1->tabText(28), QStringLiteral("Link"));
        QCOMPARE(form->linkEdits().size(), std::size_t(kLinkKeyCount));
        for (int k = 0; k < kLinkKeyCount; ++k) {
            TSCFrameEdit* e = form->linkEdits()[std::size_t(k)];
            const QString key = QString::fromLatin1(kLinkKeyNames[k]);
            QCOMPARE(e->toolTip(), key);
            QCOMPARE(e->accessibleDescription(), key);
            QCOMPARE(QStringLiteral("Link.") + e->objectName(), key); // what a drop names
            QVERIFY(e->isReadOnly() && e->isField());
            QVERIFY(form->SCPageControl1->widget(28)->isAncestorOf(e));
        }
        for (int tag = 0; tag < 28; ++tag) {
            QCOMPARE(form->SCPageControl1->tabText(tag), QString::fromLatin1(kRecordSlots[tag].name));
            auto* tagLabel = form->SCPageControl1->widget(tag)->findChild<QLabel*>(QStringLiteral("TagLabel%1").arg(tag));
            QVERIFY(tagLabel);
            QCOMPARE(tagLabel->text(), QStringLiteral("TAG=%1").arg(tag));
            QVERIFY(tagLabel->font().bold());
        }
        const auto table = FieldEdits();
        QCOMPARE(form->fieldEdits().size(), table.size());
        for (std::size_t i = 0; i < table.size(); ++i) {
            TSCFrameEdit* e = form->fieldEdits()[i];
            const QString key = QString::fromLatin1(table[i].tab.data(), table[i].tab.size()) + QLatin1Char('.') +
                                QString::fromLatin1(table[i].edit.data(), table[i].edit.size());
            QCOMPARE(e->objectName(), QString::fromLatin1(table[i].edit.data(), table[i].edit.size()));
            QCOMPARE(e->toolTip(), key);
            QCOMPARE(e->accessibleDescription(), key);
            QVERIFY(e->isReadOnly() && e->isField());
            // On the tab of its record.
            QVERIFY(form->SCPageControl1->widget(table[i].tag)->isAncestorOf(e));
        }
        QCOMPARE(edit("gaz_altitude_KP")->toolTip(), QStringLiteral("Kalman_pressure.gaz_altitude_KP"));
        QCOMPARE(edit("obs_x_X")->toolTip(), QStringLiteral("Altitude.obs_x_X"));

        auto boxTitle = [&](const char* name) {
            auto* b = form->findChild<QGroupBox*>(QString::fromLatin1(name));
            return b ? b->title() : QString();
        };
        QCOMPARE(boxTitle("GroupBox_obs_x"), QStringLiteral("obs_x: _Vector31  single[3];   _XYZ:X,Y,Z"));
        QCOMPARE(boxTitle("GroupBox_est_vb"), QStringLiteral("est_vb: _Vector21 single[2];  _XY:X,Y"));
        QCOMPARE(boxTitle("GroupBox_body_v"), QStringLiteral("body_v: _Velocities:X,Y,Z"));
        QVERIFY(form->findChild<QGroupBox*>(QStringLiteral("GroupBox_obs_x"))->isAncestorOf(edit("obs_x_V2")));

        auto texts = [&](int tag) {
            QStringList all;
            for (QLabel* l : form->SCPageControl1->widget(tag)->findChildren<QLabel*>()) {
                all << l->text();
            }
            return all;
        };
        QVERIFY(texts(18).contains(QStringLiteral("other fields, not shown:")));
        QVERIFY(texts(18).contains(QStringLiteral("data_frame: uint8[32]")));
        QVERIFY(texts(22).contains(QStringLiteral("magneto_offset:Vector31")));
        QVERIFY(!texts(22).contains(QStringLiteral("other fields, not shown:")));
        QVERIFY(texts(1).contains(QStringLiteral(":")));

        QCOMPARE(FieldEditLabel(QStringLiteral("raw_accs_0"), 'U'), QStringLiteral("raw_accs[0] (dec)"));
        QCOMPARE(FieldEditLabel(QStringLiteral("ctrl_state"), 'H'), QStringLiteral("ctrl_state (hex)"));
        QCOMPARE(FieldEditLabel(QStringLiteral("frame_number_1"), 'U'), QStringLiteral("frame_number (dec)"));

        // The controls carry their names, captions and hints.
        QCOMPARE(form->SCButton1->toolTip(), QStringLiteral("open stream file"));
        QCOMPARE(form->SCButton6->toolTip(), QStringLiteral("goto record#"));
        QCOMPARE(form->SCButton5->toolTip(), QStringLiteral("goto time"));
        QCOMPARE(form->SCButton2->accessibleName(), QStringLiteral("<<"));
        QCOMPARE(form->SCButton4->toolTip(), QStringLiteral("next record"));
        QCOMPARE(form->SCCheckbox1->toolTip(), QStringLiteral("show graph"));
        QVERIFY(!form->SCCheckbox1->isChecked());
        QVERIFY(form->SCCheckbox2->isChecked());
        QCOMPARE(form->SCEditRecordsCount->accessibleName(), QStringLiteral("Record#"));
        QCOMPARE(form->SCEditTime->accessibleName(), QStringLiteral("Time"));
    }

    // The texts of ShowNavdataFields, one row per format, and the locale's
    // decimal separator.
    void fieldTexts_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("text");
        const QString c = QStringLiteral("C");
        QTest::newRow("H zero-padded") << c << "ctrl_state" << "001F";
        QTest::newRow("U uint32 max") << c << "vbat_flying_percentage" << "4294967295";
        QTest::newRow("D negative") << c << "altitude" << "-12";
        QTest::newRow("R float") << c << "theta" << "0.100000001490116";
        QTest::newRow("R scientific") << c << "phi" << "9.99999974737875E-5";
        QTest::newRow("H time word") << c << "time" << "A1E240";
        QTest::newRow("S seconds") << c << "SCFrameEdit2" << "5.123456";
        QTest::newRow("D int16 from FF FF") << c << "raw_gyros_0" << "-1";
        QTest::newRow("U uint16 from FF FF") << c << "raw_accs_0" << "65535";
        QTest::newRow("T char") << c << "magneto_calibration_ok" << "1";
        QTest::newRow("HD frame number") << c << "frame_number_1" << "77";
        QTest::newRow("Video frame number") << c << "frame_number" << "5";
        QTest::newRow("unfed") << c << "obs_x_V0" << "";
        QTest::newRow("decimal comma") << QStringLiteral("de_DE") << "theta" << "0,100000001490116";
        QTest::newRow("decimal comma time") << QStringLiteral("de_DE") << "SCFrameEdit2" << "5,123456";
    }
    void fieldTexts()
    {
        QFETCH(QString, locale);
        QFETCH(QString, edit);
        QFETCH(QString, text);
        const QLocale before;
        QLocale::setDefault(QLocale(locale));
        NavdataState s{};
        s.Demo.ctrl_state = 0x1F;
        s.Demo.vbat_flying_percentage = 4294967295u;
        s.Demo.altitude = -12;
        s.Demo.theta = 0.1f;
        s.Demo.phi = 0.0001f;
        s.Time.time = 0xA1E240;
        s.Raw_meas.raw_accs[0] = 0xFFFF;
        s.Raw_meas.raw_gyros[0] = -1;
        s.Magneto.magneto_calibration_ok = 0x31;
        s.HDvideo_stream.frame_number = 77;
        s.Video_stream.frame_number = 5;
        // Through the decoder, from a packet of every record.
        const std::vector<uint8_t> packet = BuildFullPacket(s);
        QVERIFY(DecodeNavdataPacket(packet, 0, Navdata) > 0);
        form->ShowNavdataFields();
        QLocale::setDefault(before);
        QCOMPARE(this->edit(edit.toLatin1().constData())->text(), text);
        QCOMPARE(form->SCEditTime->value(), 5.123456);
    }

    void fieldsBeforeAnyDecode()
    {
        form->ShowNavdataFields();
        QCOMPARE(edit("altitude")->text(), QStringLiteral("0"));
        QCOMPARE(edit("ctrl_state")->text(), QStringLiteral("0000"));
        QCOMPARE(edit("theta")->text(), QStringLiteral("0"));
    }

    // The "Time" edit keeps what it is given: 5.123456 survives a read back.
    void timeEditKeepsMicroseconds()
    {
        form->SCEditTime->setValue(5.123456);
        QCOMPARE(form->SCEditTime->value(), 5.123456);
        form->SCEditTime->setText(QStringLiteral("abc"));
        QCOMPARE(form->SCEditTime->value(), form->SCEditTime->minValue());
        form->SCEditRecordsCount->setText(QString());
        QCOMPARE(form->SCEditRecordsCount->value(), form->SCEditRecordsCount->minValue());
    }

    // A load: the flashing status, disabled field edits, record 0 shown, the
    // final status and one redraw request.
    void loadShowsRecordZero()
    {
        const QString path = writeFile(dir, QStringLiteral("three.navdata"), threeRecords());
        QVERIFY(!path.isEmpty());
        form->OpenFileNameProvider = [path] { return std::optional<QString>(path); };
        QSignalSpy finished(form.get(), &TForm4::loadFinished);
        QTest::mouseClick(form->SCButton1, Qt::LeftButton);
        QVERIFY(form->isLoading());
        QCOMPARE(form->SCStatusBar1->panelText(0), QStringLiteral("Loading from file \"three.navdata\"..., please wait"));
        QVERIFY(form->SCStatusBar1->isPanelFlashing(0));
        QVERIFY(!edit("altitude")->isEnabled());
        QVERIFY(!edit("obs_x_V1")->isEnabled());
        QVERIFY(!form->SCButton1->isEnabled());

        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        QCOMPARE(form->SCStatusBar1->panelText(0), QStringLiteral("File loaded: \"three.navdata\""));
        QVERIFY(!form->SCStatusBar1->isPanelFlashing(0));
        QVERIFY(edit("altitude")->isEnabled());
        QVERIFY(form->SCButton1->isEnabled());
        QCOMPARE(LoadedFileName, QStringLiteral("three.navdata"));
        QCOMPARE(form->SCEditRecordsCount->value(), 0);
        QCOMPARE(form->SCEditTime->value(), 1.0);
        QCOMPARE(edit("altitude")->text(), QStringLiteral("100"));
        QCOMPARE(redraws->count(), 1);
        QCOMPARE(messages->count(), 0);
        QCOMPARE(RunningWorkers(), 0);
    }

    // Every navigation handler, with the edge cases that matter.
    void navigation()
    {
        QVERIFY(load(threeRecords()));
        auto shown = [&] { return edit("altitude")->text(); };

        // ">>" steps, and stays silently on the last record.
        QTest::mouseClick(form->SCButton4, Qt::LeftButton);
        QCOMPARE(form->SCEditRecordsCount->value(), 1);
        QCOMPARE(shown(), QStringLiteral("200"));
        QTest::mouseClick(form->SCButton4, Qt::LeftButton);
        QTest::mouseClick(form->SCButton4, Qt::LeftButton);
        QCOMPARE(form->SCEditRecordsCount->value(), 2);
        QCOMPARE(shown(), QStringLiteral("300"));
        QCOMPARE(messages->count(), 0);

        // "<<" steps back, and does nothing at 0.
        QTest::mouseClick(form->SCButton2, Qt::LeftButton);
        QCOMPARE(form->SCEditRecordsCount->value(), 1);
        QCOMPARE(shown(), QStringLiteral("200"));
        form->SCEditRecordsCount->setValue(0);
        StreamCursor = 12345;
        QTest::mouseClick(form->SCButton2, Qt::LeftButton);
        QCOMPARE(form->SCEditRecordsCount->value(), 0);
        QCOMPARE(StreamCursor, 12345);

        // "go" beyond the last record: the message, the old texts, the state
        // of the whole file.
        form->SCEditRecordsCount->setValue(5);
        QTest::mouseClick(form->SCButton6, Qt::LeftButton);
        QCOMPARE(messages->count(), 1);
        QCOMPARE(messages->calls().back().title, QStringLiteral("Error"));
        QCOMPARE(messages->calls().back().text, QStringLiteral("Record not found"));
        QCOMPARE(shown(), QStringLiteral("200"));
        QCOMPARE(Navdata.state.Demo.altitude, 300);
        QCOMPARE(StreamCursor, -1);

        // "go" with -1 refreshes from the current state without decoding.
        form->SCEditRecordsCount->setValue(-1);
        QTest::mouseClick(form->SCButton6, Qt::LeftButton);
        QCOMPARE(shown(), QStringLiteral("300"));
        QCOMPARE(StreamCursor, 0);
        QCOMPARE(messages->count(), 1);
        // ">>" from -1 does nothing.
        QTest::mouseClick(form->SCButton4, Qt::LeftButton);
        QCOMPARE(form->SCEditRecordsCount->value(), -1);

        // "go" by time: between two records selects the later one.
        form->SCEditTime->setValue(1.5);
        QTest::mouseClick(form->SCButton5, Qt::LeftButton);
        QCOMPARE(form->SCEditRecordsCount->value(), 1);
        QCOMPARE(form->SCEditTime->value(), 2.0);
        QCOMPARE(shown(), QStringLiteral("200"));
        form->goToTime(3.0);
        QCOMPARE(form->SCEditRecordsCount->value(), 2);
        // 0, and beyond every record: not found.
        for (double t : {0.0, 3.5}) {
            form->SCEditTime->setValue(t);
            QTest::mouseClick(form->SCButton5, Qt::LeftButton);
        }
        QCOMPARE(messages->count(), 3);
        QCOMPARE(form->SCEditRecordsCount->value(), 2);
    }

    // Without a loaded stream: "go" finds nothing, ">>" stays, "<<"
    // refreshes from the unchanged state.
    void navigationWithoutStream()
    {
        Navdata.state.Demo.altitude = 55;
        form->SCEditRecordsCount->setValue(0);
        QTest::mouseClick(form->SCButton6, Qt::LeftButton);
        QCOMPARE(messages->count(), 1);
        QTest::mouseClick(form->SCButton4, Qt::LeftButton);
        QCOMPARE(form->SCEditRecordsCount->value(), 0);
        form->SCEditRecordsCount->setValue(3);
        QTest::mouseClick(form->SCButton2, Qt::LeftButton);
        QCOMPARE(form->SCEditRecordsCount->value(), 2);
        QCOMPARE(edit("altitude")->text(), QStringLiteral("55"));
    }

    // A file that cannot be read: the error box with the name and the
    // reason; the previous stream, texts and records stay; no redraw.
    void failedLoadKeepsPreviousStream()
    {
        QVERIFY(load(threeRecords()));
        const auto before = LoadedStream;
        QCOMPARE(redraws->count(), 1);
        const QString missing = dir.filePath(QStringLiteral("missing.navdata"));
        form->OpenFileNameProvider = [missing] { return std::optional<QString>(missing); };
        QTest::mouseClick(form->SCButton1, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!form->isLoading(), 10000);
        QCOMPARE(messages->count(), 1);
        QCOMPARE(messages->calls()[0].title, QStringLiteral("Error"));
        QVERIFY2(messages->calls()[0].text.contains(missing), qPrintable(messages->calls()[0].text));
        QVERIFY2(messages->calls()[0].text.contains(QStringLiteral("No such file")),
                 qPrintable(messages->calls()[0].text));
        QCOMPARE(LoadedStream, before);
        QCOMPARE(redraws->count(), 1);
        QVERIFY(!form->SCStatusBar1->isPanelFlashing(0));
        QCOMPARE(form->SCStatusBar1->panelText(0), QStringLiteral("Load failed: \"missing.navdata\""));
        QVERIFY(edit("altitude")->isEnabled());
        QCOMPARE(edit("altitude")->text(), QStringLiteral("100"));
        // Navigation still walks the previous stream.
        QTest::mouseClick(form->SCButton4, Qt::LeftButton);
        QCOMPARE(edit("altitude")->text(), QStringLiteral("200"));
    }

    // The loaded file changes on disk after the load: the next step notices
    // it, shows nothing of the changed file (the edits, the record number
    // and the cursor stay as they were), and asks the operator, saying "the
    // file changed on disk", whether to reload it; a reload reads the file as
    // it is now.
    void fileChangedAfterLoad_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<bool>("reload");
        QTest::newRow("truncated") << 0 << false;
        QTest::newRow("grown") << 1 << false;
        QTest::newRow("replaced") << 2 << false;
        QTest::newRow("truncated, reloaded") << 0 << true;
        QTest::newRow("replaced, reloaded") << 2 << true;
    }
    void fileChangedAfterLoad()
    {
        QFETCH(int, change);
        QFETCH(bool, reload);
        const QByteArray first = threeRecords();
        QVERIFY(load(first));
        const QString path = dir.filePath(QStringLiteral("flight.navdata"));
        const auto before = LoadedStream;
        const int64_t cursor = StreamCursor;
        QCOMPARE(edit("altitude")->text(), QStringLiteral("100"));

        QByteArray other;
        for (uint32_t i = 1; i <= 4; ++i) {
            append(other, timedPacket({}, MakeTimeWord(i, 0), int32_t(1000 + i)));
        }
        switch (change) {
        case 0:
            QVERIFY(QFile::resize(path, first.size() / 2));
            break;
        case 1: {
            QFile f(path);
            QVERIFY(f.open(QIODevice::Append));
            QCOMPARE(f.write(other), other.size());
            break;
        }
        default: {
            const QString fresh = writeFile(dir, QStringLiteral("fresh.navdata"), other);
            std::error_code ec;
            std::filesystem::rename(fresh.toStdString(), path.toStdString(), ec);
            QVERIFY(!ec);
            break;
        }
        }

        std::vector<QString> asked;
        SetQuestionHook([&](QWidget*, const QString&, const QString& text) {
            asked.push_back(text);
            return reload;
        });
        QSignalSpy finished(form.get(), &TForm4::loadFinished);
        form->SCEditRecordsCount->setValue(2);
        QTest::mouseClick(form->SCButton6, Qt::LeftButton);
        QCOMPARE(int(asked.size()), 1);
        QVERIFY2(asked[0].contains(QStringLiteral("the file changed on disk")) && asked[0].contains(path),
                 qPrintable(asked[0]));
        QCOMPARE(edit("altitude")->text(), QStringLiteral("100"));
        QCOMPARE(StreamCursor, cursor);
        QCOMPARE(messages->count(), 0); // no "Record not found" either
        if (!reload) {
            QVERIFY(!form->isLoading());
            QCOMPARE(LoadedStream, before);
            // Asked again at the next read, never read as the loaded file.
            QTest::mouseClick(form->SCButton2, Qt::LeftButton);
            QCOMPARE(int(asked.size()), 2);
            QCOMPARE(edit("altitude")->text(), QStringLiteral("100"));
            QCOMPARE(form->SCEditRecordsCount->value(), 2);
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QVERIFY(LoadedStream != before);
        QCOMPARE(form->SCStatusBar1->panelText(0), QStringLiteral("File loaded: \"flight.navdata\""));
        const QByteArray now = change == 2 ? other : first.left(first.size() / 2);
        const ByteSpan nowBytes(reinterpret_cast<const uint8_t*>(now.constData()), std::size_t(now.size()));
        QCOMPARE(LoadedStream->index.recordCount(), StreamIndex::Build(nowBytes).recordCount());
        QCOMPARE(edit("altitude")->text(), change == 2 ? QStringLiteral("1001") : QStringLiteral("100"));
        if (change == 2) {
            form->SCEditRecordsCount->setValue(1);
            QTest::mouseClick(form->SCButton6, Qt::LeftButton);
            QCOMPARE(edit("altitude")->text(), QStringLiteral("1002"));
        }
        QCOMPARE(int(asked.size()), 1);
    }

    // A read that fails after the load (a device gone): the standard error
    // box with the file and the system's reason; the edits stay.
    void readErrorAfterLoad()
    {
        QVERIFY(load(threeRecords()));
        QVERIFY(LoadedStream && LoadedStream->file);
        const int folder = open(dir.path().toLocal8Bit().constData(), O_RDONLY | O_DIRECTORY);
        QVERIFY(folder >= 0);
        QVERIFY(dup2(folder, LoadedStream->file->descriptor()) >= 0);
        close(folder);
        form->SCEditRecordsCount->setValue(2);
        QTest::mouseClick(form->SCButton6, Qt::LeftButton);
        QCOMPARE(messages->count(), 1);
        QCOMPARE(messages->calls()[0].title, QStringLiteral("Error"));
        const QString text = messages->calls()[0].text;
        QVERIFY2(text.startsWith(QStringLiteral("cannot read \"")) && text.contains(QStringLiteral("flight.navdata")),
                 qPrintable(text));
        QCOMPARE(edit("altitude")->text(), QStringLiteral("100"));
        QCOMPARE(form->SCEditRecordsCount->value(), 2);
    }

    // After a good file, a file without any timed packet: "File loaded: ..."
    // as written, the edits, "Record#" and "Time" back to the initial state
    // (nothing of the previous file shown as if it were this one's), and a
    // message that the file holds no navdata record.
    void fileWithoutRecord_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("one byte") << QByteArray(1, char(0x88));
        QByteArray noise(3000, '\0');
        std::mt19937 rng(14);
        for (char& c : noise) {
            c = char(rng() % 0x80); // no 0x88: no magic
        }
        QTest::newRow("random bytes") << noise;
        QByteArray untimed;
        NavdataState s{};
        s.Demo.altitude = 7;
        append(untimed, PacketBuilder().record(s, 0).checksum().take());
        QTest::newRow("packets without time") << untimed;
    }
    void fileWithoutRecord()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(load(threeRecords()));
        form->SCEditRecordsCount->setValue(2);
        QTest::mouseClick(form->SCButton6, Qt::LeftButton);
        QCOMPARE(edit("altitude")->text(), QStringLiteral("300"));
        QCOMPARE(form->SCEditTime->value(), 3.0);
        messages->clear();

        QVERIFY(load(bytes, QStringLiteral("norecord.navdata")));
        QCOMPARE(form->SCStatusBar1->panelText(0), QStringLiteral("File loaded: \"norecord.navdata\""));
        QCOMPARE(edit("altitude")->text(), QStringLiteral("0"));
        QCOMPARE(edit("ctrl_state")->text(), QStringLiteral("0000"));
        QCOMPARE(form->SCEditRecordsCount->value(), 0);
        QCOMPARE(form->SCEditTime->value(), 0.0);
        QCOMPARE(messages->count(), 1);
        QVERIFY2(messages->calls()[0].text.contains(QStringLiteral("holds no navdata record"))
                     && messages->calls()[0].text.contains(QStringLiteral("norecord.navdata")),
                 qPrintable(messages->calls()[0].text));
    }

    // A recording above 4 GiB (sparse: no disk used) with a record at its
    // start and one at its end: it loads, and "go" reaches the last record,
    // read from beyond 32-bit offsets.
    void fileAboveFourGiB()
    {
        NavdataState s{};
        QByteArray first;
        append(first, timedPacket(s, MakeTimeWord(1, 500000), 11));
        QByteArray last;
        append(last, timedPacket(s, MakeTimeWord(2, 250000), 22));
        const QString path = dir.filePath(QStringLiteral("huge.navdata"));
        const qint64 lastAt = (qint64(1) << 32) + 4097;
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(first), first.size());
            if (!f.resize(lastAt))
                QSKIP("cannot create a sparse file here");
            QVERIFY(f.seek(lastAt));
            QCOMPARE(f.write(last), last.size());
        }
        form->OpenFileNameProvider = [path] { return std::optional<QString>(path); };
        QSignalSpy finished(form.get(), &TForm4::loadFinished);
        QTest::mouseClick(form->SCButton1, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 100000);
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        QCOMPARE(form->SCStatusBar1->panelText(0), QStringLiteral("File loaded: \"huge.navdata\""));
        QCOMPARE(edit("altitude")->text(), QStringLiteral("11"));
        QCOMPARE(form->SCEditTime->value(), 1.5);

        form->SCEditRecordsCount->setValue(1);
        QTest::mouseClick(form->SCButton6, Qt::LeftButton);
        QCOMPARE(edit("altitude")->text(), QStringLiteral("22"));
        QCOMPARE(form->SCEditTime->value(), 2.25);
        QCOMPARE(StreamCursor, lastAt + last.size());
        form->SCEditTime->setValue(2.0);
        QTest::mouseClick(form->SCButton5, Qt::LeftButton);
        QCOMPARE(form->SCEditRecordsCount->value(), 1);
        QCOMPARE(messages->count(), 0);
        QFile::remove(path);
    }

    // 50 bad Gyros_offsets options give one "wrong size" for the load and
    // one for each later step, never one per option.
    void wrongSizeOncePerAction()
    {
        QByteArray file;
        NavdataState s{};
        const uint8_t shortPayload[8] = {};
        for (uint32_t i = 1; i <= 50; ++i) {
            s.Time.time = MakeTimeWord(i, 0);
            append(file, PacketBuilder().record(s, 1).rawOption(4, 12, shortPayload).checksum().take());
        }
        QVERIFY(load(file));
        auto wrongSize = [&] {
            int n = 0;
            for (const MessageCall& c : messages->calls()) {
                n += c.title == QLatin1String("error") && c.text == QLatin1String("wrong size");
            }
            return n;
        };
        QCOMPARE(wrongSize(), 1);
        QCOMPARE(messages->count(), 1);
        form->SCEditRecordsCount->setValue(48);
        QTest::mouseClick(form->SCButton4, Qt::LeftButton);
        QCOMPARE(form->SCEditRecordsCount->value(), 49);
        QCOMPARE(wrongSize(), 2);
        // A nested action reports nothing of its own.
        {
            DecodeAction outer;
            {
                DecodeAction inner;
                ++Navdata.wrongSizeEvents;
            }
            QCOMPARE(wrongSize(), 2);
        }
        QCOMPARE(wrongSize(), 3);
    }

    // A second "Open" while a load runs is refused; navigation keeps using
    // the previous stream meanwhile.
    void secondOpenDuringLoad()
    {
        QVERIFY(load(threeRecords()));
        const auto first = LoadedStream;
        QByteArray big;
        for (int i = 0; i < 2000; ++i) {
            append(big, timedPacket({}, MakeTimeWord(10 + i / 100, uint32_t(i % 100)), 1));
        }
        const QString path = writeFile(dir, QStringLiteral("big.navdata"), big);
        form->startLoad(path);
        QVERIFY(form->isLoading());
        QVERIFY(!form->SCButton1->isEnabled());
        form->startLoad(path); // ignored
        form->SCEditRecordsCount->setValue(1);
        QTest::mouseClick(form->SCButton6, Qt::LeftButton);
        QCOMPARE(Navdata.state.Demo.altitude, 200);
        QTRY_VERIFY_WITH_TIMEOUT(!form->isLoading(), 10000);
        QVERIFY(LoadedStream != first);
        QCOMPARE(redraws->count(), 2);
        QCOMPARE(RunningWorkers(), 0);
    }

    // The popup menu: 28 items; each selects its tab.
    void popupMenu_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("tab");
        QTest::newRow("Demo") << 0 << "Demo" << "Demo";
        QTest::newRow("Raw_measurements") << 2 << "Raw_measurements" << "Raw_meas";
        QTest::newRow("Hdvideo_stream") << 25 << "Hdvideo_stream" << "HDvideo_stream";
        QTest::newRow("Zimmu_3000") << 27 << "Zimmu_3000" << "Zimmu_3000";
    }
    void popupMenu()
    {
        QFETCH(int, item);
        QFETCH(QString, caption);
        QFETCH(QString, tab);
        QCOMPARE(form->PopupMenu1->actions().size(), 30); // the 28 items, a separator, "find"
        // The 28 items keep their captions and indices.
        for (int i = 0; i < 28; ++i) {
            QCOMPARE(form->PopupMenu1->actions().at(i)->text(), form->PopupMenu1->actions().at(i)->objectName());
            QCOMPARE(form->PopupMenu1->actions().at(i)->data().toInt(), i);
        }
        QCOMPARE(form->PopupMenu1->actions().at(0)->text(), QStringLiteral("Demo"));
        QCOMPARE(form->PopupMenu1->actions().at(27)->text(), QStringLiteral("Zimmu_3000"));
        QVERIFY(form->PopupMenu1->actions().at(28)->isSeparator());
        QCOMPARE(form->PopupMenu1->actions().last()->text(), QStringLiteral("find"));
        QAction* a = form->PopupMenu1->actions().at(item);
        QCOMPARE(a->text(), caption);
        a->trigger();
        QCOMPARE(form->SCPageControl1->activePageIndex(), item);
        QCOMPARE(form->activeTabCaption(), tab);
        QCOMPARE(form->SCPageControl1->tabPosition(), QTabWidget::North);
    }

    // The "Link" tab after each step shows the link counts up to the record
    // reached: packet numbers 10 (no time), 11, 14, 15, 17 at 0, 1, 1.5, 2,
    // 3 s, so 2 missing in front of 14 and 1 in front of 17; the rate counts
    // the packets of the last second.
    void linkTab_data()
    {
        QTest::addColumn<int>("steps");
        QTest::addColumn<QStringList>("texts"); // packet, missing, gap, rate
        QTest::newRow("record 0") << 0 << QStringList{"11", "0", "0", "1"};
        QTest::newRow("record 1: the gap") << 1 << QStringList{"14", "2", "2", "2"};
        QTest::newRow("record 2") << 2 << QStringList{"15", "2", "0", "2"};
        QTest::newRow("record 3: one more") << 3 << QStringList{"17", "3", "1", "1"};
    }
    void linkTab()
    {
        QFETCH(int, steps);
        QFETCH(QStringList, texts);
        QByteArray file;
        NavdataState s{};
        append(file, PacketBuilder(0, 10).record(s, 0).checksum().take());
        const std::pair<uint32_t, double> records[] = {{11, 1.0}, {14, 1.5}, {15, 2.0}, {17, 3.0}};
        for (const auto& [number, t] : records) {
            s.Time.time = MakeTimeWord(uint32_t(t), uint32_t((t - uint32_t(t)) * 1e6));
            append(file, PacketBuilder(0, number).record(s, 0).record(s, 1).checksum().take());
        }
        QVERIFY(load(file));
        for (int i = 0; i < steps; ++i) {
            QTest::mouseClick(form->SCButton4, Qt::LeftButton);
        }
        QCOMPARE(form->SCEditRecordsCount->value(), steps);
        QStringList shown;
        for (TSCFrameEdit* e : form->linkEdits()) {
            shown << e->text();
        }
        QCOMPARE(shown, texts);
        // Going there by "go" shows the same.
        form->goToRecord(0);
        form->goToRecord(steps);
        QStringList viaGo;
        for (TSCFrameEdit* e : form->linkEdits()) {
            viaGo << e->text();
        }
        QCOMPARE(viaGo, texts);
        QCOMPARE(messages->count(), 0);
    }

    // The Find tool: "find" behind the 28 items of the tabs' menu and Ctrl+F;
    // a bad condition searches nothing; a match goes to its record exactly
    // as "go" beside "Record#" does.
    void findGoesToTheRecord()
    {
        QByteArray file;
        NavdataState s{};
        for (uint32_t k = 0; k < 200; ++k) {
            append(file, timedPacket(s, MakeTimeWord(k + 1, 0), int32_t(k * 10)));
        }
        QVERIFY(load(file));

        QCOMPARE(form->PopupMenu1->actions().size(), 30); // the 28 items, a separator, "find"
        QAction* find = form->PopupMenu1->actions().last();
        QCOMPARE(find->text(), QStringLiteral("find"));
        QCOMPARE(find->shortcut(), QKeySequence(QKeySequence::Find));
        QVERIFY(form->actions().contains(find)); // Ctrl+F anywhere in the window
        find->trigger();
        FindWindow* w = form->findWindow();
        QVERIFY(w);
        QVERIFY(w->isVisible());
        QCOMPARE(w->windowTitle(), QStringLiteral("Find"));

        w->FindCondition->setText(QStringLiteral("Demo.altitude => 5"));
        QTest::mouseClick(w->FindFirst, Qt::LeftButton);
        QCOMPARE(w->FindStatus->text(), QStringLiteral("unknown operator \"=>\" at character 15"));
        QVERIFY(!w->searching());
        QCOMPARE(RunningWorkers(), 0);
        QCOMPARE(form->SCEditRecordsCount->value(), 0);

        // Records 100..104 hold 1000..1040.
        w->FindCondition->setText(QStringLiteral("Demo.altitude >= 1000 and Demo.altitude < 0x41A"));
        QTest::mouseClick(w->FindFirst, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(form->SCEditRecordsCount->value(), 100, 5000);
        QCOMPARE(edit("altitude")->text(), QStringLiteral("1000"));
        QTest::mouseClick(w->FindNext, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(form->SCEditRecordsCount->value(), 101, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!w->searching(), 5000);
        QCOMPARE(int(w->matches().size()), 5);
        QTest::mouseClick(w->FindLast, Qt::LeftButton);
        QCOMPARE(form->SCEditRecordsCount->value(), 104);
        QCOMPARE(w->FindStatus->text(), QStringLiteral("match 5 of 5"));
        QTest::mouseClick(w->FindPrevious, Qt::LeftButton);
        QCOMPARE(form->SCEditRecordsCount->value(), 103);
        QTest::mouseClick(w->FindNext, Qt::LeftButton);
        QTest::mouseClick(w->FindNext, Qt::LeftButton); // none behind the last: stays
        QCOMPARE(form->SCEditRecordsCount->value(), 104);
        QCOMPARE(w->FindStatus->text(), QStringLiteral("Record not found"));
        QCOMPARE(messages->count(), 0);

        // A list row, and the same fields as "go" shows for that record.
        w->FindMatches->scrollTo(w->FindMatches->model()->index(2, 0));
        const QRect row = w->FindMatches->visualRect(w->FindMatches->model()->index(2, 0));
        QTest::mouseClick(w->FindMatches->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(form->SCEditRecordsCount->value(), 102);
        std::vector<QString> viaFind;
        for (TSCFrameEdit* e : form->fieldEdits()) {
            viaFind.push_back(e->text());
        }
        const double timeViaFind = form->SCEditTime->value();
        form->SCEditRecordsCount->setValue(7);
        form->SCButton6Click();
        form->SCEditRecordsCount->setValue(102);
        form->SCButton6Click();
        for (std::size_t i = 0; i < viaFind.size(); ++i) {
            QCOMPARE(form->fieldEdits()[i]->text(), viaFind[i]);
        }
        QCOMPARE(form->SCEditTime->value(), timeViaFind);

        // A new recording drops the matches.
        QVERIFY(load(threeRecords(), QStringLiteral("other.navdata")));
        QVERIFY(w->matches().empty());
    }

    // On a larger recording (20,000 full packets, 38 MB) the search runs on
    // a worker: starting it returns at once, the window keeps serving its
    // events, the list fills, and a search can be cancelled.
    void findRunsInTheBackground()
    {
        QByteArray file;
        NavdataState s{};
        for (uint32_t k = 0; k < 20000; ++k) {
            s.Time.time = MakeTimeWord(1 + k / 1000, (k % 1000) * 1000);
            s.Vision.time_capture = s.Time.time; // the later option decides the record time
            s.Demo.altitude = int32_t(k % 1000);
            append(file, BuildFullPacket(s, 0, k + 1));
        }
        QVERIFY(load(file));
        FindWindow* w = form->openFind();

        w->FindCondition->setText(QStringLiteral("Demo.altitude == 999"));
        QElapsedTimer t;
        t.start();
        QVERIFY(w->search());
        QVERIFY2(t.elapsed() < 100, qPrintable(QString::number(t.elapsed())));
        QVERIFY(w->searching());
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        tick.start(1);
        QTRY_VERIFY_WITH_TIMEOUT(!w->searching(), 20000);
        QCOMPARE(int(w->matches().size()), 20);
        QCOMPARE(w->matches().back().record, 19999);
        QVERIFY(ticks > 0);

        // Cancelled at once: the status says so, the matches so far stay.
        QVERIFY(w->search());
        w->cancel();
        QTRY_VERIFY_WITH_TIMEOUT(!w->searching(), 20000);
        QVERIFY2(w->FindStatus->text().startsWith(QStringLiteral("cancelled")) ||
                     w->FindStatus->text() == QStringLiteral("20 matches"),
                 qPrintable(w->FindStatus->text()));
        QCOMPARE(RunningWorkers(), 0);
    }

    // The "graph" box shows and hides the Graph window.
    void graphBox()
    {
        TForm5 graph;
        form->show();
        form->SCCheckbox1->setChecked(true);
        QVERIFY(graph.isVisible());
        form->SCCheckbox1->setChecked(false);
        QVERIFY(!graph.isVisible());
    }
};

KESTRIX_GUI_TEST_MAIN(TestNavdataWindow)
#include "test_navdata_window.moc"
