#include "control/joystick.h"

#include "kit/messages.h"
#include "kit/widgets.h"
#include "kit/window_events.h"

#include "kestrix/at_commands.h"
#include "kestrix/link/at_channel.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

namespace kestrix::gui {

TForm2* Form2 = nullptr;

namespace {

// The ten buttons, by index: caption as built (creation gives 1 and 10 their
// two-line captions), key, place, and the command a press sends (empty for 1
// and 10, whose commands depend on the state).
struct JoystickButton {
    const char* caption;
    int key;
    int left;
    int top;
    std::string_view command;
};

constexpr JoystickButton kButtons[11] = {
    {nullptr, 0, 0, 0, {}},
    {"TAKE OFF", Qt::Key_Shift, 320, 88, {}},
    {"UP(I)", Qt::Key_I, 320, 22, at::kPcmdUp},
    {"DN(K)", Qt::Key_K, 320, 154, at::kPcmdDown},
    {"<Y(J)<", Qt::Key_J, 248, 88, at::kPcmdYawLeft},
    {">Y(L)>", Qt::Key_L, 392, 88, at::kPcmdYawRight},
    {"FRW(W)", Qt::Key_W, 80, 22, at::kPcmdForward},
    {"REV(S)", Qt::Key_S, 80, 154, at::kPcmdBackward},
    {"LFT(A)", Qt::Key_A, 8, 88, at::kPcmdLeft},
    {"RGH(D)", Qt::Key_D, 152, 88, at::kPcmdRight},
    {"SHUT OFF", Qt::Key_Escape, 80, 88, {}},
};

constexpr int kTakeOffLand = 1;
constexpr int kShutOff = 10;
constexpr bool IsMovement(int i)
{
    return i >= 2 && i <= 9;
}

const QString kTakeOffCaption = QStringLiteral("TAKE OFF\r(SHIFT)");
const QString kLandCaption = QStringLiteral("LAND\r(SHIFT)");
const QString kShutOffCaption = QStringLiteral("SHUT OFF\r(ESC)");

// Caption and the accessible name that reads it (line break as a space).
void SetCaption(TSCButton* b, const QString& caption)
{
    b->setCaption(caption);
    b->setAccessibleName(QString(caption).replace(QLatin1Char('\r'), QLatin1Char(' ')));
}

// The button face: the style's own colour.
const QColor kButtonFace;

} // namespace

// ---------------------------------------------------------------- creation

TForm2::TForm2(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form2"));
    Form2 = this;
    buildControls();
    FormCreate();
    Windows().registerWindow(WindowKind::Joystick, this);
}

TForm2::~TForm2()
{
    // The program is ending: a movement still held must not go on without us.
    EndHeldMovement();
    Timer1->stop();
    if (Form2 == this) {
        Form2 = nullptr;
    }
}

void TForm2::buildControls()
{
    setWindowTitle(QStringLiteral("Joystick"));
    setAccessibleName(windowTitle());
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(471, 240);
    move(531, 51);
    // Key preview: no control takes the keyboard, so every key reaches the
    // window itself.
    setFocusPolicy(Qt::StrongFocus);

    TSCButton** const members[11] = {nullptr, &Button1, &Button2, &Button3, &Button4, &Button5,
                                     &Button6, &Button7, &Button8, &Button9, &Button10};
    for (int i = 1; i <= 10; ++i) {
        auto* b = new TSCButton(QString(), this);
        b->setObjectName(QStringLiteral("Button%1").arg(i));
        SetCaption(b, QString::fromLatin1(kButtons[i].caption));
        b->setGeometry(kButtons[i].left, kButtons[i].top, 72, 65);
        b->setFocusPolicy(Qt::NoFocus);
        // Hovering leaves the colour alone.
        b->setAttribute(Qt::WA_Hover, false);
        *members[i] = b;
    }
    SCButton1 = new TSCButton(QString(), this);
    SCButton1->setObjectName(QStringLiteral("SCButton1"));
    SetCaption(SCButton1, QStringLiteral("trim"));
    SCButton1->setGeometry(200, 208, 72, 27);
    SCButton1->setFocusPolicy(Qt::NoFocus);
    SCButton1->setAttribute(Qt::WA_Hover, false);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(30);
    Timer1->setTimerType(Qt::PreciseTimer);

    connect(Timer1, &QTimer::timeout, this, Guarded(this, [this] { Timer1Timer(); }));
    connect(SCButton1, &QPushButton::clicked, this, Guarded(this, [this] { SCButton1Click(); }));
}

void TForm2::FormCreate()
{
    for (int n = 1; n <= 10; ++n) {
        auto* b = findChild<TSCButton*>(QStringLiteral("Button%1").arg(n));
        Buttons[std::size_t(n)] = b;
        b->setEnabled(true);
        connect(b, &TSCButton::mouseDown, this, Guarded(this, [this, b] { ButtonMouseDown(b); }));
        connect(b, &TSCButton::mouseUp, this, Guarded(this, [this, b] { ButtonMouseUp(b); }));
        b->setColor(kButtonFace);
    }
    Buttons[kShutOff]->setColor(ColorFromBgr(kEmergencyColor));
    SetCaption(Buttons[kShutOff], kShutOffCaption);
    Buttons[kTakeOffLand]->setColor(ColorFromBgr(kTakeOffColor));
    SetCaption(Buttons[kTakeOffLand], kTakeOffCaption);
}

// ---------------------------------------------------------- press, release

int TForm2::indexOf(const TSCButton* sender) const
{
    for (int i = 1; i <= 10; ++i) {
        if (Buttons[std::size_t(i)] && sender && Buttons[std::size_t(i)]->objectName() == sender->objectName()) {
            return i;
        }
    }
    return 0;
}

void TForm2::ButtonMouseDown(TSCButton* sender)
{
    const int i = indexOf(sender);
    TSCButton* takeOff = Buttons[kTakeOffLand];
    if (IsMovement(i)) {
        Buttons[std::size_t(i)]->setColor(ColorFromBgr(kHeldColor));
    }
    if (i == kTakeOffLand) {
        if (takeOff->color() == ColorFromBgr(kTakeOffColor)) {
            takeOff->setColor(ColorFromBgr(kLandColor));
            SetCaption(takeOff, kLandCaption);
        } else {
            takeOff->setColor(ColorFromBgr(kTakeOffColor));
            SetCaption(takeOff, kTakeOffCaption);
        }
    }

    std::string_view text;
    if (i == kTakeOffLand) {
        text = takeOff->color() == ColorFromBgr(kLandColor) ? at::kRefTakeOff : at::kRefLand;
    } else if (i == kShutOff) {
        text = at::kRefEmergency;
        takeOff->setColor(ColorFromBgr(kTakeOffColor));
        SetCaption(takeOff, kTakeOffCaption);
    } else if (IsMovement(i)) {
        text = kButtons[i].command;
    }

    if (i == kTakeOffLand || i == kShutOff) {
        SendAtCommand(text);
    } else if (IsMovement(i)) {
        HeldCommand = std::string(text);
        if (!Timer1->isActive()) {
            Timer1->start();
        }
    }
}

void TForm2::ButtonMouseUp(TSCButton* sender)
{
    const int i = indexOf(sender);
    if (IsMovement(i)) {
        Buttons[std::size_t(i)]->setColor(kButtonFace);
    }
    Timer1->stop();
    if (i != kTakeOffLand && i != kShutOff) {
        SendAtCommand(at::kPcmdRelease);
    }
}

void TForm2::Timer1Timer()
{
    SendAtCommand(HeldCommand);
}

void TForm2::SCButton1Click()
{
    SendAtCommand(at::kFtrim);
}

void TForm2::EndHeldMovement()
{
    if (!Timer1->isActive()) {
        return;
    }
    Timer1->stop();
    for (int i = 2; i <= 9; ++i) {
        Buttons[std::size_t(i)]->setColor(kButtonFace);
        Buttons[std::size_t(i)]->setDown(false);
    }
    SendAtCommand(at::kPcmdRelease);
}

// -------------------------------------------------------------------- keys

int TForm2::ButtonIndexOfKey(int qtKey)
{
    for (int i = 1; i <= 10; ++i) {
        if (kButtons[i].key == qtKey) {
            return i;
        }
    }
    return 0;
}

// A left-button press or release delivered to the button, which runs its own
// mouse processing and so the same handlers as a click.
void TForm2::deliverMouse(int index, bool press)
{
    TSCButton* b = Buttons[std::size_t(index)];
    const QPointF local = QRectF(b->rect()).center();
    QMouseEvent ev(press ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, local, b->mapToGlobal(local),
                   Qt::LeftButton, press ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(b, &ev);
}

void TForm2::keyPressEvent(QKeyEvent* e)
{
    const int i = ButtonIndexOfKey(e->key());
    // A held SHIFT or ESC toggles or stops once, not once per repeat.
    const bool repeatedOnce = e->isAutoRepeat() && (i == kTakeOffLand || i == kShutOff);
    if (i != 0 && !repeatedOnce) {
        deliverMouse(i, true);
    }
    QWidget::keyPressEvent(e);
}

void TForm2::keyReleaseEvent(QKeyEvent* e)
{
    const int i = ButtonIndexOfKey(e->key());
    // A held key repeats as release and press pairs: only the real release counts.
    if (i != 0 && !e->isAutoRepeat()) {
        deliverMouse(i, false);
    }
    QWidget::keyReleaseEvent(e);
}

// ---------------------------------------------------- closing, deactivation

bool TForm2::event(QEvent* e)
{
    if (e->type() == QEvent::WindowDeactivate) {
        EndHeldMovement();
    }
    return QWidget::event(e);
}

void TForm2::focusOutEvent(QFocusEvent* e)
{
    EndHeldMovement();
    QWidget::focusOutEvent(e);
}

void TForm2::hideEvent(QHideEvent* e)
{
    EndHeldMovement();
    QWidget::hideEvent(e);
}

void TForm2::closeEvent(QCloseEvent* e)
{
    e->accept();
    FormClose();
}

void TForm2::FormClose()
{
    emit Windows().closedByOperator(WindowKind::Joystick);
}

} // namespace kestrix::gui
