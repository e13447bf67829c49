#include "kit/widgets.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDrag>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMimeData>
#include <QMouseEvent>
#include <QRegularExpressionValidator>
#include <QStyleOptionGroupBox>
#include <QStyledItemDelegate>
#include <QTimer>

#include <cmath>
#include <limits>

namespace kestrix::gui {

// ---------------------------------------------------------------- TSCButton

TSCButton::TSCButton(const QString& caption, QWidget* parent) : QPushButton(parent)
{
    setCaption(caption);
}

void TSCButton::setCaption(const QString& caption)
{
    caption_ = caption;
    QString shown = caption;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    setText(shown);
}

void TSCButton::setColor(const QColor& color)
{
    color_ = color;
    QPalette p = palette();
    if (color.isValid()) {
        p.setColor(QPalette::Button, color);
    } else {
        p.setColor(QPalette::Button, QApplication::palette(this).color(QPalette::Button));
    }
    setPalette(p);
    update();
}

void TSCButton::mousePressEvent(QMouseEvent* e)
{
    QPushButton::mousePressEvent(e);
    if (e->button() == Qt::LeftButton) {
        emit mouseDown();
    }
}

void TSCButton::mouseReleaseEvent(QMouseEvent* e)
{
    QPushButton::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton) {
        emit mouseUp();
    }
}

// -------------------------------------------------------------- TSCCheckBox

TSCCheckBox::TSCCheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {}

// ----------------------------------------------------------- number fields

namespace {

bool isSpinKey(int key)
{
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
           key == Qt::Key_PageDown;
}

} // namespace

void TSCNumberField::keyPressEvent(QKeyEvent* e)
{
    if (isSpinKey(e->key())) {
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void TSCNumberField::wheelEvent(QWheelEvent* e)
{
    e->ignore();
}

TSCIntSpinEdit::TSCIntSpinEdit(QWidget* parent) : TSCNumberField(parent)
{
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]{0,19}")), this));
    setText(QStringLiteral("0"));
    connect(this, &QLineEdit::textChanged, this, &TSCIntSpinEdit::textEdited);
}

qint64 TSCIntSpinEdit::clamp(qint64 v) const
{
    if (range_.bounded()) {
        return range_.clamp(v);
    }
    return std::min<qint64>(std::max<qint64>(v, std::numeric_limits<qint32>::min()),
                            std::numeric_limits<qint32>::max());
}

qint64 TSCIntSpinEdit::value() const
{
    bool ok = false;
    const qint64 v = text().trimmed().toLongLong(&ok);
    if (!ok) {
        return range_.min;
    }
    return clamp(v);
}

void TSCIntSpinEdit::setValue(qint64 v)
{
    if (!isEnabled()) {
        return;
    }
    v = clamp(v);
    if (v == last_ && value() == v) {
        return;
    }
    setText(QString::number(v));
}

void TSCIntSpinEdit::setRange(qint64 minValue, qint64 maxValue)
{
    range_.set(minValue, maxValue);
    textEdited();
}

void TSCIntSpinEdit::textEdited()
{
    const qint64 v = value();
    if (v != last_) {
        last_ = v;
        emit valueChanged(v);
    }
}


TSCFloatSpinEdit::TSCFloatSpinEdit(QWidget* parent) : TSCNumberField(parent)
{
    updateValidator();
    setText(QStringLiteral("0"));
    connect(this, &QLineEdit::textChanged, this, &TSCFloatSpinEdit::textEdited);
}

void TSCFloatSpinEdit::updateValidator()
{
    const QString pattern = QStringLiteral("-?[0-9]{0,60}(\\.[0-9]{0,%1})?").arg(decimals_);
    delete validator();
    setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), this));
}

void TSCFloatSpinEdit::setDecimals(int decimals)
{
    decimals_ = std::max(0, decimals);
    updateValidator();
}

double TSCFloatSpinEdit::value() const
{
    bool ok = false;
    const double v = QLocale::c().toDouble(text().trimmed(), &ok);
    if (!ok || !std::isfinite(v)) {
        return range_.min;
    }
    return range_.clamp(v);
}

