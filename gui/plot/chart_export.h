// The Graph window's exports: the plotted points as comma-separated text, and
// the chart as an image. Both write a temporary file beside the target and
// rename it into place when it is complete, so that a failure never leaves a
// half-written file; the reason of a failure comes back as text.
#pragma once

#include "plot/chart_stats.h"
#include "plot/chart_view.h"

#include <QSize>
#include <QString>

#include <string>
#include <vector>

class QCustomPlot;

namespace kestrix::gui {

struct CsvColumnPoints {
    QString key;
    ChartPoints points;
};

// The text of the export: a header "time,KEY,..." in column order, then one
// row per distinct time of any column's points inside `time`; each cell is
// the value of the column's last point at that time, empty when it has none
// there or that point is a null point. Numbers as kestrix_navdata csv writes
// them.
std::string CsvText(const std::vector<CsvColumnPoints>& columns, ViewRange time);

// Writes CsvText to `path`. Returns an empty text when done, else why not.
QString ExportCsv(const QString& path, const std::vector<CsvColumnPoints>& columns, ViewRange time);

// Writes `chart` as PNG, SVG or PDF, chosen by the extension of `path` (case
// ignored), at `size` (its on-screen size when empty). Returns an empty text
// when done, else why not.
QString ExportImage(QCustomPlot* chart, const QString& path, QSize size = {});

} // namespace kestrix::gui
