// NavData window: every decoded field on its tab, loading a recorded stream
// and stepping through its records.
#pragma once

#include "session/recording_session.h"

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
class FindWindow;

// Record navigation (SeekRecordByIndex, SeekRecordByTime) and the load belong
// to the recording session (session/recording_session.h); this window starts
// loads, shows their progress and steps through the records.

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
    QMenu* PopupMenu1; // the 28 tab items, a separator, "find"
    QFileDialog* OpenDialog1 = nullptr; // created when first needed

    // Every field edit, in the order of the core's field-edit table.
    const std::vector<TSCFrameEdit*>& fieldEdits() const { return fieldEdits_; }
    // The edits of the "Link" tab, in the order of the link keys.
    const std::vector<TSCFrameEdit*>& linkEdits() const { return linkEdits_; }

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

    // Writes every field edit from NavdataState and sets "Time"; the "Link"
    // tab shows the link counts of the loaded recording up to the record
    // reached (live passes: those of the live stream).
    void ShowNavdataFields();

    // ---- Operations for the other windows.
    // Loads `path` as the popup's "Open" would after its dialog.
    void startLoad(const QString& path);
    bool isLoading() const { return Recording().isLoading(); }
    // "Time" := t, then its "go".
    void goToTime(double t);
    // "Record#" := n, then its "go".
    void goToRecord(int32_t n);
    // The Find tool beside this window (Ctrl+F, and "find" at the end of the
    // tabs' popup menu); created when first opened.
    FindWindow* openFind();
    FindWindow* findWindow() const { return find_; }
    QString activeTabCaption() const;
    void setOpenEnabled(bool enabled);
    // The status bar's first panel: text, flashing off.
    void setStatusText(const QString& text);

signals:
    // A load has ended and this window shows its outcome (ok = the file was
    // read).
    void loadFinished(bool ok);

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildControls();
    void buildTabs();
    void connectSession();
    void setFieldEditsEnabled(bool enabled);
    void showFields(const LinkValues& link);
    void loadStarted();
    void loaded();
    void loadFailed(const QString& error);

    std::vector<TSCFrameEdit*> fieldEdits_;
    std::vector<TSCFrameEdit*> linkEdits_;
    std::vector<std::string> texts_;
    bool openEnabled_ = true;
    FindWindow* find_ = nullptr;
};

extern TForm4* Form4;

} // namespace kestrix::gui
