#include "leftaxis.h"

namespace kestrix::gui {

TForm3* Form3 = nullptr;

TForm3::TForm3(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form3"));
    Form3 = this;
    setWindowTitle(QStringLiteral("LeftAxis"));
}

TForm3::~TForm3()
{
    if (Form3 == this) {
        Form3 = nullptr;
    }
}

} // namespace kestrix::gui
