#include "app/application.h"

#include "control/atsamples.h"
#include "plot/bottomaxis.h"
#include "plot/graph.h"
#include "control/joystick.h"
#include "plot/leftaxis.h"
#include "control/main.h"
#include "kit/messages.h"
#include "kit/shared_state.h"
#include "navdata/tags.h"
#include "kit/ui_thread.h"

#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QStyleFactory>

#include <cstdio>
#include <stdexcept>

namespace kestrix::gui {

KestrixApplication::KestrixApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    QNetworkProxyFactory::setUseSystemConfiguration(false);
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::NoProxy));
    // A style that honours button colours.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        setStyle(fusion);
    }
    setApplicationName(QStringLiteral("kestrix_diagnostics"));
    setApplicationVersion(QStringLiteral("2.2"));
}

bool KestrixApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        QWidget* owner = activeWindow();
        if (!owner) {
            owner = Form1;
        }
        ReportException(owner, std::current_exception());
    }
    return false;
}

void CreateWindows(const link::LinkConfig& config)
{
    ResetSharedState();
    try {
        new TForm1(config);
        new TForm2;
        new TForm4;
        new TForm5;
        new TForm3;
        new TForm6;
        new TForm7;
    } catch (...) {
        DestroyWindows();
        throw;
    }
}

void DestroyWindows()
{
    // No worker may call into a window that is about to go.
    StopWorkers();
    RecordingFile.close();
    delete Form7;
    delete Form6;
    delete Form3;
    delete Form5;
    delete Form4;
    delete Form2;
    delete Form1;
}

void ReportStartupError(const QString& text)
{
    std::fprintf(stderr, "kestrix_diagnostics: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal")) {
        ShowErrorBox(nullptr, text);
    }
}

int RunDiagnostics(KestrixApplication& app)
{
    QString error;
    const link::LinkConfig config = link::LinkConfig::fromEnvironment(&error);
    if (!error.isEmpty()) {
        ReportStartupError(error);
        return 2;
    }
    try {
        CreateWindows(config);
    } catch (const std::exception& e) {
        ReportStartupError(QString::fromUtf8(e.what()));
        return 1;
    }
    Form1->show();
    const int rc = app.exec();
    DestroyWindows();
    return rc;
}

} // namespace kestrix::gui
