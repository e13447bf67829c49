#include "navdata/tags_layout.h"

#include "kit/placement.h"
#include "kit/widgets.h"

#include "kestrix/field_text.h"
#include "kestrix/link_counts.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QRegularExpression>
#include <QScrollArea>
#include <QVBoxLayout>

#include <map>
#include <string_view>

namespace kestrix::gui {

namespace {

// A field edit's caption. When its cell is narrower than its text (the
// window keeps its written size), the caption is cut with an ellipsis and
// gives its whole text on hover; text() and the accessible name stay whole.
class FieldCaption : public QLabel {
public:
    using QLabel::QLabel;

    bool elided() const { return fontMetrics().horizontalAdvance(text()) > contentsRect().width(); }

protected:
    void paintEvent(QPaintEvent* e) override
    {
        if (!elided()) {
            QLabel::paintEvent(e);
            return;
        }
        QPainter p(this);
        const QRect r = contentsRect();
        style()->drawItemText(&p, r, int(alignment()), palette(), isEnabled(),
                              fontMetrics().elidedText(text(), Qt::ElideRight, r.width()), foregroundRole());
    }

    void resizeEvent(QResizeEvent* e) override
    {
        QLabel::resizeEvent(e);
        setToolTip(elided() ? text() : QString());
    }
};

QString qs(std::string_view s)
{
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

QLabel* boldLabel(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

// Edits whose field shows grey: the time in seconds beside a time word, and
// the flag fields of Kalman_pressure.
bool isGrey(const FieldEdit& e)
{
    if (e.format == FieldFormat::S) {
        return true;
    }
    static const std::string_view flags[] = {"bool_effet_sol", "flag_rejet_US", "Flag_multisinus",
                                             "Flag_multisinus_debut"};
    return e.tab == "Kalman_pressure" && std::find(std::begin(flags), std::end(flags), e.edit) != std::end(flags);
}

struct NotShown {
    const char* tab;
    bool heading;
    std::vector<const char*> labels;
};

const std::vector<NotShown>& notShownLists()
{
    static const std::vector<NotShown> lists = {
        {"Demo", true,
         {"detection_camera_rot:_Matrix33;", "detection_camera_trans:_Vector31", "drone_camera_rot:_Matrix33",
          "drone_camera_trans:_Vector31"}},
        {"Vision_perf", true, {"time_custom: single[20]"}},
        {"Trackers_send", true, {"locked: single[30]", "locked: _Screen_point[30]"}},
        {"Vision_detect", true,
         {"ttype: uint32[4]", "xc: uint32[4]", "yc: uint32[4]", "width: uint32[4]", "height: uint32[4]",
          "dist: uint32[4]", "orientation_angle: uint32[4]", "rotation:_Matrix33[4]", "translation:Vector31[4]",
          "camera_source:byte[4]"}},
        {"Adc_data_frame", true, {"data_frame: uint8[32]"}},
        {"Magneto", false, {"magneto_raw:Vector31", "magneto_rectified:Vector31", "magneto_offset:Vector31"}},
    };
    return lists;
}

// The vector boxes: edits named prefix + "_" + component sit in a captioned
// group box, the V[i] edits in one row and the X/Y/Z edits in the next.
struct VectorBox {
    const char* tab;
    const char* prefix;
    const char* caption;
};
constexpr VectorBox kVectorBoxes[] = {
    {"Altitude", "obs_x", "obs_x: _Vector31  single[3];   _XYZ:X,Y,Z"},
    {"Altitude", "est_vb", "est_vb: _Vector21 single[2];  _XY:X,Y"},
    {"Vision", "body_v", "body_v: _Velocities:X,Y,Z"},
};

const VectorBox* vectorBoxOf(const FieldEdit& e)
{
    for (const VectorBox& b : kVectorBoxes) {
        const std::string_view prefix(b.prefix);
        if (e.tab != b.tab || e.edit.size() <= prefix.size() + 1 || e.edit.substr(0, prefix.size()) != prefix ||
            e.edit[prefix.size()] != '_') {
            continue;
        }
        const std::string_view component = e.edit.substr(prefix.size() + 1);
        if (component == "X" || component == "Y" || component == "Z" ||
            (component.size() == 2 && component[0] == 'V' && component[1] >= '0' && component[1] <= '2')) {
            return &b;
        }
    }
    return nullptr;
}

TSCFrameEdit* makeFieldEdit(const FieldEdit& e, const QString& label, QWidget* parent)
{
    auto* edit = new TSCFrameEdit(parent);
    edit->setObjectName(qs(e.edit));
    edit->setField(true);
    edit->setAccessibleName(label);
    const QString key = qs(e.tab) + QLatin1Char('.') + qs(e.edit);
    edit->setToolTip(key);
    edit->setAccessibleDescription(key);
    edit->setMinimumWidth(40);
    if (isGrey(e)) {
        QPalette p = edit->palette();
        p.setColor(QPalette::Base, QColor(0xC0, 0xC0, 0xC0));
        p.setColor(QPalette::Disabled, QPalette::Base, QColor(0xC0, 0xC0, 0xC0));
        edit->setPalette(p);
    }
    return edit;
}

// One tab's page: the "TAG=n" label, the field edits in three columns, the
// vector boxes and the list of fields not shown.
class TabBuilder {
public:
    TabBuilder(TSCPageControl* pages, std::string_view tab, int tag) : tab_(tab)
    {
        page_ = new QWidget;
        page_->setObjectName(QStringLiteral("TabSheet_") + qs(tab));
        auto* outer = new QVBoxLayout(page_);
        outer->setContentsMargins(2, 2, 2, 2);
        outer->setSpacing(0);
        auto* top = new QHBoxLayout;
        top->addStretch(1);
        QLabel* tagLabel = boldLabel(QStringLiteral("TAG=%1").arg(tag), page_);
        tagLabel->setObjectName(QStringLiteral("TagLabel%1").arg(tag));
        top->addWidget(tagLabel);
        outer->addLayout(top);

        auto* scroll = new QScrollArea(page_);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        body_ = new QWidget;
        grid_ = new QGridLayout(body_);
        grid_->setContentsMargins(4, 0, 4, 4);
        grid_->setHorizontalSpacing(6);
        grid_->setVerticalSpacing(1);
        for (int c = 0; c < kColumns; ++c) {
            grid_->setColumnStretch(c, 1);
        }
        scroll->setWidget(body_);
        outer->addWidget(scroll, 1);
        pages->addTab(page_, qs(tab));
    }

    TSCFrameEdit* add(const FieldEdit& e, const FieldEdit* next)
    {
        if (const VectorBox* box = vectorBoxOf(e)) {
            return addToBox(e, *box);
        }
        const QString label = FieldEditLabel(qs(e.edit), char(e.format));
        if (e.format == FieldFormat::S) {
            // The seconds edit sits beside its time word, behind a bold ":".
            auto* colon = boldLabel(QStringLiteral(":"), body_);
            TSCFrameEdit* edit = makeFieldEdit(e, pendingPairLabel_ + QStringLiteral(" (s)"), body_);
            pendingPair_->addWidget(colon);
            pendingPair_->addWidget(edit, 1);
            pendingPair_ = nullptr;
            return edit;
        }
        auto* cell = new QVBoxLayout;
        cell->setSpacing(0);
        auto* caption = new FieldCaption(label, body_);
        caption->setObjectName(QStringLiteral("Label_") + qs(e.edit));
        // Long names are elided at the cell's edge rather than widening the
        // page; the whole name shows on hover.
        caption->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        TSCFrameEdit* edit = makeFieldEdit(e, label, body_);
        caption->setBuddy(edit);
        cell->addWidget(caption);
        const bool paired = next && next->tag == e.tag && next->format == FieldFormat::S;
        if (paired) {
            pendingPair_ = new QHBoxLayout;
            pendingPair_->setSpacing(3);
            pendingPair_->addWidget(edit, 1);
            pendingPairLabel_ = label;
            cell->addLayout(pendingPair_);
        } else {
            cell->addWidget(edit);
        }
        place(cell, paired ? 2 : 1);
        return edit;
    }

    void finish()
    {
        for (const NotShown& list : notShownLists()) {
            if (tab_ != list.tab) {
                continue;
            }
            nextRow();
            if (list.heading) {
                grid_->addWidget(boldLabel(QStringLiteral("other fields, not shown:"), body_), row_++, 0, 1, kColumns);
            }
            for (const char* text : list.labels) {
                grid_->addWidget(new QLabel(QString::fromLatin1(text), body_), row_++, 0, 1, kColumns);
            }
        }
        grid_->setRowStretch(row_ + 1, 1);
    }

private:
    static constexpr int kColumns = 3;

    void place(QLayout* cell, int span)
    {
        if (column_ + span > kColumns) {
            nextRow();
        }
        grid_->addLayout(cell, row_, column_, 1, span);
        column_ += span;
    }

    void nextRow()
    {
        if (column_ > 0) {
            ++row_;
            column_ = 0;
        }
    }

    TSCFrameEdit* addToBox(const FieldEdit& e, const VectorBox& box)
    {
        auto& slot = boxes_[box.prefix];
        if (!slot) {
            nextRow();
            slot = new QGroupBox(QString::fromLatin1(box.caption), body_);
            slot->setObjectName(QStringLiteral("GroupBox_") + QString::fromLatin1(box.prefix));
            slot->setAccessibleName(slot->title());
            new QGridLayout(slot);
            grid_->addWidget(slot, row_++, 0, 1, kColumns);
        }
        // V0..V2 in the first row, X/Y/Z in the second.
        const QChar component = QLatin1Char(e.edit.back());
        const bool vRow = e.edit[std::string_view(box.prefix).size() + 1] == 'V';
        int column = 0;
        QString label;
        if (vRow) {
            column = e.edit.back() - '0';
            label = QStringLiteral("V[%1]").arg(column);
        } else {
            column = component == QLatin1Char('X') ? 0 : component == QLatin1Char('Y') ? 1 : 2;
            label = QString(component);
        }
        auto* grid = static_cast<QGridLayout*>(slot->layout());
        grid->setContentsMargins(4, 2, 4, 2);
        grid->setVerticalSpacing(1);
        const int row = vRow ? 0 : 1;
        auto* caption = new QLabel(label, slot);
        TSCFrameEdit* edit = makeFieldEdit(e, label, slot);
        caption->setBuddy(edit);
        grid->addWidget(caption, row, column * 2);
        grid->addWidget(edit, row, column * 2 + 1);
        grid->setColumnStretch(column * 2 + 1, 1);
        return edit;
    }

    std::string_view tab_;
    QWidget* page_;
    QWidget* body_;
    QGridLayout* grid_;
    int row_ = 0;
    int column_ = 0;
    QHBoxLayout* pendingPair_ = nullptr;
    QString pendingPairLabel_;
    std::map<std::string, QGroupBox*> boxes_;
};

TSCButton* button(const QString& name, const QString& caption, const QString& hint, QWidget* parent, QRect r)
{
    return Place(new TSCButton(caption, parent), name, caption, r, hint);
}

QLabel* label(const QString& name, const QString& text, QWidget* parent, QPoint at)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setAccessibleName(text);
    l->adjustSize();
    l->move(at);
    return l;
}

// A number field at `r` with its caption label at `at`; value 0.
template <class Field>
Field* numberField(const QString& name, const QString& labelName, const QString& caption, QWidget* parent,
                   QPoint at, QRect r)
{
    QLabel* l = label(labelName, caption, parent, at);
    auto* f = new Field(parent);
    f->setObjectName(name);
    f->setAccessibleName(caption);
    f->setGeometry(r);
    f->setValue(0);
    l->setBuddy(f);
    return f;
}

} // namespace

QString FieldEditLabel(const QString& editName, char format)
{
    // Edits whose name differs from the field they show.
    static const std::map<QString, QString> renamed = {
        {QStringLiteral("theta1"), QStringLiteral("theta")},
        {QStringLiteral("phi1"), QStringLiteral("phi")},
        {QStringLiteral("gaz_altitude_KP"), QStringLiteral("gaz_altitude")},
        {QStringLiteral("frame_number_1"), QStringLiteral("frame_number")},
    };
    QString name = editName;
    if (auto it = renamed.find(editName); it != renamed.end()) {
        name = it->second;
    } else {
        static const QRegularExpression element(QStringLiteral("^(.+)_([0-9])$"));
        const QRegularExpressionMatch m = element.match(editName);
        if (m.hasMatch()) {
            name = m.captured(1) + QLatin1Char('[') + m.captured(2) + QLatin1Char(']');
        }
    }
    switch (format) {
    case 'D':
    case 'U': return name + QStringLiteral(" (dec)");
    case 'H': return name + QStringLiteral(" (hex)");
    case 'R': return name + QStringLiteral(" (float)");
    case 'T': return name + QStringLiteral(" (char)");
    default: return name;
    }
}

NavDataControls BuildNavDataPanel(QWidget* window)
{
    NavDataControls c{};
    c.panel = new QWidget(window);
    c.panel->setObjectName(QStringLiteral("Panel1"));
    c.panel->setFixedHeight(49);
    QWidget* p = c.panel;

    c.open = button(QStringLiteral("SCButton1"), QStringLiteral("Open"), QStringLiteral("open stream file"), p,
                    {4, 4, 44, 41});

    c.recordsCount = numberField<TSCIntSpinEdit>(QStringLiteral("SCEditRecordsCount"), QStringLiteral("Label1"),
                                                 QStringLiteral("Record#"), p, {54, 7}, {100, 4, 62, 21});
    c.goRecord = button(QStringLiteral("SCButton6"), QStringLiteral("go"), QStringLiteral("goto record#"), p,
                        {164, 4, 28, 21});

    c.time = numberField<TSCFloatSpinEdit>(QStringLiteral("SCEditTime"), QStringLiteral("Label2"),
                                           QStringLiteral("Time"), p, {198, 7}, {226, 4, 114, 21});
    c.time->setDecimals(6);
    c.goTime = button(QStringLiteral("SCButton5"), QStringLiteral("go"), QStringLiteral("goto time"), p,
                      {342, 4, 28, 21});

    c.previous = button(QStringLiteral("SCButton2"), QStringLiteral("<<"), QStringLiteral("previous record"), p,
                        {100, 27, 30, 19});
    c.next = button(QStringLiteral("SCButton4"), QStringLiteral(">>"), QStringLiteral("next record"), p,
                    {132, 27, 30, 19});
    c.graph = new TSCCheckBox(QStringLiteral("graph"), p);
    c.graph->setObjectName(QStringLiteral("SCCheckbox1"));
    c.graph->setAccessibleName(QStringLiteral("graph"));
    c.graph->setToolTip(QStringLiteral("show graph"));
    c.graph->setGeometry(226, 27, 60, 19);
    c.live = new TSCCheckBox(QStringLiteral("live"), p);
    c.live->setObjectName(QStringLiteral("SCCheckbox2"));
    c.live->setAccessibleName(QStringLiteral("live"));
    c.live->setToolTip(QStringLiteral("live tag update, may decrease graph performance at slow PC"));
    c.live->setGeometry(292, 27, 60, 19);
    c.live->setChecked(true);
    return c;
}

std::vector<TSCFrameEdit*> BuildNavDataTabs(TSCPageControl* pages)
{
    std::vector<TSCFrameEdit*> edits;
    const auto table = FieldEdits();
    edits.reserve(table.size());
    std::size_t i = 0;
    for (int tag = 0; tag < kOptionTagCount; ++tag) {
        const std::string_view caption = kRecordSlots[tag].name;
        TabBuilder tab(pages, caption, tag);
        for (; i < table.size() && table[i].tag == tag; ++i) {
            const FieldEdit* next = i + 1 < table.size() ? &table[i + 1] : nullptr;
            edits.push_back(tab.add(table[i], next));
        }
        tab.finish();
    }
    return edits;
}

std::vector<TSCFrameEdit*> BuildNavDataLinkTab(TSCPageControl* pages)
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet_Link"));
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(6, 6, 6, 6);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(1);
    outer->addLayout(grid);
    outer->addStretch(1);
    std::vector<TSCFrameEdit*> edits;
    for (int k = 0; k < kLinkKeyCount; ++k) {
        // "Link.packet": tab "Link", edit "packet", so that a drop on the
        // Graph window names the key as for any field.
        const std::string_view key = kLinkKeyNames[k];
        const std::string_view name = key.substr(key.find('.') + 1);
        const FieldEdit e{"Link", -1, name, FieldFormat::U, -1, {}};
        const QString label = FieldEditLabel(qs(name), char(e.format));
        auto* caption = new QLabel(label, page);
        caption->setObjectName(QStringLiteral("Label_Link_") + qs(name));
        TSCFrameEdit* edit = makeFieldEdit(e, label, page);
        caption->setBuddy(edit);
        grid->addWidget(caption, (k / 3) * 2, k % 3);
        grid->addWidget(edit, (k / 3) * 2 + 1, k % 3);
        edits.push_back(edit);
    }
    for (int c = 0; c < 3; ++c) {
        grid->setColumnStretch(c, 1);
    }
    pages->addTab(page, QStringLiteral("Link"));
    return edits;
}

QMenu* BuildNavDataPopupMenu(QWidget* window, std::function<void(int)> onItem)
{
    static const char* const items[] = {
        "Demo", "Time", "Raw_measurements", "Phys_measurements", "Gyros_offsets", "Euler_angles",
        "References", "Trims", "Rc_references", "Navdata_pwm", "Altitude", "Vision_raw", "Vision_of",
        "Vision", "Vision_perf", "Trackers_send", "Vision_detect", "Watchdog", "Adc_data_frame",
        "Video_stream", "Games", "Pressure_raw", "Magneto", "Wind_speed", "Kalman_pressure",
        "Hdvideo_stream", "Wifi_stream", "Zimmu_3000"};
    auto* menu = new QMenu(window);
    menu->setObjectName(QStringLiteral("PopupMenu1"));
    for (int n = 0; n < int(std::size(items)); ++n) {
        QAction* a = menu->addAction(QString::fromLatin1(items[n]));
        a->setObjectName(QString::fromLatin1(items[n]));
        a->setData(n);
        QObject::connect(a, &QAction::triggered, window, [onItem, n] { onItem(n); });
    }
    return menu;
}

void LayOutNavDataWindow(QWidget* window, QWidget* panel, QWidget* pages, QWidget* statusBar)
{
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(panel);
    layout->addWidget(pages, 1);
    layout->addWidget(statusBar);
    window->setFixedSize(378, 383);
}

} // namespace kestrix::gui
