#include "bottomaxis.h"

namespace kestrix::gui {

TForm6* Form6 = nullptr;

TForm6::TForm6(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form6"));
    Form6 = this;
    setWindowTitle(QStringLiteral("BottomAxis"));
}

TForm6::~TForm6()
{
    if (Form6 == this) {
        Form6 = nullptr;
    }
}

} // namespace kestrix::gui