void TSCFloatSpinEdit::setValue(double v)
{
    if (!isEnabled() || std::isnan(v)) {
        return;
    }
    v = range_.clamp(v);
    if (v == last_ && value() == v) {
        return;
    }
    QString t = QString::number(v, 'f', decimals_);
    if (t.contains(QLatin1Char('.'))) {
        while (t.endsWith(QLatin1Char('0'))) {
            t.chop(1);
        }
        if (t.endsWith(QLatin1Char('.'))) {
            t.chop(1);
        }
    }
    if (t == QLatin1String("-0")) {
        t = QStringLiteral("0");
    }
    setText(t);
}

void TSCFloatSpinEdit::setRange(double minValue, double maxValue)
{
    range_.set(minValue, maxValue);
    textEdited();
}

void TSCFloatSpinEdit::textEdited()
{
    const double v = value();
    if (v != last_) {
        last_ = v;
        emit valueChanged(v);
    }
}


// ------------------------------------------------------------- TSCFrameEdit

TSCFrameEdit::TSCFrameEdit(QWidget* parent) : QLineEdit(parent) {}

void TSCFrameEdit::setField(bool field)
{
    field_ = field;
    setReadOnly(field);
    setFocusPolicy(field ? Qt::NoFocus : Qt::StrongFocus);
    setContextMenuPolicy(field ? Qt::NoContextMenu : Qt::DefaultContextMenu);
    if (field) {
        deselect();
    }
}

void TSCFrameEdit::mousePressEvent(QMouseEvent* e)
{
    if (!field_) {
        QLineEdit::mousePressEvent(e);
        return;
    }
    e->accept();
}

void TSCFrameEdit::mouseMoveEvent(QMouseEvent* e)
{
    if (!field_) {
        QLineEdit::mouseMoveEvent(e);
        return;
    }
    e->accept();
    if (!(e->buttons() & Qt::LeftButton) || !isEnabled()) {
        return;
    }
    // The drag begins once the pressed mouse moves: a plain click stays a
    // click. The data has only the private type, so plain text targets (the
    // AT command edit) do not take it.
    auto* drag = new QDrag(this);
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kFieldEditMimeType), objectName().toUtf8());
    drag->setMimeData(mime);
    drag->exec(Qt::CopyAction);
}

void TSCFrameEdit::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (!field_) {
        QLineEdit::mouseDoubleClickEvent(e);
        return;
    }
    e->accept();
}

void TSCFrameEdit::keyPressEvent(QKeyEvent* e)
{
    if (!field_) {
        QLineEdit::keyPressEvent(e);
        return;
    }
    e->ignore();
}

// ------------------------------------------------------------ TSCComboBoxEx

namespace {

class OwnerDrawDelegate : public QStyledItemDelegate {
public:
    OwnerDrawDelegate(TSCComboBoxEx* combo) : QStyledItemDelegate(combo), combo_(combo) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        if (combo_->drawItem()) {
            combo_->drawItem()(painter, option, index.row());
            return;
        }
        QStyledItemDelegate::paint(painter, option, index);
    }

private:
    TSCComboBoxEx* combo_;
};

} // namespace

TSCComboBoxEx::TSCComboBoxEx(QWidget* parent) : QComboBox(parent)
{
    setItemDelegate(new OwnerDrawDelegate(this));
}

void TSCComboBoxEx::addItemWithValue(const QString& text, const QString& valueText)
{
    addItem(text, valueText);
}

QString TSCComboBoxEx::valueText(int index) const
{
    return itemData(index).toString();
}

void TSCComboBoxEx::setValueText(int index, const QString& valueText)
{
    setItemData(index, valueText);
}

void TSCComboBoxEx::setDrawItem(DrawItem draw)
{
    draw_ = std::move(draw);
}

// ------------------------------------------------------------ TSCRadioGroup

TSCRadioGroup::TSCRadioGroup(const QString& caption, const QStringList& items, int columns,
                             QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)), columns_(std::max(1, columns))
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 0, 4, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(0);
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        group_->addButton(b, i);
        buttons_.push_back(b);
        grid->addWidget(b, i / columns_, i % columns_);
        connect(b, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on && current_ != i) {
                current_ = i;
                emit changed(i);
            }
        });
    }
}

int TSCRadioGroup::itemIndex() const
{
    return current_;
}

void TSCRadioGroup::setItemIndex(int index)
{
    if (index < -1 || index >= count() || index == current_) {
        return;
    }
    if (index == -1) {
        group_->setExclusive(false);
        for (auto* b : buttons_) {
            b->setChecked(false);
        }
        group_->setExclusive(true);
        current_ = -1;
        emit changed(-1);
        return;
    }
    buttons_[std::size_t(index)]->setChecked(true);
}

