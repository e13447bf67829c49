// The application object and the start-up sequence of the program.
#pragma once

#include "kestrix/link/link_config.h"

#include <QApplication>

namespace kestrix::gui {

// Turns an exception that escapes any event handler into the standard error
// box; the handler ends there and the program continues. Also switches off
// every system proxy lookup: the tool talks to the drone directly.
class KestrixApplication : public QApplication {
    Q_OBJECT
public:
    KestrixApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// Creates the seven windows in their order: main, Joystick, NavData, Graph,
// LeftAxis, BottomAxis, AT samples. Throws std::runtime_error (after deleting
// whatever was created) when the main window cannot be created.
void CreateWindows(const link::LinkConfig& config);
// Closes the recording file and deletes the windows, last created first.
void DestroyWindows();

// A start-up failure: written to stderr and, when a display is present, shown
// in the error box.
void ReportStartupError(const QString& text);

// The whole program: reads the link configuration, creates the windows, shows
// the main window and runs the event loop. Returns the exit code.
int RunDiagnostics(KestrixApplication& app);

} // namespace kestrix::gui
