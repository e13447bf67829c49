// The NavData window's layout: the control panel, the 28 record tabs built
// from the core's field-edit table, and the popup menu of the tabs.
#pragma once

#include <QString>

#include <functional>
#include <vector>

class QMenu;
class QWidget;

namespace kestrix::gui {

class TSCButton;
class TSCCheckBox;
class TSCFloatSpinEdit;
class TSCFrameEdit;
class TSCIntSpinEdit;
class TSCPageControl;
class TSCStatusBar;

struct NavDataControls {
    QWidget* panel;
    TSCButton* open;
    TSCIntSpinEdit* recordsCount;
    TSCButton* goRecord;
    TSCFloatSpinEdit* time;
    TSCButton* goTime;
    TSCButton* previous;
    TSCButton* next;
    TSCCheckBox* graph;
    TSCCheckBox* live;
};

// The 49-pixel panel above the tabs.
NavDataControls BuildNavDataPanel(QWidget* window);

// One tab per option tag, in tag order, each with its field edits (named
// after their fields; tool-tip and accessible description = plot key), their
// labels, the "other fields, not shown:" lists and the group boxes. Returns
// the field edits in the order of the core's field-edit table.
std::vector<TSCFrameEdit*> BuildNavDataTabs(TSCPageControl* pages);

// The tab after the 28 record tabs: "Link", with one field edit per link key
// (Link.packet, Link.missing, Link.gap, Link.rate; tool-tip and accessible
// description = the key), returned in the order of the keys.
std::vector<TSCFrameEdit*> BuildNavDataLinkTab(TSCPageControl* pages);

// The 28-item popup menu; `onItem` gets the item's number.
QMenu* BuildNavDataPopupMenu(QWidget* window, std::function<void(int)> onItem);

// Panel on top, tabs in the middle, status bar at the bottom; client area
// 378 x 383.
void LayOutNavDataWindow(QWidget* window, QWidget* panel, QWidget* pages, QWidget* statusBar);

// The label above a field edit: field name (array elements as name[i]) and
// the hint of its format.
QString FieldEditLabel(const QString& editName, char format);

} // namespace kestrix::gui
