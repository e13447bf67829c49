// The controls the windows are built from, on top of Qt Widgets.
//
// Buttons with a settable colour and multi-line caption, check boxes, integer
// and real number edits, frame edits, a combo box with a value text per item,
// radio groups whose items can be disabled one by one, group boxes with a
// check box in their caption line, a page control, a status bar whose panels
// can flash, and bevels.
#pragma once

#include <algorithm>

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStringList>
#include <QTabWidget>

#include <functional>
#include <vector>

class QButtonGroup;
class QLabel;
class QPainter;
class QStyleOptionViewItem;
class QTimer;

namespace kestrix::gui {

// A push button. A carriage return in the caption breaks the line. Mouse-down
// and mouse-up of the left button (real, or synthetic events sent from code)
// raise mouseDown() and mouseUp().
class TSCButton : public QPushButton {
    Q_OBJECT
public:
    explicit TSCButton(const QString& caption = {}, QWidget* parent = nullptr);

    void setCaption(const QString& caption);
    QString caption() const { return caption_; }
    // An invalid colour restores the style's own button colour.
    void setColor(const QColor& color);
    QColor color() const { return color_; }

signals:
    void mouseDown();
    void mouseUp();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QString caption_;
    QColor color_;
};

// A check box. toggled() runs for the operator's clicks and for setChecked().
class TSCCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit TSCCheckBox(const QString& caption = {}, QWidget* parent = nullptr);
};

// What the number fields share: a plain line edit that ignores the arrow,
// page and wheel steps of a spin box, and a minimum/maximum pair of which
// both 0 mean unbounded.
class TSCNumberField : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
};

template <class T>
struct NumberRange {
    T min = 0;
    T max = 0;
    bool bounded() const { return min != 0 || max != 0; }
    void set(T a, T b)
    {
        min = std::min(a, b);
        max = std::max(a, b);
    }
    T clamp(T v) const { return bounded() ? std::min(std::max(v, min), max) : v; }
};

// A plain integer field: no spin buttons, no arrow keys, no wheel, no
// thousands separators. Minimum and maximum both 0 mean unbounded (the range
// of a signed 32-bit integer). valueChanged() is raised whenever the value
// changes, by typing or from code, and not when the value set equals the
// current one; setValue() is ignored while the edit is disabled; an empty or
// non-numeric text reads as the minimum.
class TSCIntSpinEdit : public TSCNumberField {
    Q_OBJECT
public:
    explicit TSCIntSpinEdit(QWidget* parent = nullptr);

    qint64 value() const;
    void setValue(qint64 v);
    void setRange(qint64 minValue, qint64 maxValue);
    qint64 minValue() const { return range_.min; }
    qint64 maxValue() const { return range_.max; }

signals:
    void valueChanged(qint64 value);

private:
    qint64 clamp(qint64 v) const;
    void textEdited();

    NumberRange<qint64> range_;
    qint64 last_ = 0;
};

// A plain real field with the same rules as TSCIntSpinEdit; it accepts up to
// decimals() places after the point (10 unless set).
class TSCFloatSpinEdit : public TSCNumberField {
    Q_OBJECT
public:
    explicit TSCFloatSpinEdit(QWidget* parent = nullptr);

    double value() const;
    void setValue(double v);
    void setRange(double minValue, double maxValue);
    double minValue() const { return range_.min; }
    double maxValue() const { return range_.max; }
    void setDecimals(int decimals);
    int decimals() const { return decimals_; }

signals:
    void valueChanged(double value);

private:
    void textEdited();
    void updateValidator();

    NumberRange<double> range_;
    double last_ = 0;
    int decimals_ = 10;
};

// The drag data of a field edit: its objectName in UTF-8.
inline constexpr char kFieldEditMimeType[] = "application/x-kestrix-field-edit";

// A framed one-line edit. As a field (setField(true)) its text can be neither
// edited nor selected, and moving the mouse with the left button pressed on
// it starts a drag that carries the edit's objectName under kFieldEditMimeType only.
class TSCFrameEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TSCFrameEdit(QWidget* parent = nullptr);

    void setField(bool field);
    bool isField() const { return field_; }

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    bool field_ = false;
};

// A combo box holding one value text per item. drawItem, when set, paints the
// items of the drop-down list (owner draw).
class TSCComboBoxEx : public QComboBox {
    Q_OBJECT
public:
    using DrawItem = std::function<void(QPainter*, const QStyleOptionViewItem&, int index)>;

    explicit TSCComboBoxEx(QWidget* parent = nullptr);

    void addItemWithValue(const QString& text, const QString& valueText);
    QString valueText(int index) const;
    void setValueText(int index, const QString& valueText);
    void setDrawItem(DrawItem draw);
    const DrawItem& drawItem() const { return draw_; }

private:
    DrawItem draw_;
};

// A captioned group of radio buttons laid out in `columns` columns. The
// selection is itemIndex() (-1 = none); changed() is raised when it changes,
// by a click or from code. Single items can be disabled; setItemIndex() may
// still select a disabled item.
class TSCRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TSCRadioGroup(const QString& caption, const QStringList& items, int columns = 1,
                  QWidget* parent = nullptr);

    int itemIndex() const;
    void setItemIndex(int index);
    int count() const { return int(buttons_.size()); }
    QRadioButton* item(int index) const;
    void setItemEnabled(int index, bool enabled);
    bool isItemEnabled(int index) const;

signals:
    void changed(int index);

private:
    QButtonGroup* group_;
    std::vector<QRadioButton*> buttons_;
    int columns_;
    int current_ = -1;
};

// A group box that can hold a check box in its caption line, right after the
// caption text. Unlike a checkable QGroupBox, the box does not disable the
// group's children.
class TSCGroupBox : public QGroupBox {
    Q_OBJECT
public:
    explicit TSCGroupBox(const QString& caption, QWidget* parent = nullptr);

    // Takes `box` as a child and keeps it placed in the caption line.
    void setCaptionCheckBox(TSCCheckBox* box);
    TSCCheckBox* captionCheckBox() const { return box_; }

protected:
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void placeBox();
    TSCCheckBox* box_ = nullptr;
};

// Tabbed pages; the active page is set by index and the tabs can sit on any
// side.
class TSCPageControl : public QTabWidget {
    Q_OBJECT
public:
    explicit TSCPageControl(QWidget* parent = nullptr);

    int activePageIndex() const { return currentIndex(); }
    void setActivePageIndex(int index) { setCurrentIndex(index); }
    void setTabOrientation(QTabWidget::TabPosition position) { setTabPosition(position); }
};

// A status bar of text panels; a flashing panel blinks its background.
class TSCStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TSCStatusBar(QWidget* parent = nullptr);

    int addPanel(int width, const QString& text = {});
    int panelCount() const { return int(panels_.size()); }
    QLabel* panel(int index) const;
    void setPanelText(int index, const QString& text);
    QString panelText(int index) const;
    void setPanelFlashing(int index, bool flashing);
    bool isPanelFlashing(int index) const;
    // Whether a flashing panel is in its highlighted phase right now.
    bool isPanelHighlighted(int index) const;

private:
    struct Panel {
        QLabel* label;
        bool flashing;
        bool highlighted;
    };
    void blink();
    void paintPanel(Panel& p);

    std::vector<Panel> panels_;
    QTimer* flash_;
};

// A plain sunken frame for grouping controls visually.
class TSCBevel : public QFrame {
    Q_OBJECT
public:
    explicit TSCBevel(QWidget* parent = nullptr);
};

} // namespace kestrix::gui
