#include "kit/placement.h"

#include <QGuiApplication>
#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace kestrix::gui {

QRect AvailableArea(QPoint at, const QWidget* near)
{
    QScreen* screen = QGuiApplication::screenAt(at);
    if (!screen && near) {
        screen = near->screen();
    }
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen ? screen->availableGeometry() : QRect();
}

QPoint KeptInside(QRect frame, QRect area)
{
    if (!area.isValid()) {
        return frame.topLeft();
    }
    int x = std::min(frame.left(), area.right() + 1 - frame.width());
    int y = std::min(frame.top(), area.bottom() + 1 - frame.height());
    x = std::max(x, area.left());
    y = std::max(y, area.top());
    return {x, y};
}

namespace {

// Checks the placement again once the window system has given the window
// its frame (on the next turn of the event loop).
void KeepInsideSoon(QWidget* window, const QWidget* near)
{
    QTimer::singleShot(0, window, [window, near = QPointer<const QWidget>(near)] {
        const QRect frame = window->frameGeometry();
        const QPoint inside = KeptInside(frame, AvailableArea(frame.topLeft(), near));
        if (inside != frame.topLeft()) {
            window->move(inside);
        }
    });
}

// Keeps a window placed before it was shown inside the screen once it shows:
// only then is the size of its frame (title bar, borders) known.
class KeepInsideOnShow : public QObject {
public:
    // No meta-object of its own: found among the window's children by name.
    static constexpr const char* kName = "kestrix_keep_inside_on_show";

    KeepInsideOnShow(QWidget* window, const QWidget* near) : QObject(window), near_(near)
    {
        setObjectName(QLatin1String(kName));
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::Show) {
            auto* w = static_cast<QWidget*>(watched);
            KeepInsideSoon(w, near_);
            w->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }

private:
    QPointer<const QWidget> near_;
};

// What a frame adds to a window whose frame is not known yet (not shown, or
// shown a moment ago), as on the windows already shown (`near` first).
QSize FrameBorders(const QWidget* window, const QWidget* near)
{
    auto borders = [](const QWidget* w) { return w->frameGeometry().size() - w->geometry().size(); };
    if (!borders(window).isNull()) {
        return {}; // known already
    }
    if (near && near->isVisible()) {
        return borders(near);
    }
    for (const QWidget* w : QApplication::topLevelWidgets()) {
        if (w != window && w->isVisible() && w->isWindow()) {
            return borders(w);
        }
    }
    return {};
}

} // namespace

void PlaceWindow(QWidget* window, QPoint frameTopLeft, const QWidget* near)
{
    // The frame's size is known once the window has been shown; before, the
    // window's own size with the borders of a window already shown stands in
    // for it, and the placement is checked again when it shows.
    const QRect frame(frameTopLeft, window->frameGeometry().size() + FrameBorders(window, near));
    window->move(KeptInside(frame, AvailableArea(frameTopLeft, near)));
    if (window->isVisible()) {
        KeepInsideSoon(window, near);
    } else if (!window->findChild<QObject*>(QLatin1String(KeepInsideOnShow::kName), Qt::FindDirectChildrenOnly)) {
        new KeepInsideOnShow(window, near);
    }
}

void PlaceBeside(QWidget* window, const QWidget* anchor)
{
    const QRect a = anchor->frameGeometry();
    PlaceWindow(window, QPoint(a.left() + a.width(), a.top()), anchor);
}

} // namespace kestrix::gui
