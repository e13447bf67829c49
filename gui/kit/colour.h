// Colours written as 0x00BBGGRR values (lowest byte red).
#pragma once

#include <QColor>

#include <cstdint>

namespace kestrix::gui {

// A 0x00BBGGRR colour value (lowest byte red) as a QColor.
QColor ColorFromBgr(uint32_t bgr);

} // namespace kestrix::gui
