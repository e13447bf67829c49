// What windows tell each other without reaching into each other: a window
// announces that the operator closed it, or asks for the Graph window to be
// shown or hidden; the windows concerned listen. One object for the whole
// program. User-interface thread only.
//
// The window switches (app/window_switches.h) coordinate windows directly;
// everything else goes through this object, the session objects or a named
// operation of a window.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <QString>

namespace kestrix::gui {

enum class WindowKind { Main, Joystick, NavData, Graph, LeftAxis, BottomAxis, AtSamples };

class WindowEvents : public QObject {
    Q_OBJECT
public:
    // Each window registers itself when it is built (dropped with it), so
    // that others can ask whether it is shown.
    void registerWindow(WindowKind kind, QWidget* window);
    bool isShown(WindowKind kind) const;

    // The caption of the NavData window's active tab (the record group whose
    // field edits are shown), empty without a NavData window. The Graph
    // window builds the key of a dropped field edit from it.
    QString navdataGroup;

    // Program-start state: no group (windows stay registered).
    void reset();

signals:
    // The operator closed `kind` with its own close button.
    void closedByOperator(WindowKind kind);
    // Show (true) or hide the Graph window: the NavData window's "graph" box.
    void graphShowRequested(bool show);

private:
    QPointer<QWidget> windows_[7];
};

// The program's window events.
WindowEvents& Windows();

} // namespace kestrix::gui
