#include "control/main.h"

#include "app/window_switches.h"
#include "kit/messages.h"
#include "kit/placement.h"
#include "kit/widgets.h"
#include "kit/window_events.h"
#include "session/live_pipeline.h"
#include "session/recording_session.h"
#include "session/stream_source.h"
#include "kestrix/link/at_channel.h"
#include "kestrix/link/navdata_channel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QThread>
#include <QTimer>

#include <span>
#include <stdexcept>

namespace kestrix::gui {

TForm1* Form1 = nullptr;

namespace {

// The button-shadow grey of the not-connected labels.
const QColor kGreyText(0x80, 0x80, 0x80);

std::string_view view(const QByteArray& bytes)
{
    return {bytes.constData(), std::size_t(bytes.size())};
}

} // namespace

// ---------------------------------------------------------------- creation

TForm1::TForm1(const link::LinkConfig& config, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("Form1"));
    Form1 = this;

    IdUDPServer2 = new link::AtChannel(config, this);
    IdUDPServer2->setObjectName(QStringLiteral("IdUDPServer2"));
    SetAtChannel(IdUDPServer2);
    IdUDPServer1 = new link::NavdataChannel(config, this);
    IdUDPServer1->setObjectName(QStringLiteral("IdUDPServer1"));
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(300);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(300);

    buildControls();
    connectSession();
    Windows().registerWindow(WindowKind::Main, this);

    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    connect(Timer2, &QTimer::timeout, this, Guarded(this, [this] { Timer2Timer(); }));
    connect(IdUDPServer2, &link::AtChannel::sendFailed, this, &TForm1::linkLost);
    IdUDPServer1->setHandler([this](const QByteArray& d) { return IdUDPServer1UDPRead(d); });

    try {
        FormCreate();
    } catch (...) {
        if (Form1 == this) {
            Form1 = nullptr;
        }
        throw;
    }
}

TForm1::~TForm1()
{
    Timer1->stop();
    Timer2->stop();
    IdUDPServer1->setHandler({});
    IdUDPServer1->close();
    RecordingFile.close();
    // Without a main window the stream source is "file" again.
    TheStreamSource().reset();
    if (Form1 == this) {
        Form1 = nullptr;
    }
}

void TForm1::connectSession()
{
    // The AT command edit and the program's AT command line stay equal.
    TheAtCommandLine().setText(SCFrameEdit3->text());
    connect(SCFrameEdit3, &QLineEdit::textChanged, this, [](const QString& t) { TheAtCommandLine().setText(t); });
    connect(&TheAtCommandLine(), &AtCommandLine::changed, this, [this](const QString& t) {
        if (SCFrameEdit3->text() != t) {
            SCFrameEdit3->setText(t);
        }
    });

    // A load ends a recording in progress, visibly: "Save To File" is
    // unticked, so a later Start cannot empty the file being loaded. The
    // stream source stays put until the load has ended.
    connect(&Recording(), &RecordingSession::loadStarted, this, [this] {
        if (SCCheckbox4->isChecked()) {
            SCCheckbox4->setChecked(false);
        }
        SCRadioGroup3->setEnabled(false);
    });
    connect(&Recording(), &RecordingSession::loaded, this, [this] { SCRadioGroup3->setEnabled(true); });
    connect(&Recording(), &RecordingSession::loadFailed, this, [this] { SCRadioGroup3->setEnabled(true); });

    connect(&Live(), &LivePipeline::recordingFailed, this, &TForm1::recordingWriteFailed);

    // A silent drone shows where the operator looks: "Packet Size" turns
    // red, its tool-tip says for how long; Start's request for full navdata
    // and its wake datagram go out again once a second, so that a restarted
    // drone (which starts in reduced navdata, without a time) streams again
    // as Start left it.
    link::NavdataWatch& watch = Live().watch();
    connect(&watch, &link::NavdataWatch::silenceChanged, this, [this](bool silent) { markSilence(silent, 1); });
    connect(&watch, &link::NavdataWatch::silentFor, this, [this](int seconds) { markSilence(true, seconds); });
    connect(&watch, &link::NavdataWatch::wakeDue, this, [this] {
        if (!IdUDPServer1->isOpen()) {
            return;
        }
        IdUDPServer2->SendWithConfigIds(at::kNavdataDemoFalse);
        IdUDPServer1->sendTo(QByteArray(1, char(at::kWakeByte)), link::NavdataPort);
    });
}