QRadioButton* TSCRadioGroup::item(int index) const
{
    return index >= 0 && index < count() ? buttons_[std::size_t(index)] : nullptr;
}

void TSCRadioGroup::setItemEnabled(int index, bool enabled)
{
    if (auto* b = item(index)) {
        b->setEnabled(enabled);
    }
}

bool TSCRadioGroup::isItemEnabled(int index) const
{
    auto* b = item(index);
    return b && b->isEnabled();
}

// -------------------------------------------------------------- TSCGroupBox

TSCGroupBox::TSCGroupBox(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {}

void TSCGroupBox::setCaptionCheckBox(TSCCheckBox* box)
{
    box_ = box;
    box_->setParent(this);
    box_->setAutoFillBackground(true);
    box_->show();
    placeBox();
}

void TSCGroupBox::placeBox()
{
    if (!box_) {
        return;
    }
    QStyleOptionGroupBox opt;
    initStyleOption(&opt);
    const QRect label = style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, this);
    const QSize hint = box_->sizeHint();
    box_->setGeometry(label.right() + 4, label.center().y() - hint.height() / 2 + 1, hint.width(),
                      hint.height());
    box_->raise();
}

void TSCGroupBox::resizeEvent(QResizeEvent* e)
{
    QGroupBox::resizeEvent(e);
    placeBox();
}

void TSCGroupBox::changeEvent(QEvent* e)
{
    QGroupBox::changeEvent(e);
    if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange) {
        placeBox();
    }
}

// ----------------------------------------------------------- TSCPageControl

TSCPageControl::TSCPageControl(QWidget* parent) : QTabWidget(parent) {}

// ------------------------------------------------------------- TSCStatusBar

TSCStatusBar::TSCStatusBar(QWidget* parent) : QStatusBar(parent), flash_(new QTimer(this))
{
    setSizeGripEnabled(false);
    flash_->setInterval(500);
    connect(flash_, &QTimer::timeout, this, &TSCStatusBar::blink);
}

int TSCStatusBar::addPanel(int width, const QString& text)
{
    auto* label = new QLabel(text, this);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAutoFillBackground(true);
    if (width > 0) {
        label->setFixedWidth(width);
        addWidget(label, 0);
    } else {
        addWidget(label, 1);
    }
    panels_.push_back({label, false, false});
    return int(panels_.size()) - 1;
}

QLabel* TSCStatusBar::panel(int index) const
{
    return index >= 0 && index < panelCount() ? panels_[std::size_t(index)].label : nullptr;
}

void TSCStatusBar::setPanelText(int index, const QString& text)
{
    if (auto* l = panel(index)) {
        l->setText(text);
    }
}

QString TSCStatusBar::panelText(int index) const
{
    auto* l = panel(index);
    return l ? l->text() : QString();
}

void TSCStatusBar::setPanelFlashing(int index, bool flashing)
{
    if (!panel(index)) {
        return;
    }
    Panel& p = panels_[std::size_t(index)];
    p.flashing = flashing;
    p.highlighted = flashing;
    paintPanel(p);
    bool any = false;
    for (const auto& q : panels_) {
        any = any || q.flashing;
    }
    if (any && !flash_->isActive()) {
        flash_->start();
    } else if (!any) {
        flash_->stop();
    }
}

bool TSCStatusBar::isPanelFlashing(int index) const
{
    return panel(index) && panels_[std::size_t(index)].flashing;
}

bool TSCStatusBar::isPanelHighlighted(int index) const
{
    return panel(index) && panels_[std::size_t(index)].highlighted;
}

void TSCStatusBar::blink()
{
    for (auto& p : panels_) {
        if (p.flashing) {
            p.highlighted = !p.highlighted;
            paintPanel(p);
        }
    }
}

void TSCStatusBar::paintPanel(Panel& p)
{
    QPalette pal = palette();
    if (p.highlighted) {
        pal.setColor(QPalette::Window, pal.color(QPalette::Highlight));
        pal.setColor(QPalette::WindowText, pal.color(QPalette::HighlightedText));
    }
    p.label->setPalette(pal);
}

// ----------------------------------------------------------------- TSCBevel

TSCBevel::TSCBevel(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Box | QFrame::Sunken);
}

} // namespace kestrix::gui
