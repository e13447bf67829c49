#include "control/atsamples.h"

#include "kit/at_command.h"
#include "kit/colour.h"
#include "kit/messages.h"
#include "kit/widgets.h"
#include "kit/window_events.h"

#include "kestrix/at_commands.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QWheelEvent>

#include <stdexcept>

namespace kestrix::gui {

TForm7* Form7 = nullptr;

namespace {

// "Stop All": light red.
constexpr uint32_t kStopAllColor = 9540095;

// The main window's AT command edit (as the program's AT command line), which
// this window writes and reads back.
void SetAtCommandEditText(const std::string& text)
{
    TheAtCommandLine().setText(QString::fromStdString(text));
}

void SendAtCommandEditText()
{
    const QByteArray text = TheAtCommandLine().text().toLatin1();
    SendAtCommand(std::string_view(text.constData(), std::size_t(text.size())));
}

// The number edits spin in steps of 1 with the up and down keys and the
// wheel, within their ranges; each step is a value change like typing.
class SpinByOne : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        int step = 0;
        if (e->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(e)->key();
            step = key == Qt::Key_Up ? 1 : key == Qt::Key_Down ? -1 : 0;
        } else if (e->type() == QEvent::Wheel) {
            const int dy = static_cast<QWheelEvent*>(e)->angleDelta().y();
            step = dy > 0 ? 1 : dy < 0 ? -1 : 0;
        }
        if (step == 0) {
            return false;
        }
        if (auto* i = qobject_cast<TSCIntSpinEdit*>(watched)) {
            i->setValue(i->value() + step);
        } else if (auto* f = qobject_cast<TSCFloatSpinEdit*>(watched)) {
            f->setValue(f->value() + step);
        }
        return true;
    }
};

} // namespace

// ---------------------------------------------------------------- creation

TForm7::TForm7(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form7"));
    Form7 = this;
    buildControls();
    Windows().registerWindow(WindowKind::AtSamples, this);
}

TForm7::~TForm7()
{
    if (Form7 == this) {
        Form7 = nullptr;
    }
}

void TForm7::buildControls()
{
    setWindowTitle(QStringLiteral("AT samples"));
    setAccessibleName(windowTitle());
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(QFont(QStringLiteral("Sans Serif"), 8)); // as the main window
    setFixedSize(167, 346);
    move(355, 56);

    auto* spin = new SpinByOne(this);
    auto group = [this](const char* name, const char* caption, int top, int height) {
        auto* g = new TSCGroupBox(QString::fromLatin1(caption), this);
        g->setObjectName(QString::fromLatin1(name));
        g->setAccessibleName(g->title());
        g->setGeometry(0, top, 167, height);
        return g;
    };
    // A labelled number edit on one row of a group.
    auto row = [spin](QWidget* g, const char* labelName, const char* text, QWidget* edit, const char* editName,
                      int top) {
        auto* l = new QLabel(QString::fromLatin1(text), g);
        l->setObjectName(QString::fromLatin1(labelName));
        l->setAccessibleName(l->text());
        l->setGeometry(8, top + 2, 92, 16);
        l->setBuddy(edit);
        edit->setObjectName(QString::fromLatin1(editName));
        edit->setAccessibleName(l->text());
        edit->setGeometry(100, top, 59, 20);
        edit->installEventFilter(spin);
        return l;
    };
    auto intEdit = [](QWidget* g, qint64 maxValue, qint64 start) {
        auto* e = new TSCIntSpinEdit(g);
        e->setRange(0, maxValue);
        e->setValue(start);
        return e;
    };
    auto button = [](QWidget* g, const char* name, const char* caption, QRect r) {
        auto* b = new TSCButton(QString::fromLatin1(caption), g);
        b->setObjectName(QString::fromLatin1(name));
        b->setAccessibleName(b->caption());
        b->setGeometry(r);
        return b;
    };

    // "LED"
    SCGroupBox1 = group("SCGroupBox1", "LED", 0, 105);
    SCIntSpinEdit1 = intEdit(SCGroupBox1, 100, 0);
    Label1 = row(SCGroupBox1, "Label1", "animation type", SCIntSpinEdit1, "SCIntSpinEdit1", 17);
    SCFloatSpinEdit1 = new TSCFloatSpinEdit(SCGroupBox1);
    SCFloatSpinEdit1->setRange(0, 100);
    SCFloatSpinEdit1->setValue(5);
    Label2 = row(SCGroupBox1, "Label2", "frequecy, Hz", SCFloatSpinEdit1, "SCFloatSpinEdit1", 39);
    SCIntSpinEdit2 = intEdit(SCGroupBox1, 100, 1);
    Label3 = row(SCGroupBox1, "Label3", "total time, sec", SCIntSpinEdit2, "SCIntSpinEdit2", 61);
    SCButton4 = button(SCGroupBox1, "SCButton4", "Copy", {8, 82, 72, 20});
    SCButton1 = button(SCGroupBox1, "SCButton1", "Send", {87, 82, 72, 20});

    // "Motors"
    SCGroupBox2 = group("SCGroupBox2", "Motors", 105, 184);
    SCIntSpinEdit3 = intEdit(SCGroupBox2, 255, 0);
    Label4 = row(SCGroupBox2, "Label4", "motor 1", SCIntSpinEdit3, "SCIntSpinEdit3", 17);
    SCIntSpinEdit4 = intEdit(SCGroupBox2, 255, 0);
    Label5 = row(SCGroupBox2, "Label5", "motor 2", SCIntSpinEdit4, "SCIntSpinEdit4", 39);
    SCIntSpinEdit5 = intEdit(SCGroupBox2, 255, 0);
    Label6 = row(SCGroupBox2, "Label6", "motor 3", SCIntSpinEdit5, "SCIntSpinEdit5", 61);
    SCIntSpinEdit6 = intEdit(SCGroupBox2, 255, 0);
    Label7 = row(SCGroupBox2, "Label7", "motor 4", SCIntSpinEdit6, "SCIntSpinEdit6", 83);
    SCCheckbox1 = new TSCCheckBox(QStringLiteral("all same"), SCGroupBox2);
    SCCheckbox1->setObjectName(QStringLiteral("SCCheckbox1"));
    SCCheckbox1->setAccessibleName(SCCheckbox1->text());
    SCCheckbox1->setGeometry(8, 107, 151, 20);
    SCCheckbox2 = new TSCCheckBox(QString(), SCGroupBox2);
    SCCheckbox2->setObjectName(QStringLiteral("SCCheckbox2"));
    SCCheckbox2->setAccessibleName(QStringLiteral("send on change"));
    SCCheckbox2->setGeometry(8, 130, 18, 20);
    Label8 = new QLabel(QStringLiteral("send on change"), SCGroupBox2);
    Label8->setObjectName(QStringLiteral("Label8"));
    Label8->setAccessibleName(Label8->text());
    Label8->setGeometry(28, 132, 131, 16);
    Label8->setBuddy(SCCheckbox2);
    SCButton5 = button(SCGroupBox2, "SCButton5", "Copy", {8, 156, 72, 22});
    SCButton2 = button(SCGroupBox2, "SCButton2", "Send", {87, 156, 72, 22});

    // "Emergency"
    SCGroupBox3 = group("SCGroupBox3", "Emergency", 289, 56);
    SCButton3 = button(SCGroupBox3, "SCButton3", "Stop All", {8, 18, 151, 32});
    SCButton3->setColor(ColorFromBgr(kStopAllColor));

    connect(SCButton4, &QPushButton::clicked, this, Guarded(this, [this] { SCButton4Click(); }));
    connect(SCButton1, &QPushButton::clicked, this, Guarded(this, [this] { SCButton1Click(); }));
    connect(SCButton5, &QPushButton::clicked, this, Guarded(this, [this] { SCButton5Click(); }));
    connect(SCButton2, &QPushButton::clicked, this, Guarded(this, [this] { SCButton2Click(); }));
    connect(SCButton3, &QPushButton::clicked, this, Guarded(this, [this] { SCButton3Click(); }));
    connect(SCIntSpinEdit3, &TSCIntSpinEdit::valueChanged, this, Guarded(this, [this] { SCIntSpinEdit3Change(); }));
    connect(SCIntSpinEdit4, &TSCIntSpinEdit::valueChanged, this, Guarded(this, [this] { SCIntSpinEdit4Change(); }));
    connect(SCIntSpinEdit5, &TSCIntSpinEdit::valueChanged, this, Guarded(this, [this] { SCIntSpinEdit5Change(); }));
    connect(SCIntSpinEdit6, &TSCIntSpinEdit::valueChanged, this, Guarded(this, [this] { SCIntSpinEdit6Change(); }));
}

