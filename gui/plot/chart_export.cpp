#include "plot/chart_export.h"

#include "plot/graph_series.h"
#include "kestrix/csv_text.h"

#include <QFileInfo>
#include <QImage>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <qcustomplot.h>

#include <algorithm>
#include <limits>

namespace kestrix::gui {

namespace {

void AppendNumber(std::string& out, double v)
{
    char buf[kCsvNumberRoom];
    out.append(buf, WriteCsvNumber(buf, buf + sizeof buf, v));
}

// Opens `file` for writing, or says why not.
QString Open(QSaveFile& file)
{
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    return {};
}

// Renames the finished file into place, or drops it and says why not.
QString Commit(QSaveFile& file)
{
    if (!file.commit()) {
        return file.errorString();
    }
    return {};
}

QString Failed(const QString& path, const QString& why)
{
    return QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), why);
}

} // namespace

std::string CsvText(const std::vector<CsvColumnPoints>& columns, ViewRange time)
{
    std::string out = "time";
    for (const CsvColumnPoints& c : columns) {
        out.push_back(',');
        AppendCsvCell(out, c.key.toStdString());
    }
    out.push_back('\n');

    std::vector<ChartPoints> in;
    std::size_t most = 0;
    in.reserve(columns.size());
    for (const CsvColumnPoints& c : columns) {
        in.push_back(PointsBetween(c.points, time));
        most = std::max(most, in.back().size());
    }
    out.reserve(out.size() + most * (1 + columns.size()) * 12);

    std::vector<std::size_t> at(in.size(), 0);
    for (;;) {
        double t = std::numeric_limits<double>::infinity();
        bool any = false;
        for (std::size_t i = 0; i < in.size(); ++i) {
            if (at[i] < in[i].size()) {
                t = any ? std::min(t, in[i][at[i]].key) : in[i][at[i]].key;
                any = true;
            }
        }
        if (!any) {
            break;
        }
        AppendNumber(out, t);
        for (std::size_t i = 0; i < in.size(); ++i) {
            out.push_back(',');
            std::size_t k = at[i];
            const ChartPoints& p = in[i];
            if (k >= p.size() || p[k].key != t) {
                continue;
            }
            while (k + 1 < p.size() && p[k + 1].key == t) {
                ++k;
            }
            at[i] = k + 1;
            if (!IsNullPoint(p[k].value)) {
                AppendNumber(out, p[k].value);
            }
        }
        out.push_back('\n');
    }
    return out;
}

QString ExportCsv(const QString& path, const std::vector<CsvColumnPoints>& columns, ViewRange time)
{
    const std::string text = CsvText(columns, time);
    QSaveFile file(path);
    QString why = Open(file);
    if (why.isEmpty()) {
        if (file.write(text.data(), qint64(text.size())) != qint64(text.size())) {
            why = file.errorString();
            file.cancelWriting();
        } else {
            why = Commit(file);
        }
    }
    return why.isEmpty() ? QString() : Failed(path, why);
}

QString ExportImage(QCustomPlot* chart, const QString& path, QSize size)
{
    if (size.isEmpty()) {
        size = chart->size();
    }
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext != QLatin1String("png") && ext != QLatin1String("svg") && ext != QLatin1String("pdf")) {
        return Failed(path, QStringLiteral("the name must end in .png, .svg or .pdf"));
    }
    QSaveFile file(path);
    QString why = Open(file);
    if (!why.isEmpty()) {
        return Failed(path, why);
    }
    bool drawn = false;
    if (ext == QLatin1String("png")) {
        const QImage image = chart->toPixmap(size.width(), size.height()).toImage();
        drawn = image.save(&file, "PNG");
    } else if (ext == QLatin1String("svg")) {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(chart->window()->windowTitle());
        QCPPainter painter;
        drawn = painter.begin(&svg);
        if (drawn) {
            chart->toPainter(&painter, size.width(), size.height());
            drawn = painter.end();
        }
    } else {
        QPdfWriter pdf(&file);
        pdf.setResolution(96);
        pdf.setPageSize(QPageSize(QSizeF(size), QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        QCPPainter painter;
        drawn = painter.begin(&pdf);
        if (drawn) {
            const QRect page = painter.viewport();
            painter.setWindow(0, 0, size.width(), size.height());
            painter.setViewport(page);
            chart->toPainter(&painter, size.width(), size.height());
            drawn = painter.end();
        }
    }
    if (!drawn) {
        file.cancelWriting();
        return Failed(path, file.error() != QFileDevice::NoError ? file.errorString()
                                                                 : QStringLiteral("the image could not be drawn"));
    }
    why = Commit(file);
    return why.isEmpty() ? QString() : Failed(path, why);
}

} // namespace kestrix::gui
