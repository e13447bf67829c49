// Program entry: no arguments; returns when the main window is closed.
#include "app/application.h"

int main(int argc, char** argv)
{
    kestrix::gui::KestrixApplication app(argc, argv);
    return kestrix::gui::RunDiagnostics(app);
}
