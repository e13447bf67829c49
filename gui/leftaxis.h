// LeftAxis window.
#pragma once

#include <QWidget>

namespace kestrix::gui {

class TForm3 : public QWidget {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);
    ~TForm3() override;
};

extern TForm3* Form3;

} // namespace kestrix::gui
