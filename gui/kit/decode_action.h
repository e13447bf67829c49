// One operator action that decodes navdata (opening a file, a navigation
// step, a "Draw Graph" or "OK" click). A bad Gyros_offsets option met by any
// decode inside it is reported once, with "wrong size" titled "error", when
// the outermost action has ended, on the user-interface thread.
#pragma once

#include <cstdint>

namespace kestrix::gui {

class DecodeAction {
public:
    DecodeAction();
    ~DecodeAction();
    DecodeAction(const DecodeAction&) = delete;
    DecodeAction& operator=(const DecodeAction&) = delete;

private:
    bool outermost_;
    uint64_t eventsAtStart_;
};

// Forgets any action still open (program start, tests).
void ResetDecodeActions();

// The message of a bad option, shown through the one message path.
void ShowWrongSize();

} // namespace kestrix::gui
