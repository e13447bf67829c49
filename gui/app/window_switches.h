// The main window's switches for the other windows.
//
// Each switch is a control of the main window (TForm1) whose change handler
// shows or closes another window, or sends a setting the drone keeps. The
// handlers live here, apart from the main window's own link and stream code;
// ConnectWindowSwitches wires them once while the main window is built. A new
// switch adds its handler below and one connection in ConnectWindowSwitches.
//
// Every handler runs on the user-interface thread and reaches the other
// windows through their globals (Form2, Form7, ...), doing nothing for a
// window that does not exist. This file and the start-up are the only code
// that reaches into another window; the windows themselves talk through the
// session objects and kit/window_events.h.
#pragma once

#include <string_view>

namespace kestrix::gui {

class TForm1;

// Connects the switches of `main` to the handlers below, and the windows'
// closures (kit/window_events.h) to the boxes of `main` that show them.
void ConnectWindowSwitches(TForm1& main);

// "Samples" (SCCheckbox3): places the AT samples window against the main
// window's right edge, level with its top, then shows it (ticked) or closes
// it (unticked).
void SCCheckbox3Click(TForm1& main);
// The flight box (SCCheckbox1). Ticked: shows the Joystick window and sends
// the "flight" setting, then the "hull" setting. Unticked: ends a movement
// still held and closes the Joystick window.
void SCCheckbox1Click(TForm1& main);
// "flight" (RadioControlFlight) and "hull" (RadioHull): send the setting of
// the new selection, whether the Joystick window is open or not.
void RadioControlFlightClick(TForm1& main);
void RadioHullClick(TForm1& main);

// "show stream records and graph" (SCCheckbox2). Ticked: shows the NavData
// window, ticks its "graph" box, shows the Graph window, then enables the
// file controls ("Open", "Draw Graph") or the live one (the scroll time) for
// the stream source. Unticked: closes the NavData window, then the Graph
// window.
void SCCheckbox2Click(TForm1& main);
// "stream source" (SCRadioGroup3): switches the NavData and Graph windows
// between live and file mode and empties every series of its points.
void SCRadioGroup3Click(TForm1& main);

// The setting texts for an item of "flight" or "hull": "indoor" (0) sends
// FALSE, "outdoor" (1) TRUE; no selection gives an empty text (nothing sent).
std::string_view OutdoorSetting(int item);
std::string_view HullSetting(int item);

// A window closed by its own close button: unticks the main-window box that
// shows it (whose handler then closes the window, already closing). The
// NavData and Graph windows untick "show stream records and graph" only when
// the other one is not shown either.
void SamplesWindowClosed(); // AT samples -> "Samples"
void FlightWindowClosed();  // Joystick -> the flight box
void RecordWindowClosed();  // NavData or Graph -> "show stream records and graph"

} // namespace kestrix::gui
