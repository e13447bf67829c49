#include "kit/messages.h"

#include "kit/ui_thread.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <stdexcept>

namespace kestrix::gui {

namespace {

MessageHook& hook()
{
    static MessageHook h;
    return h;
}

void showOnThisThread(QWidget* owner, const QString& title, const QString& text)
{
    if (hook()) {
        hook()(owner, title, text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, owner);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.exec();
}

} // namespace

void ShowMessage(QWidget* owner, const QString& title, const QString& text)
{
    if (OnUiThread()) {
        showOnThisThread(owner, title, text);
        return;
    }
    QPointer<QWidget> guard(owner);
    RunOnUi([guard, title, text] { showOnThisThread(guard.data(), title, text); });
}

void SetMessageHook(MessageHook h)
{
    hook() = std::move(h);
}

void ShowErrorBox(QWidget* owner, const QString& text)
{
    ShowMessage(owner, QStringLiteral("Error"), text);
}

void ReportException(QWidget* owner, std::exception_ptr error)
{
    QString text;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        text = QString::fromUtf8(e.what());
    } catch (...) {
        text = QStringLiteral("Unknown error");
    }
    try {
        ShowErrorBox(owner, text);
    } catch (...) {
        // Nothing sensible is left to do when the error box itself fails.
    }
}

} // namespace kestrix::gui
