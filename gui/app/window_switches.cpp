#include "app/window_switches.h"

#include "control/atsamples.h"
#include "plot/graph.h"
#include "control/joystick.h"
#include "kit/at_command.h"
#include "control/main.h"
#include "navdata/tags.h"
#include "kit/messages.h"
#include "kit/shared_state.h"
#include "kit/widgets.h"
#include "kit/window_events.h"

#include "kestrix/at_commands.h"

namespace kestrix::gui {

namespace {

void SendSetting(std::string_view text)
{
    if (!text.empty()) {
        SendAtCommand(text);
    }
}

} // namespace

void ConnectWindowSwitches(TForm1& main)
{
    TForm1* m = &main;
    QObject::connect(m->SCCheckbox3, &QCheckBox::toggled, m, Guarded(m, [m] { SCCheckbox3Click(*m); }));
    QObject::connect(m->SCCheckbox1, &QCheckBox::toggled, m, Guarded(m, [m] { SCCheckbox1Click(*m); }));
    QObject::connect(m->RadioControlFlight, &TSCRadioGroup::changed, m,
                     Guarded(m, [m] { RadioControlFlightClick(*m); }));
    QObject::connect(m->RadioHull, &TSCRadioGroup::changed, m, Guarded(m, [m] { RadioHullClick(*m); }));
    QObject::connect(m->SCCheckbox2, &QCheckBox::toggled, m, Guarded(m, [m] { SCCheckbox2Click(*m); }));
    QObject::connect(m->SCRadioGroup3, &TSCRadioGroup::changed, m, Guarded(m, [m] { SCRadioGroup3Click(*m); }));
    QObject::connect(&Windows(), &WindowEvents::closedByOperator, m, [](WindowKind kind) {
        switch (kind) {
        case WindowKind::AtSamples:
            SamplesWindowClosed();
            break;
        case WindowKind::Joystick:
            FlightWindowClosed();
            break;
        case WindowKind::NavData:
        case WindowKind::Graph:
            RecordWindowClosed();
            break;
        default:
            break;
        }
    });
}

std::string_view OutdoorSetting(int item)
{
    return item == 0 ? at::kOutdoorFalse : item == 1 ? at::kOutdoorTrue : std::string_view();
}

std::string_view HullSetting(int item)
{
    return item == 0 ? at::kHullFalse : item == 1 ? at::kHullTrue : std::string_view();
}

// ---------------------------------------------------------------- "Samples"

void SCCheckbox3Click(TForm1& main)
{
    if (!Form7) {
        return;
    }
    // Window positions and the width are those of the outer frame.
    Form7->move(main.x() + main.frameGeometry().width(), main.y());
    if (main.SCCheckbox3->isChecked()) {
        Form7->show();
    } else {
        Form7->close();
    }
}

void SamplesWindowClosed()
{
    if (Form1) {
        Form1->SCCheckbox3->setChecked(false);
    }
}

// ------------------------------------------------------------------ flight

void SCCheckbox1Click(TForm1& main)
{
    if (main.SCCheckbox1->isChecked()) {
        main.SCCheckbox1->repaint();
        if (Form2) {
            Form2->show();
        }
        SendSetting(OutdoorSetting(main.RadioControlFlight->itemIndex()));
        SendSetting(HullSetting(main.RadioHull->itemIndex()));
        return;
    }
    if (Form2) {
        // The release of a held key or button can no longer reach the window.
        Form2->EndHeldMovement();
        Form2->close();
    }
}

void FlightWindowClosed()
{
    if (Form1) {
        Form1->SCCheckbox1->setChecked(false);
    }
}

void RadioControlFlightClick(TForm1& main)
{
    SendSetting(OutdoorSetting(main.RadioControlFlight->itemIndex()));
}

void RadioHullClick(TForm1& main)
{
    SendSetting(HullSetting(main.RadioHull->itemIndex()));
}

// ------------------------------------------ "show stream records and graph"

void SCCheckbox2Click(TForm1& main)
{
    if (!main.SCCheckbox2->isChecked()) {
        if (Form4) {
            Form4->close();
        }
        if (Form5) {
            Form5->close();
        }
        return;
    }
    // The first time, the NavData window opens beside the main window and
    // the Graph window beside it; later they open where the operator left them.
    if (!RecordWindowsPlaced && Form4 && Form5) {
        RecordWindowsPlaced = true;
        Form4->move(main.x() + main.frameGeometry().width(), main.y());
        Form5->move(Form4->x() + Form4->frameGeometry().width(), Form4->y());
    }
    if (Form4) {
        Form4->show();
        Form4->SCCheckbox1->setChecked(true);
    }
    if (Form5) {
        Form5->show();
    }
    const bool live = main.SCRadioGroup3->itemIndex() == 0;
    if (Form4) {
        Form4->setOpenEnabled(!live);
    }
    if (Form5) {
        Form5->setDrawGraphEnabled(!live);
        Form5->setScrollTimeEnabled(live);
    }
}

void RecordWindowClosed()
{
    if (Form1 && !Windows().isShown(WindowKind::NavData) && !Windows().isShown(WindowKind::Graph)) {
        Form1->SCCheckbox2->setChecked(false);
    }
}

// ---------------------------------------------------------- "stream source"

void SCRadioGroup3Click(TForm1& main)
{
    const bool live = main.SCRadioGroup3->itemIndex() == 0;
    if (Form4) {
        Form4->setOpenEnabled(!live);
    }
    if (Form5) {
        Form5->setDrawGraphEnabled(!live);
        Form5->setDrawOnDropEnabled(!live);
    }
    if (Form4) {
        Form4->SCCheckbox2->setEnabled(live);
    }
    if (Form5) {
        Form5->setScrollTimeEnabled(live);
        if (!live) {
            Form5->setBottomAxisAutomatic();
        }
    }
    if (Form4) {
        Form4->setStatusText(live ? QStringLiteral("Live streaming") : QStringLiteral("Ready to load file"));
    }
    if (Form5) {
        Form5->clearAllPoints();
    }
}

} // namespace kestrix::gui
