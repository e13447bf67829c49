// BottomAxis window: the range of the Graph window's bottom (time) axis.
#pragma once

#include "plot/axis_dialog.h"

namespace kestrix::gui {

class TForm6 : public AxisRangeDialog {
    Q_OBJECT
public:
    explicit TForm6(QWidget* parent = nullptr);
    ~TForm6() override;

    ChartAxis* axis() const override;
};

extern TForm6* Form6;

} // namespace kestrix::gui