void TForm1::markSilence(bool silent, int seconds)
{
    silent_ = silent;
    if (silent) {
        SCFrameEdit1->setStyleSheet(QStringLiteral("QLineEdit { background-color: #ff6060; }"));
        SCFrameEdit1->setToolTip(QStringLiteral("no navdata for %1 s").arg(seconds));
    } else {
        SCFrameEdit1->setStyleSheet(QString());
        // Back to what it says without the mark: the link's counts while
        // the navdata socket is open, else the hint.
        if (IdUDPServer1->isOpen()) {
            showLinkCounts();
        } else {
            SCFrameEdit1->setToolTip(packetSizeHint_);
        }
    }
}

void TForm1::buildControls()
{
    setWindowTitle(QStringLiteral("Control (not connected, waiting)"));
    setFont(QFont(QStringLiteral("Sans Serif"), 8));
    setFixedSize(311, 347);
    PlaceWindow(this, {213, 102});

    auto label = [](const QString& name, const QString& text, QWidget* parent, int x, int y,
                    int w = -1) {
        auto* l = new QLabel(text, parent);
        l->setObjectName(name);
        l->setAccessibleName(text);
        l->adjustSize();
        l->move(x, y);
        if (w > 0) {
            l->resize(w, l->height());
        }
        return l;
    };
    auto button = [](const QString& name, const QString& caption, QWidget* parent, QRect r) {
        return Place(new TSCButton(caption, parent), name, caption, r);
    };
    auto check = [](const QString& name, const QString& accessible, QWidget* parent, QRect r) {
        return Place(new TSCCheckBox(QString(), parent), name, accessible, r);
    };
    auto frameEdit = [](const QString& name, const QString& accessible, QWidget* parent, QRect r) {
        return Place(new TSCFrameEdit(parent), name, accessible, r);
    };
    auto group = [](const QString& name, const QString& caption, QWidget* parent, QRect r) {
        return Place(new TSCGroupBox(caption, parent), name, caption, r);
    };
    auto radio = [](const QString& name, const QString& caption, const QStringList& items,
                    int selected, QWidget* parent, QRect r) {
        auto* g = Place(new TSCRadioGroup(caption, items, 2, parent), name, caption, r);
        g->setItemIndex(selected);
        return g;
    };

    // "NavData Stream"
    SCGroupBox1 = group(QStringLiteral("SCGroupBox1"), QStringLiteral("NavData Stream"), this,
                        {0, 0, 311, 105});
    SCButton1 = button(QStringLiteral("SCButton1"), QStringLiteral("Start"), SCGroupBox1, {6, 17, 50, 40});
    SCButton1->setToolTip(QStringLiteral("start full NavData streaming"));
    SCButton2 = button(QStringLiteral("SCButton2"), QStringLiteral("Stop"), SCGroupBox1, {6, 60, 50, 40});
    SCButton2->setToolTip(QStringLiteral("stop ful NavData streaming"));
    SCCheckbox4 = check(QStringLiteral("SCCheckbox4"), QStringLiteral("Save To File"), SCGroupBox1,
                        {60, 16, 18, 18});
    SCCheckbox4->setToolTip(QStringLiteral("start/stop record NavData stream to a file"));
    Label4 = label(QStringLiteral("Label4"), QStringLiteral("Save To File"), SCGroupBox1, 80, 18);
    Label4->setToolTip(QStringLiteral("start/stop saving strream to file"));
    Label4->setBuddy(SCCheckbox4);
    SCCheckbox5 = check(QStringLiteral("SCCheckbox5"), QStringLiteral("Rewrite On Start"), SCGroupBox1,
                        {170, 16, 18, 18});
    SCCheckbox5->setChecked(true);
    Label6 = label(QStringLiteral("Label6"), QStringLiteral("Rewrite On Start"), SCGroupBox1, 190, 18);
    Label6->setBuddy(SCCheckbox5);
    SCFrameEdit4 = frameEdit(QStringLiteral("SCFrameEdit4"), QStringLiteral("File name"), SCGroupBox1,
                             {60, 37, 216, 21});
    SCButton4 = button(QStringLiteral("SCButton4"), QStringLiteral("..."), SCGroupBox1, {280, 37, 25, 21});
    SCButton4->setToolTip(QStringLiteral("browse for file to save stream"));
    Label2 = label(QStringLiteral("Label2"), QStringLiteral("Packet Size"), SCGroupBox1, 60, 62);
    Label10 = label(QStringLiteral("Label10"), QStringLiteral("Record freq."), SCGroupBox1, 124, 62);
    Label1 = label(QStringLiteral("Label1"), QStringLiteral("File Size (kB)"), SCGroupBox1, 238, 62);
    SCFrameEdit1 = frameEdit(QStringLiteral("SCFrameEdit1"), QStringLiteral("Packet Size"), SCGroupBox1,
                             {60, 77, 58, 21});
    SCFrameEdit1->setReadOnly(true);
    packetSizeHint_ = SCFrameEdit1->toolTip();
    SCComboboxEx1 = new TSCComboBoxEx(SCGroupBox1);
    SCComboboxEx1->setObjectName(QStringLiteral("SCComboboxEx1"));
    SCComboboxEx1->setAccessibleName(QStringLiteral("Record freq."));
    SCComboboxEx1->setGeometry(122, 77, 113, 21);
    SCComboboxEx1->addItemWithValue(QStringLiteral("each (3ms)"), QStringLiteral("1"));
    SCComboboxEx1->addItemWithValue(QStringLiteral("1/10 (30ms)"), QStringLiteral("10"));
    SCComboboxEx1->addItemWithValue(QStringLiteral("1/100 (300ms)"), QStringLiteral("100"));
    SCFrameEdit2 = frameEdit(QStringLiteral("SCFrameEdit2"), QStringLiteral("File Size (kB)"), SCGroupBox1,
                             {238, 77, 67, 21});
    SCFrameEdit2->setReadOnly(true);
    SCFrameEdit2->setEnabled(false);
    Label2->setBuddy(SCFrameEdit1);
    Label10->setBuddy(SCComboboxEx1);
    Label1->setBuddy(SCFrameEdit2);

    // "AT command"
    SCGroupBox2 = group(QStringLiteral("SCGroupBox2"), QStringLiteral("AT command"), this,
                        {0, 105, 311, 112});
    SCFrameEdit3 = frameEdit(QStringLiteral("SCFrameEdit3"), QStringLiteral("AT command"), SCGroupBox2,
                             {6, 18, 234, 22});
    SCButton3 = button(QStringLiteral("SCButton3"), QStringLiteral("Send"), SCGroupBox2, {246, 18, 59, 22});
    SCButton3->setToolTip(QStringLiteral("send AT command to Kestrix"));
    SCGroupBox3 = group(QStringLiteral("SCGroupBox3"), QStringLiteral("Float to String"), SCGroupBox2,
                        {6, 46, 234, 60});
    SCFloatSpinEdit1 = new TSCFloatSpinEdit(SCGroupBox3);
    SCFloatSpinEdit1->setObjectName(QStringLiteral("SCFloatSpinEdit1"));
    SCFloatSpinEdit1->setAccessibleName(QStringLiteral("Float value"));
    SCFloatSpinEdit1->setToolTip(QStringLiteral("converts FLOAT value to INTEGER value required by AT commands"));
    SCFloatSpinEdit1->setGeometry(8, 24, 96, 22);
    Label3 = label(QStringLiteral("Label3"), QStringLiteral("---->"), SCGroupBox3, 108, 28, 28);
    SCIntSpinEdit1 = new TSCIntSpinEdit(SCGroupBox3);
    SCIntSpinEdit1->setObjectName(QStringLiteral("SCIntSpinEdit1"));
    SCIntSpinEdit1->setAccessibleName(QStringLiteral("Integer value"));
    SCIntSpinEdit1->setGeometry(138, 24, 88, 22);
    SCIntSpinEdit1->setValue(0);
    Label5 = label(QStringLiteral("Label5"), QStringLiteral("Samples"), SCGroupBox2, 252, 58);
    SCCheckbox3 = check(QStringLiteral("SCCheckbox3"), QStringLiteral("Samples"), SCGroupBox2,
                        {266, 76, 18, 18});
    SCCheckbox3->setToolTip(QStringLiteral("LED and MOTORs AT commands"));
    Label5->setBuddy(SCCheckbox3);

    // "Flight"
    SCGroupBox4 = group(QStringLiteral("SCGroupBox4"), QStringLiteral("Flight"), this, {0, 217, 311, 64});
    SCCheckbox1 = check(QStringLiteral("SCCheckbox1"), QStringLiteral("Flight"), SCGroupBox4, {});
    SCCheckbox1->setToolTip(QStringLiteral("flight control with keyboard or mouse"));
    SCGroupBox4->setCaptionCheckBox(SCCheckbox1);
    const QStringList indoorOutdoor{QStringLiteral("indoor"), QStringLiteral("outdoor")};
    RadioControlFlight = radio(QStringLiteral("RadioControlFlight"), QStringLiteral("flight"), indoorOutdoor,
                               0, SCGroupBox4, {6, 17, 146, 42});
    RadioHull = radio(QStringLiteral("RadioHull"), QStringLiteral("hull"), indoorOutdoor, 0, SCGroupBox4,
                      {158, 17, 147, 42});

    // "Volmarin"
    SCGroupBox5 = group(QStringLiteral("SCGroupBox5"), QStringLiteral("Volmarin"), this, {0, 281, 311, 64});
    SCCheckbox2 = check(QStringLiteral("SCCheckbox2"), QStringLiteral("Volmarin"), SCGroupBox5, {});
    SCCheckbox2->setToolTip(QStringLiteral("show stream records and graph"));
    SCGroupBox5->setCaptionCheckBox(SCCheckbox2);
    SCRadioGroup3 = radio(QStringLiteral("SCRadioGroup3"), QStringLiteral("stream source"),
                          {QStringLiteral("live"), QStringLiteral("file")}, 1, SCGroupBox5, {6, 17, 146, 42});
    Label7 = label(QStringLiteral("Label7"), QStringLiteral("Kestrix ground station"), SCGroupBox5, 162, 18);
    Label8 = label(QStringLiteral("Label8"), QStringLiteral("diagnostics tool"), SCGroupBox5, 162, 32);
    Label9 = label(QStringLiteral("Label9"), QStringLiteral("v.2.2"), SCGroupBox5, 162, 46);

    connect(SCButton1, &QPushButton::clicked, this, Guarded(this, [this] { SCButton1Click(); }));
    connect(SCButton2, &QPushButton::clicked, this, Guarded(this, [this] { SCButton2Click(); }));
    connect(SCButton3, &QPushButton::clicked, this, Guarded(this, [this] { SCButton3Click(); }));
    connect(SCButton4, &QPushButton::clicked, this, Guarded(this, [this] { SCButton4Click(); }));
    connect(SCCheckbox4, &QCheckBox::toggled, this, Guarded(this, [this] { SCCheckbox4Click(); }));
    connect(SCComboboxEx1, &QComboBox::currentIndexChanged, this,
            Guarded(this, [this] { SCComboboxEx1Change(); }));
    connect(SCFloatSpinEdit1, &TSCFloatSpinEdit::valueChanged, this,
            Guarded(this, [this] { SCFloatSpinEdit1Change(); }));
    // The stream source value follows the group, before the switches run.
    TheStreamSource().setLive(SCRadioGroup3->itemIndex() == 0);
    connect(SCRadioGroup3, &TSCRadioGroup::changed, this,
            [this] { TheStreamSource().setLive(SCRadioGroup3->itemIndex() == 0); });
    ConnectWindowSwitches(*this);
}

