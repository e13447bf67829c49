// Joystick window.
#pragma once

#include <QWidget>

#include <string_view>

namespace kestrix::gui {

class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;
};

extern TForm2* Form2;

// SendAtCommand: numbers every "#" of the template with the next sequence
// number, appends "\r" and sends it from the main window's AT socket. A failed
// send marks the link lost; nothing is reported to the caller. Does nothing
// when the main window does not exist.
void SendAtCommand(std::string_view templ);

} // namespace kestrix::gui
