// The one way every window sends an AT command.
#pragma once

#include <string_view>

namespace kestrix::gui {

// SendAtCommand: numbers every "#" of the template with the next sequence
// number, appends "\r" and sends it from the main window's AT socket. A failed
// send marks the link lost; nothing is reported to the caller. Does nothing
// when the main window does not exist.
void SendAtCommand(std::string_view templ);

} // namespace kestrix::gui