void TForm1::FormCreate()
{
    QString error;
    if (!IdUDPServer2->open(&error)) {
        throw std::runtime_error(error.toStdString());
    }
    IdUDPServer2->sequence().set(0);
    SetLinkState(false);
    if (!Timer1->isActive()) {
        Timer1->start();
    }
    if (SCComboboxEx1->currentIndex() == 2) {
        SCComboboxEx1Change();
    } else {
        SCComboboxEx1->setCurrentIndex(2);
    }
}

void TForm1::closeEvent(QCloseEvent* e)
{
    e->accept();
    RecordingFile.close();
    QCoreApplication::quit();
}

// -------------------------------------------------------- link supervision

void TForm1::SetLinkState(bool connected)
{
    connected_ = connected;
    SCFrameEdit4->setEnabled(connected);

    const QColor text = connected ? QApplication::palette().color(QPalette::Active, QPalette::WindowText)
                                  : kGreyText;
    for (QLabel* l : {Label1, Label2, Label3, Label4, Label5, Label6}) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, text);
        l->setPalette(p);
    }

    for (QWidget* w : std::initializer_list<QWidget*>{
             SCButton4, SCButton1, SCButton2, SCFrameEdit1, SCFrameEdit3, SCComboboxEx1, SCButton3,
             SCFloatSpinEdit1, SCIntSpinEdit1, SCCheckbox1, SCCheckbox4, SCCheckbox5, SCCheckbox3,
             RadioControlFlight, RadioHull}) {
        w->setEnabled(connected);
    }
    SCFrameEdit2->setEnabled(false);
    SCRadioGroup3->setItemEnabled(0, connected);
    setWindowTitle(connected ? QStringLiteral("Control (connected)")
                             : QStringLiteral("Control (not connected, waiting)"));
}

