#include "navdata/tags.h"

#include "kit/decode_action.h"
#include "plot/graph.h"
#include "session/loaded_stream.h"
#include "session/loadstreamthread.h"
#include "control/main.h"
#include "kit/messages.h"
#include "kit/shared_state.h"
#include "navdata/tags_layout.h"
#include "kit/widgets.h"

#include "kestrix/field_text.h"
#include "kestrix/stream_index.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMenu>

#include <algorithm>
#include <limits>

namespace kestrix::gui {

TForm4* Form4 = nullptr;

namespace {

// The loaded stream (none: an empty one) with its index, for the seeks.
kestrix::StreamNavigation navigation()
{
    return {LoadedStream ? LoadedStream->bytes() : kestrix::ByteSpan{}, Navdata, StreamCursor};
}

const kestrix::StreamIndex* loadedIndex()
{
    return LoadedStream ? &LoadedStream->index : nullptr;
}

int32_t toInt32(qint64 v)
{
    return int32_t(std::clamp<qint64>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// The separator of the user's regional settings, as the field texts write it.
char localeDecimalSeparator()
{
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 && point.at(0).unicode() < 0x80 ? char(point.at(0).unicode()) : '.';
}

} // namespace

int32_t SeekRecordByIndex(int32_t n)
{
    return kestrix::SeekRecordByIndex(navigation(), loadedIndex(), n);
}

int32_t SeekRecordByTime(double t)
{
    return kestrix::SeekRecordByTime(navigation(), loadedIndex(), t);
}

// ---------------------------------------------------------------- creation

TForm4::TForm4(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("Form4"));
    Form4 = this;
    buildControls();
}

TForm4::~TForm4()
{
    if (Form4 == this) {
        Form4 = nullptr;
    }
}

void TForm4::buildControls()
{
    setWindowTitle(QStringLiteral("NavData"));
    setAccessibleName(QStringLiteral("NavData"));
    setFont(QFont(QStringLiteral("Sans Serif"), 8));

    NavDataControls c = BuildNavDataPanel(this);
    Panel1 = c.panel;
    SCButton1 = c.open;
    SCEditRecordsCount = c.recordsCount;
    SCButton6 = c.goRecord;
    SCEditTime = c.time;
    SCButton5 = c.goTime;
    SCButton2 = c.previous;
    SCButton4 = c.next;
    SCCheckbox1 = c.graph;
    SCCheckbox2 = c.live;

    SCPageControl1 = new TSCPageControl(this);
    SCPageControl1->setObjectName(QStringLiteral("SCPageControl1"));
    SCPageControl1->setAccessibleName(QStringLiteral("NavData records"));
    fieldEdits_ = BuildNavDataTabs(SCPageControl1);

    SCStatusBar1 = new TSCStatusBar(this);
    SCStatusBar1->setObjectName(QStringLiteral("SCStatusBar1"));
    SCStatusBar1->setAccessibleName(QStringLiteral("Status"));
    SCStatusBar1->setSizeGripEnabled(false);
    SCStatusBar1->addPanel(0);

    PopupMenu1 = BuildNavDataPopupMenu(this, [this](int item) { DemoClick(item); });
    SCPageControl1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(SCPageControl1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupMenu1->popup(SCPageControl1->mapToGlobal(p)); });

    LayOutNavDataWindow(this, Panel1, SCPageControl1, SCStatusBar1);

