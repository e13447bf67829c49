// The main window: link supervision, navdata streaming, recording and the
// switches for the other windows.
#pragma once

#include "kestrix/at_commands.h"
#include "kestrix/link/link_config.h"
#include "kestrix/link/recorder.h"
#include "kit/at_command.h"
#include "kit/shared_state.h"

#include <QByteArray>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>

class QFileDialog;
class QLabel;
class QTimer;

namespace kestrix::link {
class AtChannel;
class NavdataChannel;
} // namespace kestrix::link

namespace kestrix::gui {

class TSCButton;
class TSCCheckBox;
class TSCComboBoxEx;
class TSCFloatSpinEdit;
class TSCFrameEdit;
class TSCGroupBox;
class TSCIntSpinEdit;
class TSCRadioGroup;

// The state the windows share (PacketCounter, LiveDecodeReady, RecordDivisor,
// RecordingFile, LiveDecodeHook, ...) is named in kit/shared_state.h; the
// per-datagram path is the live pipeline's (session/live_pipeline.h).

class TForm1 : public QWidget {
    Q_OBJECT
public:
    // Builds the window and runs its creation steps (FormCreate). Throws
    // std::runtime_error when the AT socket cannot be bound.
    explicit TForm1(const link::LinkConfig& config, QWidget* parent = nullptr);
    ~TForm1() override;

    // ---- Controls, by their component names.
    TSCGroupBox* SCGroupBox1; // "NavData Stream"
    TSCGroupBox* SCGroupBox2; // "AT command"
    TSCGroupBox* SCGroupBox3; // "Float to String"
    TSCGroupBox* SCGroupBox4; // "Flight"
    TSCGroupBox* SCGroupBox5; // "Volmarin"

    TSCButton* SCButton1; // "Start"
    TSCButton* SCButton2; // "Stop"
    TSCButton* SCButton3; // "Send"
    TSCButton* SCButton4; // "..."
    TSCCheckBox* SCCheckbox1; // flight control (caption line of "Flight")
    TSCCheckBox* SCCheckbox2; // show stream records and graph (caption line of "Volmarin")
    TSCCheckBox* SCCheckbox3; // "Samples"
    TSCCheckBox* SCCheckbox4; // "Save To File"
    TSCCheckBox* SCCheckbox5; // "Rewrite On Start"
    TSCFrameEdit* SCFrameEdit1; // "Packet Size"
    TSCFrameEdit* SCFrameEdit2; // "File Size (kB)"
    TSCFrameEdit* SCFrameEdit3; // AT command
    TSCFrameEdit* SCFrameEdit4; // recording file name
    TSCComboBoxEx* SCComboboxEx1; // "Record freq."
    TSCFloatSpinEdit* SCFloatSpinEdit1;
    TSCIntSpinEdit* SCIntSpinEdit1;
    TSCRadioGroup* RadioControlFlight; // "flight"
    TSCRadioGroup* RadioHull;          // "hull"
    TSCRadioGroup* SCRadioGroup3;      // "stream source"
    QLabel* Label1;  // "File Size (kB)"
    QLabel* Label2;  // "Packet Size"
    QLabel* Label3;  // "---->"
    QLabel* Label4;  // "Save To File"
    QLabel* Label5;  // "Samples"
    QLabel* Label6;  // "Rewrite On Start"
    QLabel* Label7;  // credits
    QLabel* Label8;  // credits
    QLabel* Label9;  // version
    QLabel* Label10; // "Record freq."

    QFileDialog* SaveDialog1 = nullptr; // created when first needed
    QTimer* Timer1; // probe, 300 ms
    QTimer* Timer2; // watchdog, 300 ms
    link::NavdataChannel* IdUDPServer1; // navdata socket, port 5554
    link::AtChannel* IdUDPServer2;      // AT socket, port 5556

    // Stands in for the save dialog when set: returns the chosen full path,
    // or nothing when the choice is cancelled.
    std::function<std::optional<QString>()> SaveFileNameProvider;

    // ---- Handlers.
    void FormCreate();
    void SetLinkState(bool connected);
    void Timer1Timer();
    void Timer2Timer();
    void SCButton1Click(); // Start
    void SCButton2Click(); // Stop
    void SCButton3Click(); // Send
    void SCButton4Click(); // "..."
    void SCCheckbox4Click();
    void SCComboboxEx1Change();
    void SCFloatSpinEdit1Change();
    // The per-datagram handler. Always keeps reception going.
    bool IdUDPServer1UDPRead(const QByteArray& datagram);

    // The link as last shown by SetLinkState.
    bool linkConnected() const { return connected_; }

    // Closes any recording file and creates `fileName` anew as RecordingFile;
    // throws "Cannot create file <name>" when that fails.
    void CreateRecordingFile(const QString& fileName);

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildControls();
    void linkLost();
    // The silence mark on "Packet Size" (see connectSession).
    void markSilence(bool silent, int seconds);
    QString packetSizeHint_;
    bool silent_ = false; // the silence mark holds the tool-tip
    void connectSession();
    // The link's counts in the tool-tip of "Packet Size".
    void showLinkCounts();
    void recordingWriteFailed(const QString& text);

    bool connected_ = false;
};

extern TForm1* Form1;

} // namespace kestrix::gui