void TForm1::linkLost()
{
    SetLinkState(false);
    if (!Timer1->isActive()) {
        Timer1->start();
    }
}

void TForm1::Timer1Timer()
{
    try {
        if (!IdUDPServer2->isOpen()) {
            QString error;
            if (!IdUDPServer2->open(&error)) {
                return;
            }
        }
        if (!IdUDPServer2->sendDirect(QByteArray(at::kProbe.data(), qsizetype(at::kProbe.size())))) {
            return;
        }
        Timer1->stop();
        SetLinkState(true);
        if (!Timer2->isActive()) {
            Timer2->start();
        }
        IdUDPServer2->SendAtCommand(at::kSessionId);
        QThread::msleep(100);
        IdUDPServer2->SendAtCommand(at::kApplicationId);
        QThread::msleep(100);
        IdUDPServer2->SendAtCommand(at::kProfileId);
    } catch (...) {
        // A probe tick never reports; the next tick tries again.
    }
}

void TForm1::Timer2Timer()
{
    IdUDPServer2->SendAtCommand(at::kWatchdog);
    if (IdUDPServer1->isOpen()) {
        showLinkCounts();
    }
}

void TForm1::showLinkCounts()
{
    if (silent_) {
        return; // the silence mark's own text stays while it lasts
    }
    // Datagrams the navdata socket took in, those it dropped (empty or
    // oversized) and those it never handed over, since the last Start.
    SCFrameEdit1->setToolTip(QStringLiteral("received %1, dropped %2, discarded %3")
                                 .arg(IdUDPServer1->receivedCount())
                                 .arg(IdUDPServer1->droppedCount())
                                 .arg(IdUDPServer1->discardedCount()));
}

