// Joystick window: flying the drone from the keyboard or with the mouse.
//
// Ten large buttons (Buttons[1..10]) send the take-off/land, emergency and
// movement commands; a movement repeats every 30 ms from Timer1 while its
// button (or key) is held. A key press delivers a left-button press to its
// button, so the keyboard and the mouse run the same press and release code.
#pragma once

#include "kit/at_command.h"
#include "kit/colour.h"

#include <QColor>
#include <QWidget>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

class QTimer;

namespace kestrix::gui {

class TSCButton;

// The movement command the repeat timer sends. Set by every press of a
// movement button, never cleared by a release. User-interface thread only.
// (Kept with the other shared names, kit/shared_state.h.)
extern std::string HeldCommand;

// Colours of the Joystick window, as 0x00BBGGRR values.
inline constexpr uint32_t kTakeOffColor = 9830346;   // light green: the next press takes off
inline constexpr uint32_t kLandColor = 11448063;     // light red: the next press lands
inline constexpr uint32_t kHeldColor = 16561860;     // light violet: movement held
inline constexpr uint32_t kEmergencyColor = 255;     // red: "SHUT OFF"

class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    // ---- Controls, by their component names.
    TSCButton* Button1;   // "TAKE OFF\r(SHIFT)" / "LAND\r(SHIFT)"
    TSCButton* Button2;   // "UP(I)"
    TSCButton* Button3;   // "DN(K)"
    TSCButton* Button4;   // "<Y(J)<"
    TSCButton* Button5;   // ">Y(L)>"
    TSCButton* Button6;   // "FRW(W)"
    TSCButton* Button7;   // "REV(S)"
    TSCButton* Button8;   // "LFT(A)"
    TSCButton* Button9;   // "RGH(D)"
    TSCButton* Button10;  // "SHUT OFF\r(ESC)"
    TSCButton* SCButton1; // "trim"
    QTimer* Timer1;       // movement repeat, 30 ms

    // Buttons[1..10]; index 0 is unused. Filled by FormCreate.
    std::array<TSCButton*, 11> Buttons{};

    // ---- Handlers.
    void FormCreate();
    void ButtonMouseDown(TSCButton* sender);
    void ButtonMouseUp(TSCButton* sender);
    void SCButton1Click();
    void Timer1Timer();
    void FormClose();

    // Ends a movement that is still repeating: when Timer1 runs, stops it,
    // gives the movement buttons their idle colour and sends the release
    // command once. Does nothing otherwise. Called whenever the window can no
    // longer see the release (hidden, closed, deactivated, the flight box
    // unticked), so a held movement never runs on by itself.
    void EndHeldMovement();

    // The button a key stands for (1..10), 0 for any other key.
    static int ButtonIndexOfKey(int qtKey);

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    void buildControls();
    int indexOf(const TSCButton* sender) const;
    void deliverMouse(int index, bool press);
};

extern TForm2* Form2;

} // namespace kestrix::gui
