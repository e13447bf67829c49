// Graph window.
#pragma once

#include <QWidget>

namespace kestrix::gui {

class TForm5 : public QWidget {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);
    ~TForm5() override;
};

extern TForm5* Form5;

} // namespace kestrix::gui
