#include "plot/leftaxis.h"

#include "plot/chart_axis.h"

namespace kestrix::gui {

TForm3* Form3 = nullptr;

TForm3::TForm3(QWidget* parent)
    : AxisRangeDialog(QStringLiteral("Form3"), QStringLiteral("LeftAxis"), QSize(132, 115), parent)
{
    Form3 = this;
}

TForm3::~TForm3()
{
    if (Form3 == this) {
        Form3 = nullptr;
    }
}

ChartAxis* TForm3::axis() const
{
    return GraphAxis(GraphAxisRole::Left);
}

} // namespace kestrix::gui
