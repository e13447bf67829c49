#include "atsamples.h"

namespace kestrix::gui {

TForm7* Form7 = nullptr;

TForm7::TForm7(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form7"));
    Form7 = this;
    setWindowTitle(QStringLiteral("AT samples"));
}

TForm7::~TForm7()
{
    if (Form7 == this) {
        Form7 = nullptr;
    }
}

} // namespace kestrix::gui
