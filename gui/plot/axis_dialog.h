// What the two axis range dialogs, LeftAxis and BottomAxis, share: fixed or
// automatic maximum and minimum of one axis of the Graph window's chart.
//
// The dialogs keep no state of their own: the controls are loaded from the
// axis each time the dialog is shown, and "OK" writes them back, the maximum
// before the minimum. A refused limit is reported in the error box and leaves
// the dialog open, with whatever was applied before the refusal in place.
#pragma once

#include <QWidget>

class QLabel;

namespace kestrix::gui {

class ChartAxis;
class TSCBevel;
class TSCButton;
class TSCCheckBox;
class TSCFloatSpinEdit;

class AxisRangeDialog : public QWidget {
    Q_OBJECT
public:
    // A tool window without border icons, closed only by "OK" or "Cancel".
    AxisRangeDialog(const QString& objectName, const QString& caption, QSize clientSize, QWidget* parent);

    // ---- Controls, by their component names.
    QLabel* Label1;                     // "Maximum"
    TSCFloatSpinEdit* SCFloatSpinEdit1; // maximum
    TSCCheckBox* SCCheckbox1;           // "auto" (maximum)
    QLabel* Label2;                     // "Minimum"
    TSCFloatSpinEdit* SCFloatSpinEdit2; // minimum
    TSCCheckBox* SCCheckbox2;           // "auto" (minimum)
    TSCBevel* Bevel1;                   // line above the buttons
    TSCButton* SCButton1;               // "OK"
    TSCButton* SCButton2;               // "Cancel"

    // ---- Handlers.
    void FormShow();
    void SCCheckbox1Change();
    void SCCheckbox2Change();
    void SCButton1Click(); // "OK"
    void SCButton2Click(); // "Cancel"

    // The axis the dialog sets; null while the Graph window does not exist.
    virtual ChartAxis* axis() const = 0;

protected:
    void showEvent(QShowEvent* e) override;
};

} // namespace kestrix::gui
