// Every message box of the tool goes through ShowMessage.
//
// Tests install a hook that records the calls instead of showing a modal box.
#pragma once

#include <QString>

#include <exception>
#include <functional>

class QWidget;

namespace kestrix::gui {

using MessageHook = std::function<void(QWidget* owner, const QString& title, const QString& text)>;

// A modal box with the text and one OK button, owned by `owner` (may be null).
// May be called from any thread; the box is shown on the user-interface thread
// and the caller waits for it (a worker is released with WorkerStopped when
// the program stops its workers meanwhile).
void ShowMessage(QWidget* owner, const QString& title, const QString& text);

// Replaces the modal box by `hook`; an empty hook restores the box.
void SetMessageHook(MessageHook hook);

// The standard error box: the error's text, titled "Error", OK button.
void ShowErrorBox(QWidget* owner, const QString& text);

// Shows an exception that a handler did not handle in the standard error box.
void ReportException(QWidget* owner, std::exception_ptr error);

// Wraps a handler (called without arguments; a signal's arguments are
// dropped) so that an exception escaping it ends the handler and is shown in
// the standard error box instead of unwinding through the toolkit.
template <class Owner, class F>
auto Guarded(Owner* owner, F f)
{
    return [owner, f](auto&&...) {
        try {
            f();
        } catch (...) {
            ReportException(owner, std::current_exception());
        }
    };
}

} // namespace kestrix::gui
