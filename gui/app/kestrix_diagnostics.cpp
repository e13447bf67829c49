// Program entry. Without arguments it opens the main window and returns when
// that window is closed; --help and --version answer before any window or
// socket exists (no display needed).
#include "app/application.h"

#include "kestrix/version.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kHelp =
    "Usage: kestrix_diagnostics [--help | --version]\n"
    "\n"
    "Ground station and diagnostics tool for the Kestrix quadcopter. It receives\n"
    "the navdata telemetry on UDP port 5554, decodes every option record, records\n"
    "and replays the raw stream, plots fields against time and flies the drone\n"
    "with text AT commands sent to UDP port 5556. Without options it opens the\n"
    "main window; the NavData, Graph, Joystick and AT samples windows open from\n"
    "there.\n"
    "\n"
    "Options:\n"
    "  -h, --help     this text\n"
    "  --version      the version number\n"
    "\n"
    "Environment:\n"
    "  KESTRIX_DRONE_ADDRESS   IPv4 address of the drone (default 192.168.1.1)\n"
    "  KESTRIX_BIND_ADDRESS    local IPv4 address to bind (default: all of them)\n"
    "\n"
    "Exit status: 0 when the main window was closed, 1 when the windows could\n"
    "not be created (for example UDP port 5556 already in use), 2 for an unusable\n"
    "address in the environment.\n";

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("kestrix_diagnostics %s\n", kestrix::kVersion);
        return 0;
    }
    kestrix::gui::KestrixApplication app(argc, argv);
    return kestrix::gui::RunDiagnostics(app);
}
