#include "kit/decode_action.h"

#include "kit/messages.h"
#include "kit/shared_state.h"

#include <exception>

namespace kestrix::gui {

namespace {
int depth = 0;
}

DecodeAction::DecodeAction() : outermost_(depth == 0), eventsAtStart_(Navdata.wrongSizeEvents)
{
    ++depth;
}

DecodeAction::~DecodeAction()
{
    if (depth > 0) {
        --depth;
    }
    if (outermost_ && Navdata.wrongSizeEvents != eventsAtStart_) {
        try {
            ShowWrongSize();
        } catch (...) {
            // A destructor must not throw; the message is lost at worst.
        }
    }
}

void ResetDecodeActions()
{
    depth = 0;
}

void ShowWrongSize()
{
    ShowMessage(nullptr, QStringLiteral("error"), QStringLiteral("wrong size"));
}

} // namespace kestrix::gui
