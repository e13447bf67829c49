// The one way windows place their controls and themselves.
//
// A control gets its component name, its accessible name (its caption or the
// text of the label beside it), its hint and its rectangle in one call. A
// window is moved by the top-left corner of its frame and always kept inside
// the available area of the screen it lands on (taskbars and panels left
// out): a window opened beside another slides back onto the screen rather
// than leaving part of itself, or its buttons, off it. Overlapping another
// window is allowed; leaving the screen is not.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

namespace kestrix::gui {

template <class W>
W* Place(W* w, const QString& name, const QString& accessible, QRect r, const QString& hint = {})
{
    w->setObjectName(name);
    w->setAccessibleName(accessible);
    if (!hint.isEmpty()) {
        w->setToolTip(hint);
    }
    w->setGeometry(r);
    return w;
}

// The available area of the screen that holds `at`; when no screen does, of
// the screen of `near` (if given), else of the primary screen.
QRect AvailableArea(QPoint at, const QWidget* near = nullptr);

// `frame` moved as little as possible to lie inside `area`; when it is larger
// than the area its top-left corner stays inside.
QPoint KeptInside(QRect frame, QRect area);

// Moves `window` so that its frame's top-left corner is at `frameTopLeft`,
// kept inside the available area of the screen there (of `near`'s screen
// when the point is on none).
void PlaceWindow(QWidget* window, QPoint frameTopLeft, const QWidget* near = nullptr);

// Places `window` against the right edge of `anchor`'s frame, level with its
// top, kept inside the screen.
void PlaceBeside(QWidget* window, const QWidget* anchor);

} // namespace kestrix::gui
