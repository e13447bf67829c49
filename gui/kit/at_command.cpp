#include "kit/at_command.h"

#include "kestrix/link/at_channel.h"

#include <QPointer>

#include <stdexcept>

namespace kestrix::gui {

namespace {
QPointer<link::AtChannel> channel;
}

void SetAtChannel(link::AtChannel* c)
{
    channel = c;
}

link::AtChannel* CurrentAtChannel()
{
    return channel;
}

void SendAtCommand(std::string_view templ)
{
    if (channel) {
        channel->SendAtCommand(templ);
    }
}

at::AtSequence& AtSequence()
{
    if (!channel) {
        throw std::logic_error("AtSequence used without a main window");
    }
    return channel->sequence();
}

void AtCommandLine::setText(const QString& text)
{
    if (text_ == text) {
        return;
    }
    text_ = text;
    emit changed(text_);
}

AtCommandLine& TheAtCommandLine()
{
    // Lives as long as the program; reachable, so never reported as a leak.
    static auto* line = new AtCommandLine;
    return *line;
}

} // namespace kestrix::gui
