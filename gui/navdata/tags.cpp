#include "navdata/tags.h"

#include "kit/decode_action.h"
#include "kit/messages.h"
#include "kit/placement.h"
#include "kit/shared_state.h"
#include "kit/widgets.h"
#include "kit/window_events.h"
#include "navdata/find_window.h"
#include "navdata/tags_layout.h"
#include "session/live_pipeline.h"
#include "session/thread.h"

#include "kestrix/field_text.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QMenu>

#include <algorithm>
#include <limits>

namespace kestrix::gui {

TForm4* Form4 = nullptr;

namespace {

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

// ---------------------------------------------------------------- creation

TForm4::TForm4(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("Form4"));
    Form4 = this;
    buildControls();
    connectSession();
    Windows().registerWindow(WindowKind::NavData, this);
}

TForm4::~TForm4()
{
    Windows().navdataGroup.clear();
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
    linkEdits_ = BuildNavDataLinkTab(SCPageControl1);

    SCStatusBar1 = new TSCStatusBar(this);
    SCStatusBar1->setObjectName(QStringLiteral("SCStatusBar1"));
    SCStatusBar1->setAccessibleName(QStringLiteral("Status"));
    SCStatusBar1->setSizeGripEnabled(false);
    SCStatusBar1->addPanel(0);

    PopupMenu1 = BuildNavDataPopupMenu(this, [this](int item) { DemoClick(item); });
    // Behind the 28 tab items: "find", which opens the Find tool (also
    // Ctrl+F anywhere in the window).
    QAction* find = new QAction(QStringLiteral("find"), this);
    find->setObjectName(QStringLiteral("find"));
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WindowShortcut);
    find->setToolTip(QStringLiteral("find records by condition"));
    addAction(find);
    connect(find, &QAction::triggered, this, [this] { openFind(); });
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(find);
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

void TForm4::connectSession()
{
    connect(&Recording(), &RecordingSession::loadStarted, this, Guarded(this, [this] { loadStarted(); }));
    connect(&Recording(), &RecordingSession::loaded, this, &TForm4::loaded);
    connect(&Recording(), &RecordingSession::loadFailed, this, &TForm4::loadFailed);
    // A click on a plotted point.
    connect(&Recording(), &RecordingSession::timeRequested, this, [this](double t) {
        try {
            goToTime(t);
        } catch (...) {
            ReportException(this, std::current_exception());
        }
    });
    // Closing the Graph window unticks "graph".
    connect(&Windows(), &WindowEvents::closedByOperator, this, [this](WindowKind kind) {
        if (kind == WindowKind::Graph) {
            SCCheckbox1->setChecked(false);
        }
    });
    // The record group a dropped field edit belongs to.
    Windows().navdataGroup = activeTabCaption();
    connect(SCPageControl1, &QTabWidget::currentChanged, this,
            [this] { Windows().navdataGroup = activeTabCaption(); });
    // Live passes refresh the field edits while "live" is enabled and ticked.
    SetLiveFieldsTarget(
        this, [this] { return SCCheckbox2->isEnabled() && SCCheckbox2->isChecked(); },
        [this] { showFields(Live().watch().counter().values()); });
}

// ------------------------------------------------------------ field texts

void TForm4::ShowNavdataFields()
{
    showFields(Recording().linkValues());
}

void TForm4::showFields(const LinkValues& link)
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
        for (std::size_t k = 0; k < linkEdits_.size(); ++k) {
            const QString text = QString::number(LinkValue(link, LinkKey(k)), 'g', 15);
            if (linkEdits_[k]->text() != text) {
                linkEdits_[k]->setText(text);
            }
        }
    } catch (...) {
        // The edits not reached keep their texts and nothing is reported:
        // this runs for every live frame too, where a box per frame would
        // stop the stream, and the next refresh writes every edit again.
    }
    Windows().announceRecordShown(NavdataTimeToSeconds(Navdata.state.Time.time));
}

// ------------------------------------------------------------- navigation

// "Record not found" comes after the action has ended, so that a bad option
// met by the seek ("wrong size") is reported first.
void TForm4::SCButton6Click()
{
    bool found = false;
    {
        DecodeAction action;
        const qint64 wanted = SCEditRecordsCount->value();
        found = SeekRecordByIndex(toInt32(wanted)) == wanted;
        if (found) {
            ShowNavdataFields();
        }
    }
    if (!found) {
        ShowMessage(nullptr, QStringLiteral("Error"), QStringLiteral("Record not found"));
    }
}