// ------------------------------------------------------------ AT command

void TForm1::SCButton3Click()
{
    const QByteArray text = SCFrameEdit3->text().toLatin1();
    IdUDPServer2->SendWithConfigIds(view(text));
}

void TForm1::SCFloatSpinEdit1Change()
{
    SCIntSpinEdit1->setValue(at::FloatToAtInteger(SCFloatSpinEdit1->value()));
}

// ------------------------------------------------------------- streaming

void TForm1::SCButton1Click()
{
    // 1. A fresh recording when both recording boxes are ticked.
    if (SCCheckbox5->isChecked() && SCCheckbox4->isChecked()) {
        CreateRecordingFile(SCFrameEdit4->text());
    }
    // 2. The navdata socket.
    QString error;
    if (!IdUDPServer1->open(&error)) {
        throw std::runtime_error(error.toStdString());
    }
    // 3. Full navdata.
    try {
        QThread::msleep(100);
        IdUDPServer2->SendWithConfigIds(at::kNavdataDemoFalse);
    } catch (...) {
        ShowMessage(this, QStringLiteral("Error"), QStringLiteral("Cannot connect to Kestrix server"));
        return;
    }
    // 4. Wake the stream.
    if (!IdUDPServer1->sendTo(QByteArray(1, char(at::kWakeByte)), link::NavdataPort, &error)) {
        throw std::runtime_error(error.toStdString());
    }
    // 5. A live pass still running keeps the flag cleared; its completion sets it.
    Live().started();
    showLinkCounts();
}

void TForm1::SCButton2Click()
{
    QString error;
    if (!IdUDPServer1->sendTo(QByteArray(at::kStopFirst.data(), qsizetype(at::kStopFirst.size())),
                              link::AtPort, &error)) {
        throw std::runtime_error(error.toStdString());
    }
    showLinkCounts();
    IdUDPServer1->close();
    Live().stopped();
    QThread::msleep(100);
    IdUDPServer2->SendWithConfigIds(at::kNavdataDemoTrue);
    SCFrameEdit1->clear();
}

