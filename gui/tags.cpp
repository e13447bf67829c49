#include "tags.h"

namespace kestrix::gui {

TForm4* Form4 = nullptr;
kestrix::NavdataDecoder Navdata;

TForm4::TForm4(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form4"));
    Form4 = this;
    setWindowTitle(QStringLiteral("NavData"));
}

TForm4::~TForm4()
{
    if (Form4 == this) {
        Form4 = nullptr;
    }
}

} // namespace kestrix::gui