void TForm4::SCButton5Click()
{
    int32_t i = -1;
    {
        DecodeAction action;
        i = SeekRecordByTime(SCEditTime->value());
        if (i >= 0) {
            ShowNavdataFields();
            SCEditRecordsCount->setValue(i);
        }
    }
    if (i < 0) {
        ShowMessage(nullptr, QStringLiteral("Error"), QStringLiteral("Record not found"));
    }
}

void TForm4::SCButton2Click()
{
    const qint64 n = SCEditRecordsCount->value();
    if (n <= 0) {
        return;
    }
    DecodeAction action;
    SCEditRecordsCount->setValue(n - 1);
    try {
        SeekRecordByIndex(toInt32(n - 1));
    } catch (const OperatorInformed&) {
        SCEditRecordsCount->setValue(n); // the file could not be read: no step
        throw;
    }
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
    bool reached;
    try {
        reached = SeekRecordByIndex(toInt32(n + 1)) == n + 1;
    } catch (const OperatorInformed&) {
        SCEditRecordsCount->setValue(n); // the file could not be read: no step
        throw;
    }
    if (reached) {
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

void TForm4::goToRecord(int32_t n)
{
    SCEditRecordsCount->setValue(n);
    SCButton6Click();
}

FindWindow* TForm4::openFind()
{
    if (!find_) {
        FindWindow::Operations ops;
        ops.currentRecord = [this] { return toInt32(SCEditRecordsCount->value()); };
        ops.goToRecord = [this](int32_t n) { goToRecord(n); };
        find_ = new FindWindow(this, std::move(ops));
        // A new recording drops the matches of the old one.
        connect(&Recording(), &RecordingSession::loaded, find_, &FindWindow::recordingChanged);
        connect(&Recording(), &RecordingSession::loadStarted, find_, &FindWindow::recordingChanged);
        PlaceBeside(find_, this);
    }
    find_->show();
    find_->raise();
    find_->activateWindow();
    find_->FindCondition->setFocus();
    return find_;
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
    emit Windows().graphShowRequested(SCCheckbox1->isChecked());
}

void TForm4::closeEvent(QCloseEvent* e)
{
    e->accept();
    hide();
    emit Windows().closedByOperator(WindowKind::NavData);
}

void TForm4::setOpenEnabled(bool enabled)
{
    openEnabled_ = enabled;
    SCButton1->setEnabled(enabled && !isLoading());
}

void TForm4::setStatusText(const QString& text)
{
    SCStatusBar1->setPanelFlashing(0, false);
    SCStatusBar1->setPanelText(0, text);
}

// ---------------------------------------------------------------- loading

void TForm4::SCButton1Click()
{
    if (isLoading()) {
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
    Recording().load(path);
}

void TForm4::loadStarted()
{
    setFieldEditsEnabled(false);
    SCStatusBar1->setPanelFlashing(0, true);
    SCStatusBar1->setPanelText(0, QStringLiteral("Loading from file \"%1\"..., please wait").arg(LoadedFileName));
    SCButton1->setEnabled(false);
}

void TForm4::loadFailed(const QString& error)
{
    SCButton1->setEnabled(openEnabled_);
    SCStatusBar1->setPanelFlashing(0, false);
    SCStatusBar1->setPanelText(0, QStringLiteral("Load failed: \"%1\"").arg(LoadedFileName));
    setFieldEditsEnabled(true);
    emit loadFinished(false);
    ShowErrorBox(this, error);
}

void TForm4::loaded()
{
    SCButton1->setEnabled(openEnabled_);
    // Runs inside the load's decode action (the recording session's).
    bool noRecord = false;
    try {
        if (SeekRecordByIndex(0) >= 0) {
            SCEditRecordsCount->setValue(0);
            SCEditTime->setValue(Navdata.recordTime);
            ShowNavdataFields();
        } else {
            // A file without a timed packet: nothing of the file shown before
            // stays on show as if it belonged to this one. The edits show the
            // initial state, as before any decode.
            Navdata.state = NavdataState{};
            Navdata.headerWord = 0;
            Navdata.recordTime = 0;
            SCEditRecordsCount->setValue(0);
            ShowNavdataFields();
            noRecord = true;
        }
    } catch (const OperatorInformed&) {
        // The file changed or failed right after its load; the operator has
        // been told.
    }
    SCStatusBar1->setPanelFlashing(0, false);
    SCStatusBar1->setPanelText(0, QStringLiteral("File loaded: \"%1\"").arg(LoadedFileName));
    setFieldEditsEnabled(true);
    emit loadFinished(true);
    if (noRecord) {
        ShowMessage(this, QStringLiteral("Information"),
                    QStringLiteral("The file \"%1\" holds no navdata record").arg(LoadedFileName));
    }
}

} // namespace kestrix::gui