    connect(SCButton1, &QPushButton::clicked, this, Guarded(this, [this] { SCButton1Click(); }));
    connect(SCButton6, &QPushButton::clicked, this, Guarded(this, [this] { SCButton6Click(); }));
    connect(SCButton5, &QPushButton::clicked, this, Guarded(this, [this] { SCButton5Click(); }));
    connect(SCButton2, &QPushButton::clicked, this, Guarded(this, [this] { SCButton2Click(); }));
    connect(SCButton4, &QPushButton::clicked, this, Guarded(this, [this] { SCButton4Click(); }));
    connect(SCCheckbox1, &QCheckBox::toggled, this, Guarded(this, [this] { SCCheckbox1Click(); }));
}

// ------------------------------------------------------------ field texts

void TForm4::ShowNavdataFields()
{
    try {
        SCEditTime->setValue(NavdataTimeToSeconds(Navdata.state.Time.time));
        NavdataFieldTexts(Navdata.state, localeDecimalSeparator(), texts_);
        const std::size_t n = std::min(texts_.size(), fieldEdits_.size());
        for (std::size_t i = 0; i < n; ++i) {
            const QString text = QString::fromLatin1(texts_[i].data(), qsizetype(texts_[i].size()));
            if (fieldEdits_[i]->text() != text) {
                fieldEdits_[i]->setText(text);
                fieldEdits_[i]->setCursorPosition(0); // show the leading digits
            }
        }
    } catch (...) {
        // The edits not reached keep their texts; nothing is reported.
    }
    emit recordShown(NavdataTimeToSeconds(Navdata.state.Time.time));
}

// ------------------------------------------------------------- navigation

void TForm4::SCButton6Click()
{
    DecodeAction action;
    const qint64 wanted = SCEditRecordsCount->value();
    const int32_t i = SeekRecordByIndex(toInt32(wanted));
    if (i == wanted) {
        ShowNavdataFields();
    } else {
        ShowMessage(nullptr, QStringLiteral("Error"), QStringLiteral("Record not found"));
    }
}

void TForm4::SCButton5Click()
{
    DecodeAction action;
    const int32_t i = SeekRecordByTime(SCEditTime->value());
    if (i < 0) {
        ShowMessage(nullptr, QStringLiteral("Error"), QStringLiteral("Record not found"));
        return;
    }
    ShowNavdataFields();
    SCEditRecordsCount->setValue(i);
}

void TForm4::SCButton2Click()
{
    const qint64 n = SCEditRecordsCount->value();
    if (n <= 0) {
        return;
    }
    DecodeAction action;
    SCEditRecordsCount->setValue(n - 1);
    SeekRecordByIndex(toInt32(n - 1));
    ShowNavdataFields();
}

void TForm4::SCButton4Click()
{
    const qint64 n = SCEditRecordsCount->value();
    if (n < 0) {
        return;
    }
    DecodeAction action;
    SCEditRecordsCount->setValue(n + 1);
    if (SeekRecordByIndex(toInt32(n + 1)) == n + 1) {
        ShowNavdataFields();
    } else {
        SCEditRecordsCount->setValue(n);
    }
}

void TForm4::goToTime(double t)
{
    SCEditTime->setValue(t);
    SCButton5Click();
}

void TForm4::DemoClick(int item)
{
    SCPageControl1->setTabOrientation(QTabWidget::West);
    SCPageControl1->setActivePageIndex(item);
    SCPageControl1->setTabOrientation(QTabWidget::North);
}

QString TForm4::activeTabCaption() const
{
    return SCPageControl1->tabText(SCPageControl1->activePageIndex());
}

// ------------------------------------------------------------ windows

void TForm4::SCCheckbox1Click()
{
    if (Form5) {
        Form5->setVisible(SCCheckbox1->isChecked());
    }
}

void TForm4::closeEvent(QCloseEvent* e)
{
    e->accept();
    hide();
    if (!(Form5 && Form5->isVisible()) && Form1) {
        Form1->SCCheckbox2->setChecked(false);
    }
}

void TForm4::setOpenEnabled(bool enabled)
{
    openEnabled_ = enabled;
    SCButton1->setEnabled(enabled && !loading_);
}

void TForm4::setStatusText(const QString& text)
{
    SCStatusBar1->setPanelFlashing(0, false);
    SCStatusBar1->setPanelText(0, text);
}

// ---------------------------------------------------------------- loading

void TForm4::SCButton1Click()
{
    if (loading_) {
        return;
    }
    std::optional<QString> chosen;
    if (OpenFileNameProvider) {
        chosen = OpenFileNameProvider();
    } else {
        if (!OpenDialog1) {
            OpenDialog1 = new QFileDialog(this);
            OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
            OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
            OpenDialog1->setFileMode(QFileDialog::ExistingFile);
            OpenDialog1->setOption(QFileDialog::DontUseNativeDialog, true);
        }
        if (OpenDialog1->exec() == QDialog::Accepted && !OpenDialog1->selectedFiles().isEmpty()) {
            chosen = OpenDialog1->selectedFiles().constFirst();
        }
    }
    if (chosen && !chosen->isEmpty()) {
        startLoad(*chosen);
    }
}

void TForm4::setFieldEditsEnabled(bool enabled)
{
    for (TSCFrameEdit* e : findChildren<TSCFrameEdit*>()) {
        e->setEnabled(enabled);
    }
}

void TForm4::startLoad(const QString& path)
{
    if (loading_) {
        return;
    }
    // Loading ends a recording in progress, here on the UI thread where the
    // datagram handler appends, and visibly: "Save To File" is unticked too,
    // so a later Start cannot empty the file that is being loaded.
    if (Form1 && Form1->SCCheckbox4->isChecked()) {
        Form1->SCCheckbox4->setChecked(false);
    }
    RecordingFile.close();

    setFieldEditsEnabled(false);
    LoadedFileName = QFileInfo(path).fileName();
    if (Form1) {
        Form1->SCRadioGroup3->setEnabled(false);
    }
    SCStatusBar1->setPanelFlashing(0, true);
    SCStatusBar1->setPanelText(0, QStringLiteral("Loading from file \"%1\"..., please wait").arg(LoadedFileName));
    loading_ = true;
    SCButton1->setEnabled(false);

    QPointer<TForm4> self(this);
    TLoadStream::Start(path, [self](TLoadStream::Result r) {
        if (!self) {
            return;
        }
        const bool ok = bool(r.recording);
        if (ok) {
            LoadedStream = std::move(r.recording);
        }
        self->loadDone(ok, r.error);
    });
}

void TForm4::loadDone(bool ok, const QString& error)
{
    loading_ = false;
    SCButton1->setEnabled(openEnabled_);
    if (!ok) {
        if (Form1) {
            Form1->SCRadioGroup3->setEnabled(true);
        }
        SCStatusBar1->setPanelFlashing(0, false);
        SCStatusBar1->setPanelText(0, QStringLiteral("Load failed: \"%1\"").arg(LoadedFileName));
        setFieldEditsEnabled(true);
        emit loadFinished(false);
        ShowErrorBox(this, error.isEmpty() ? QStringLiteral("Cannot load \"%1\"").arg(LoadedFileName) : error);
        return;
    }

    // Opening a file is one action: its first seek and the redraw below.
    DecodeAction action;
    if (SeekRecordByIndex(0) >= 0) {
        SCEditRecordsCount->setValue(0);
        SCEditTime->setValue(Navdata.recordTime);
        ShowNavdataFields();
    }
    if (Form1) {
        Form1->SCRadioGroup3->setEnabled(true);
    }
    SCStatusBar1->setPanelFlashing(0, false);
    SCStatusBar1->setPanelText(0, QStringLiteral("File loaded: \"%1\"").arg(LoadedFileName));
    setFieldEditsEnabled(true);
    emit loadFinished(true);
    emit drawGraphRequested();
}

} // namespace kestrix::gui
