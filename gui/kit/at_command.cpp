#include "kit/at_command.h"

#include "control/main.h"

#include "kestrix/link/at_channel.h"

namespace kestrix::gui {

void SendAtCommand(std::string_view templ)
{
    if (Form1 && Form1->IdUDPServer2) {
        Form1->IdUDPServer2->SendAtCommand(templ);
    }
}

} // namespace kestrix::gui