std::array<TSCIntSpinEdit*, 4> TForm7::motors() const
{
    return {SCIntSpinEdit3, SCIntSpinEdit4, SCIntSpinEdit5, SCIntSpinEdit6};
}

// -------------------------------------------------------------------- LED

void TForm7::SCButton4Click()
{
    const std::string text = at::LedCommand(int(SCIntSpinEdit1->value()), SCFloatSpinEdit1->value(),
                                            int(SCIntSpinEdit2->value()));
    SetAtCommandEditText(text);
}

void TForm7::SCButton1Click()
{
    SCButton4Click();
    SendAtCommandEditText();
}

// ----------------------------------------------------------------- motors

void TForm7::SCButton5Click()
{
    const auto m = motors();
    const std::string text =
        at::PwmCommand(int(m[0]->value()), int(m[1]->value()), int(m[2]->value()), int(m[3]->value()));
    SetAtCommandEditText(text);
}

void TForm7::SCButton2Click()
{
    SCButton5Click();
    AtSequence().set(1);
    SendAtCommandEditText();
}

void TForm7::motorChange(int changed)
{
    // "all same": the other three, in this order for each changed motor. Each
    // edit that takes a new value runs its own change at once.
    static constexpr int kOthers[4][3] = {{1, 2, 3}, {0, 2, 3}, {0, 1, 3}, {1, 2, 0}};
    const auto m = motors();
    if (SCCheckbox1->isChecked()) {
        for (int other : kOthers[changed]) {
            m[std::size_t(other)]->setValue(m[std::size_t(changed)]->value());
        }
    }
    if (SCCheckbox2->isChecked()) {
        SCButton2Click();
    }
}

void TForm7::SCIntSpinEdit3Change()
{
    motorChange(0);
}

void TForm7::SCIntSpinEdit4Change()
{
    motorChange(1);
}

void TForm7::SCIntSpinEdit5Change()
{
    motorChange(2);
}

void TForm7::SCIntSpinEdit6Change()
{
    motorChange(3);
}

// -------------------------------------------------------------- emergency

void TForm7::SCButton3Click()
{
    AtSequence().set(1);
    for (TSCIntSpinEdit* m : motors()) {
        m->setValue(0);
    }
    SendAtCommand(at::kPwmStopAll);
    SetAtCommandEditText(std::string(at::kRefStopAll));
    SendAtCommand(at::kRefStopAll);
}

// ----------------------------------------------------------------- closing

void TForm7::closeEvent(QCloseEvent* e)
{
    e->accept();
    FormClose();
}

void TForm7::FormClose()
{
    emit Windows().closedByOperator(WindowKind::AtSamples);
}

} // namespace kestrix::gui
