#include "kit/colour.h"

namespace kestrix::gui {

QColor ColorFromBgr(uint32_t bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

} // namespace kestrix::gui
