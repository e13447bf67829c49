#include "session/stream_source.h"

namespace kestrix::gui {

void StreamSource::setLive(bool live)
{
    if (live_ == live) {
        return;
    }
    live_ = live;
    emit changed(live);
}

StreamSource& TheStreamSource()
{
    // Lives as long as the program; reachable, so never reported as a leak.
    static auto* source = new StreamSource;
    return *source;
}

} // namespace kestrix::gui
