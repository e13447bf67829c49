// NavData window: every decoded field on its tab, loading a recorded stream
// and stepping through its records.
#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QFileDialog;
class QLabel;
class QMenu;

namespace kestrix::gui {

class TSCButton;
class TSCCheckBox;
class TSCFloatSpinEdit;
class TSCFrameEdit;
class TSCIntSpinEdit;
class TSCPageControl;
class TSCStatusBar;
struct LoadedRecording;

// Record navigation over LoadedStream (none loaded: an empty stream), with
// NavdataState and StreamCursor left as a decode of every packet from the
// start up to the one they stopped at would leave them.
int32_t SeekRecordByIndex(int32_t n);
int32_t SeekRecordByTime(double t);

class TForm4 : public QWidget {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);
    ~TForm4() override;

    // ---- Controls, by their component names.
    QWidget* Panel1;
    TSCButton* SCButton1; // "Open"
    TSCIntSpinEdit* SCEditRecordsCount; // "Record#"
    TSCButton* SCButton6; // "go" (record)
    TSCFloatSpinEdit* SCEditTime; // "Time"
    TSCButton* SCButton5; // "go" (time)
    TSCButton* SCButton2; // "<<"
    TSCButton* SCButton4; // ">>"
    TSCCheckBox* SCCheckbox1; // "graph"
    TSCCheckBox* SCCheckbox2; // "live"
    TSCPageControl* SCPageControl1;
    TSCStatusBar* SCStatusBar1;
    QMenu* PopupMenu1;
    QFileDialog* OpenDialog1 = nullptr; // created when first needed

    // Every field edit, in the order of the core's field-edit table.
    const std::vector<TSCFrameEdit*>& fieldEdits() const { return fieldEdits_; }

    // Stands in for the open dialog when set: returns the chosen full path,
    // or nothing when the choice is cancelled.
    std::function<std::optional<QString>()> OpenFileNameProvider;

    // ---- Handlers.
    void SCButton1Click(); // "Open"
    void SCButton6Click(); // "go" by record
    void SCButton5Click(); // "go" by time
    void SCButton2Click(); // "<<"
    void SCButton4Click(); // ">>"
    void SCCheckbox1Click(); // "graph"
    void DemoClick(int item); // popup menu item `item`

    // Writes every field edit from NavdataState and sets "Time".
    void ShowNavdataFields();

    // ---- Operations for the other windows.
    // Loads `path` as the popup's "Open" would after its dialog.
    void startLoad(const QString& path);
    bool isLoading() const { return loading_; }
    // "Time" := t, then its "go".
    void goToTime(double t);
    QString activeTabCaption() const;
    void setOpenEnabled(bool enabled);
    // The status bar's first panel: text, flashing off.
    void setStatusText(const QString& text);

signals:
    // A load has finished and its first record is shown: the graph redraws
    // the new file (runs inside the load's decode action).
    void drawGraphRequested();
    // A load has ended (ok = the file was read).
    void loadFinished(bool ok);
    // The fields now show the record of this time (seconds; 0 when the
    // record has none).
    void recordShown(double time);

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildControls();
    void buildTabs();
    void setFieldEditsEnabled(bool enabled);
    void loadDone(bool ok, const QString& error);

    std::vector<TSCFrameEdit*> fieldEdits_;
    std::vector<std::string> texts_;
    bool loading_ = false;
    bool openEnabled_ = true;
};

extern TForm4* Form4;

} // namespace kestrix::gui
