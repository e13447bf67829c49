// BottomAxis window.
#pragma once

#include <QWidget>

namespace kestrix::gui {

class TForm6 : public QWidget {
    Q_OBJECT
public:
    explicit TForm6(QWidget* parent = nullptr);
    ~TForm6() override;
};

extern TForm6* Form6;

} // namespace kestrix::gui
