#include "joystick.h"

#include "main.h"

#include "kestrix/link/at_channel.h"

namespace kestrix::gui {

TForm2* Form2 = nullptr;

TForm2::TForm2(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form2"));
    Form2 = this;
    setWindowTitle(QStringLiteral("Joystick"));
}

TForm2::~TForm2()
{
    if (Form2 == this) {
        Form2 = nullptr;
    }
}

void SendAtCommand(std::string_view templ)
{
    if (Form1 && Form1->IdUDPServer2) {
        Form1->IdUDPServer2->SendAtCommand(templ);
    }
}

} // namespace kestrix::gui
