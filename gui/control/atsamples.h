// AT samples window: LED animation, motor drive values and the emergency
// stop, built from a few edits and either copied into the main window's AT
// command edit or sent at once.
#pragma once

#include <QWidget>

#include <array>

class QLabel;

namespace kestrix::gui {

class TSCButton;
class TSCCheckBox;
class TSCFloatSpinEdit;
class TSCGroupBox;
class TSCIntSpinEdit;

class TForm7 : public QWidget {
    Q_OBJECT
public:
    explicit TForm7(QWidget* parent = nullptr);
    ~TForm7() override;

    // ---- Controls, by their component names.
    TSCGroupBox* SCGroupBox1; // "LED"
    TSCGroupBox* SCGroupBox2; // "Motors"
    TSCGroupBox* SCGroupBox3; // "Emergency"

    TSCIntSpinEdit* SCIntSpinEdit1;     // "animation type", 0..100
    TSCFloatSpinEdit* SCFloatSpinEdit1; // "frequecy, Hz", 0..100
    TSCIntSpinEdit* SCIntSpinEdit2;     // "total time, sec", 0..100
    TSCButton* SCButton4;               // LED "Copy"
    TSCButton* SCButton1;               // LED "Send"

    TSCIntSpinEdit* SCIntSpinEdit3; // "motor 1", 0..255
    TSCIntSpinEdit* SCIntSpinEdit4; // "motor 2"
    TSCIntSpinEdit* SCIntSpinEdit5; // "motor 3"
    TSCIntSpinEdit* SCIntSpinEdit6; // "motor 4"
    TSCCheckBox* SCCheckbox1;       // "all same"
    TSCCheckBox* SCCheckbox2;       // "send on change"
    TSCButton* SCButton5;           // Motors "Copy"
    TSCButton* SCButton2;           // Motors "Send"

    TSCButton* SCButton3; // "Stop All"

    QLabel* Label1; // "animation type"
    QLabel* Label2; // "frequecy, Hz"
    QLabel* Label3; // "total time, sec"
    QLabel* Label4; // "motor 1"
    QLabel* Label5; // "motor 2"
    QLabel* Label6; // "motor 3"
    QLabel* Label7; // "motor 4"
    QLabel* Label8; // "send on change"

    // ---- Handlers.
    void SCButton4Click(); // LED "Copy"
    void SCButton1Click(); // LED "Send"
    void SCButton5Click(); // Motors "Copy"
    void SCButton2Click(); // Motors "Send"
    void SCIntSpinEdit3Change();
    void SCIntSpinEdit4Change();
    void SCIntSpinEdit5Change();
    void SCIntSpinEdit6Change();
    void SCButton3Click(); // "Stop All"
    void FormClose();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildControls();
    // "motor 1" .. "motor 4".
    std::array<TSCIntSpinEdit*, 4> motors() const;
    // The change of motor `m` (0..3): "all same", then "send on change".
    void motorChange(int m);
};

extern TForm7* Form7;

} // namespace kestrix::gui
