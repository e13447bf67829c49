#include "plot/bottomaxis.h"

#include "plot/chart_axis.h"

namespace kestrix::gui {

TForm6* Form6 = nullptr;

TForm6::TForm6(QWidget* parent)
    : AxisRangeDialog(QStringLiteral("Form6"), QStringLiteral("BottomAxis"), QSize(134, 116), parent)
{
    Form6 = this;
}

TForm6::~TForm6()
{
    if (Form6 == this) {
        Form6 = nullptr;
    }
}

ChartAxis* TForm6::axis() const
{
    return GraphAxis(GraphAxisRole::Bottom);
}

} // namespace kestrix::gui
