// LeftAxis window: the range of the Graph window's left (value) axis.
#pragma once

#include "plot/axis_dialog.h"

namespace kestrix::gui {

class TForm3 : public AxisRangeDialog {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);
    ~TForm3() override;

    ChartAxis* axis() const override;
};

extern TForm3* Form3;

} // namespace kestrix::gui
