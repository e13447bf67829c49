#include "graph.h"

namespace kestrix::gui {

TForm5* Form5 = nullptr;

TForm5::TForm5(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form5"));
    Form5 = this;
    setWindowTitle(QStringLiteral("Graph"));
}

TForm5::~TForm5()
{
    if (Form5 == this) {
        Form5 = nullptr;
    }
}

} // namespace kestrix::gui
