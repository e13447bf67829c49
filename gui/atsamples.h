// AT samples window.
#pragma once

#include <QWidget>

namespace kestrix::gui {

class TForm7 : public QWidget {
    Q_OBJECT
public:
    explicit TForm7(QWidget* parent = nullptr);
    ~TForm7() override;
};

extern TForm7* Form7;

} // namespace kestrix::gui