bool TForm1::IdUDPServer1UDPRead(const QByteArray& datagram)
{
    try {
        SCFrameEdit1->setText(QString::number(datagram.size()));
        Live().accept(datagram, SCCheckbox2->isChecked());

        if (PacketCounter == 1 || PacketCounter % 100 == 0) {
            showLinkCounts();
        }
        if (PacketCounter % 100 == 0) {
            // A failed watchdog send is left to the next one; reception goes on.
            const std::string wdg = at::ReceiveWatchdogDatagram(IdUDPServer2->sequence());
            IdUDPServer1->sendTo(QByteArray(wdg.data(), qsizetype(wdg.size())), link::AtPort);
        }

        if (RecordingFile.isOpen()) {
            const qint64 size = RecordingFile.size();
            if (size >= 0) {
                SCFrameEdit2->setText(QString::number(size / 1000));
            }
        }
    } catch (...) {
        // Reported after the handler has returned, so reception goes on.
        const std::exception_ptr error = std::current_exception();
        QTimer::singleShot(0, this, [this, error] { ReportException(this, error); });
    }
    return true;
}

// ------------------------------------------------------------- recording

void TForm1::CreateRecordingFile(const QString& fileName)
{
    QString reason;
    RecordingFile.close();
    if (fileName.isEmpty() || !RecordingFile.create(fileName, &reason)) {
        // A recording that cannot be created must not look like one: the box
        // is unticked, as for an empty name, so Start never streams while it
        // says it records.
        if (SCCheckbox4->isChecked()) {
            SCCheckbox4->setChecked(false);
        }
        throw std::runtime_error(QStringLiteral("Cannot create file %1").arg(fileName).toStdString());
    }
    SCFrameEdit2->setEnabled(true);
}

void TForm1::recordingWriteFailed(const QString& text)
{
    // The pipeline has closed the recording. Recording stops: the box is unticked (its handler clears the display;
    // done here too in case it was unticked already).
    SCCheckbox4->setChecked(false);
    SCFrameEdit2->clear();
    SCFrameEdit2->setEnabled(false);
    QTimer::singleShot(0, this, [this, text] { ShowErrorBox(this, text); });
}

void TForm1::SCCheckbox4Click()
{
    if (SCCheckbox4->isChecked()) {
        if (SCFrameEdit4->text().isEmpty()) {
            ShowMessage(this, QStringLiteral("Error"), QStringLiteral("Please select file name"));
            SCCheckbox4->setChecked(false);
            return;
        }
        CreateRecordingFile(SCFrameEdit4->text());
        return;
    }
    RecordingFile.close();
    SCFrameEdit2->clear();
    SCFrameEdit2->setEnabled(false);
}

void TForm1::SCComboboxEx1Change()
{
    static constexpr int32_t divisors[] = {1, 10, 100};
    const int i = SCComboboxEx1->currentIndex();
    if (i >= 0 && i < 3) {
        RecordDivisor = divisors[i];
    }
}

void TForm1::SCButton4Click()
{
    std::optional<QString> chosen;
    if (SaveFileNameProvider) {
        chosen = SaveFileNameProvider();
    } else {
        if (!SaveDialog1) {
            SaveDialog1 = new QFileDialog(this);
            SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
            SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
            SaveDialog1->setFileMode(QFileDialog::AnyFile);
            SaveDialog1->setOption(QFileDialog::DontUseNativeDialog, true);
            SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite, false);
            SaveDialog1->setOption(QFileDialog::ReadOnly, false);
            SaveDialog1->setSizeGripEnabled(true);
            SaveDialog1->setDefaultSuffix(QString());
        }
        if (SaveDialog1->exec() == QDialog::Accepted && !SaveDialog1->selectedFiles().isEmpty()) {
            chosen = SaveDialog1->selectedFiles().constFirst();
        }
    }
    if (chosen && !chosen->isEmpty()) {
        SCFrameEdit4->setText(QDir::toNativeSeparators(QFileInfo(*chosen).absoluteFilePath()));
    }
}

} // namespace kestrix::gui
