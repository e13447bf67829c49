// The one way every window sends an AT command, and the text of the main
// window's AT command edit, which the AT samples window writes and sends.
#pragma once

#include <QObject>
#include <QString>

#include <string_view>

namespace kestrix::at {
class AtSequence;
}
namespace kestrix::link {
class AtChannel;
}

namespace kestrix::gui {

// The AT socket every command goes out on: the main window's, set while it
// exists (dropped with it).
void SetAtChannel(link::AtChannel* channel);
link::AtChannel* CurrentAtChannel();

// SendAtCommand: numbers every "#" of the template with the next sequence
// number, appends "\r" and sends it from the main window's AT socket. A failed
// send marks the link lost; nothing is reported to the caller. Does nothing
// when the main window does not exist.
void SendAtCommand(std::string_view templ);

// AtSequence: the last AT sequence number used, kept by the main window's AT
// channel. Throws std::logic_error while there is no main window.
at::AtSequence& AtSequence();

// The text of the main window's AT command edit as a value: the main window
// keeps it equal to its edit both ways.
class AtCommandLine : public QObject {
    Q_OBJECT
public:
    QString text() const { return text_; }
    // Emits `changed` when the text changes.
    void setText(const QString& text);

signals:
    void changed(const QString& text);

private:
    QString text_;
};

// The program's AT command line.
AtCommandLine& TheAtCommandLine();

} // namespace kestrix::gui
