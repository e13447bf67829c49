// Graph window: navdata fields dropped from the NavData window, plotted
// against time over a whole recording or live.
#pragma once

#include <QWidget>

#include <memory>

class QCPAbstractPlottable;
class QCPAxis;
class QCustomPlot;
class QLabel;
class QPainter;
class QStyleOptionViewItem;

namespace kestrix::gui {

class ChartAxis;
class GraphSeries;
class TSCBevel;
class TSCButton;
class TSCCheckBox;
class TSCComboBoxEx;
class TSCFloatSpinEdit;

class TForm5 : public QWidget {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);
    ~TForm5() override;

    // ---- Controls, by their component names.
    QLabel* Label1;                     // "Drag and Drop NavData field"
    TSCComboBoxEx* SCCombobox1;         // the field list
    TSCCheckBox* SCCheckbox1;           // "draw on drop"
    QLabel* Label2;                     // "multiplier"
    TSCFloatSpinEdit* SCFloatSpinEdit1; // multiplier
    TSCButton* SCButton6;               // "OK"
    QLabel* Label3;                     // "order"
    TSCButton* SCButton4;               // "front"
    TSCButton* SCButton2;               // "Del. Selected"
    TSCButton* SCButton1;               // "Delete All"
    TSCBevel* Bevel1;                   // separator
    QLabel* Label4;                     // "scroll time (s)"
    TSCFloatSpinEdit* XframeTime;
    TSCButton* SCButton5; // "Clear Graph"
    TSCButton* SCButton3; // "Draw Graph"
    QCustomPlot* Chart1;

    // ---- Handlers.
    // A field edit named `fieldEditName` dropped on the field list.
    void SCCombobox1DragDrop(const QString& fieldEditName);
    // Paints item `index` of the field list: its series' colour as a square
    // swatch, then its key.
    void SCCombobox1DrawItem(QPainter* p, const QStyleOptionViewItem& option, int index);
    void SCCombobox1Change();
    void SCFloatSpinEdit1Change();
    void SCButton1Click(); // "Delete All"
    void SCButton2Click(); // "Del. Selected"
    void SCButton3Click(); // "Draw Graph" and "OK"
    void SCButton4Click(); // "front"
    void SCButton5Click(); // "Clear Graph"
    void Chart1ClickAxis(QCPAxis* axis);
    void Chart1ClickSeries(QCPAbstractPlottable* series, int pointIndex);

    // ---- Operations for the other windows.
    // The stream source's effect on this window: "live" disables "Draw
    // Graph" (and "OK") and "draw on drop" and enables the scroll time;
    // "file" does the reverse and gives the bottom axis back its automatic
    // range. The points are left alone (clearAllPoints).
    void setStreamSource(bool live);
    // "Draw Graph" and "OK", always together.
    void setDrawGraphEnabled(bool enabled);
    void setDrawOnDropEnabled(bool enabled);
    void setScrollTimeEnabled(bool enabled);
    void setBottomAxisAutomatic();
    // Empties every series of its points; the fields and series stay.
    void clearAllPoints();
    // Asks for a repaint of the chart on the next turn of the event loop.
    void requestReplot();

    GraphSeries& series() { return *series_; }
    ChartAxis& leftAxis() { return *leftAxis_; }
    ChartAxis& bottomAxis() { return *bottomAxis_; }

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildControls();
    // The selected item of the field list, -1 when none.
    int selectedField() const;
    void showSelected();
    bool liveSource() const;

    ChartAxis* leftAxis_;
    ChartAxis* bottomAxis_;
    std::unique_ptr<GraphSeries> series_;
    bool loadingMultiplier_ = false;
};

extern TForm5* Form5;

// AddRecordPoints, the plotting pass of this window (GraphSeries::
// addRecordPoints), is reached through live plotting (session/thread.h).

} // namespace kestrix::gui
