#include "plot/axis_dialog.h"

#include "plot/chart_axis.h"
#include "plot/graph_series.h"
#include "kit/messages.h"
#include "kit/widgets.h"

#include <QLabel>

namespace kestrix::gui {

namespace {

template <class W>
W* Place(W* w, const QString& name, const QString& accessible, QRect r)
{
    w->setObjectName(name);
    w->setAccessibleName(accessible);
    w->setGeometry(r);
    return w;
}

} // namespace

AxisRangeDialog::AxisRangeDialog(const QString& objectName, const QString& caption, QSize clientSize,
                                 QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    setAccessibleName(caption);
    setFont(QFont(QStringLiteral("Sans Serif"), 8));
    setFixedSize(clientSize);

    const QString maximum = QStringLiteral("Maximum");
    const QString minimum = QStringLiteral("Minimum");
    const QString automatic = QStringLiteral("auto");
    Label1 = Place(new QLabel(maximum, this), QStringLiteral("Label1"), maximum, {8, 3, 70, 14});
    SCFloatSpinEdit1 = Place(new TSCFloatSpinEdit(this), QStringLiteral("SCFloatSpinEdit1"), maximum, {8, 17, 72, 21});
    SCCheckbox1 = Place(new TSCCheckBox(automatic, this), QStringLiteral("SCCheckbox1"), automatic, {86, 19, 44, 17});
    Label2 = Place(new QLabel(minimum, this), QStringLiteral("Label2"), minimum, {8, 41, 70, 14});
    SCFloatSpinEdit2 = Place(new TSCFloatSpinEdit(this), QStringLiteral("SCFloatSpinEdit2"), minimum, {8, 55, 72, 21});
    SCCheckbox2 = Place(new TSCCheckBox(automatic, this), QStringLiteral("SCCheckbox2"), automatic, {86, 57, 44, 17});
    Bevel1 = Place(new TSCBevel(this), QStringLiteral("Bevel1"), QString(), {4, 81, clientSize.width() - 8, 2});
    Bevel1->setFrameStyle(QFrame::HLine | QFrame::Plain);
    SCButton1 = Place(new TSCButton(QStringLiteral("OK"), this), QStringLiteral("SCButton1"), QStringLiteral("OK"),
                      {8, 87, 56, 24});
    SCButton2 = Place(new TSCButton(QStringLiteral("Cancel"), this), QStringLiteral("SCButton2"),
                      QStringLiteral("Cancel"), {70, 87, 56, 24});

    connect(SCCheckbox1, &QCheckBox::toggled, this, Guarded(this, [this] { SCCheckbox1Change(); }));
    connect(SCCheckbox2, &QCheckBox::toggled, this, Guarded(this, [this] { SCCheckbox2Change(); }));
    connect(SCButton1, &QPushButton::clicked, this, Guarded(this, [this] { SCButton1Click(); }));
    connect(SCButton2, &QPushButton::clicked, this, Guarded(this, [this] { SCButton2Click(); }));
}

void AxisRangeDialog::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    Guarded(this, [this] { FormShow(); })();
}

void AxisRangeDialog::FormShow()
{
    ChartAxis* a = axis();
    if (!a) {
        return;
    }
    GraphBusyGuard busy;
    // A disabled edit ignores the value given to it.
    SCFloatSpinEdit1->setEnabled(true);
    SCFloatSpinEdit2->setEnabled(true);
    SCFloatSpinEdit1->setValue(a->maximum());
    SCFloatSpinEdit2->setValue(a->minimum());
    SCCheckbox1->setChecked(a->automaticMaximum());
    SCFloatSpinEdit1->setEnabled(!a->automaticMaximum());
    SCCheckbox2->setChecked(a->automaticMinimum());
    SCFloatSpinEdit2->setEnabled(!a->automaticMinimum());
}

void AxisRangeDialog::SCCheckbox1Change()
{
    SCFloatSpinEdit1->setEnabled(!SCCheckbox1->isChecked());
}

void AxisRangeDialog::SCCheckbox2Change()
{
    SCFloatSpinEdit2->setEnabled(!SCCheckbox2->isChecked());
}

void AxisRangeDialog::SCButton1Click()
{
    ChartAxis* a = axis();
    if (!a) {
        hide();
        return;
    }
    try {
        GraphBusyGuard busy;
        if (SCCheckbox1->isChecked()) {
            a->setAutomaticMaximum(true);
        } else {
            a->setAutomaticMaximum(false);
            a->setMaximum(SCFloatSpinEdit1->value());
        }
        if (SCCheckbox2->isChecked()) {
            a->setAutomaticMinimum(true);
        } else {
            a->setAutomaticMinimum(false);
            a->setMinimum(SCFloatSpinEdit2->value());
        }
    } catch (const AxisRangeError& refused) {
        // What was applied stays; the operator corrects the values or cancels.
        a->requestReplot();
        ShowErrorBox(this, QString::fromUtf8(refused.what()));
        return;
    }
    a->requestReplot();
    hide();
}

void AxisRangeDialog::SCButton2Click()
{
    hide();
}

} // namespace kestrix::gui
