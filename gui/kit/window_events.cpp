#include "kit/window_events.h"

namespace kestrix::gui {

void WindowEvents::registerWindow(WindowKind kind, QWidget* window)
{
    windows_[int(kind)] = window;
}

bool WindowEvents::isShown(WindowKind kind) const
{
    const QWidget* w = windows_[int(kind)];
    return w && w->isVisible();
}

void WindowEvents::reset()
{
    navdataGroup.clear();
}

WindowEvents& Windows()
{
    // Lives as long as the program; reachable, so never reported as a leak.
    static auto* events = new WindowEvents;
    return *events;
}

} // namespace kestrix::gui
