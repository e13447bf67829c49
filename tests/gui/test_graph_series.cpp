// The Graph window's series without the window: the plotting pass and its
// point rules, the replay of a whole recording against one pass per decode,
// the live scroll window, colours and drawing order.
#include "support.h"

#include "plot/chart_axis.h"
#include "plot/graph_series.h"
#include "kit/shared_state.h"

#include "kestrix/find.h"
#include "kestrix/link_counts.h"
#include "kestrix/packet_builder.h"

#include <QtTest>
#include <qcustomplot.h>

#include <bit>
#include <cmath>
#include <memory>

using namespace kestrix;
using namespace kestrix::gui;

namespace {

// One packet of a test stream: its time word (0: the Time record holds 0;
// kNoTime: the packet carries no Time option) and its Demo.altitude.
constexpr uint32_t kNoTime = 0xFFFFFFFFu;
struct Packet {
    uint32_t timeWord;
    int32_t altitude;
};

uint32_t Seconds(double s)
{
    const auto whole = uint32_t(s);
    return MakeTimeWord(whole, uint32_t(std::lround((s - whole) * 1e6)));
}

// "t:alt t:alt ..." with t in seconds, or "-:alt" for a packet without time.
std::vector<Packet> Packets(const QString& text)
{
    std::vector<Packet> out;
    for (const QString& item : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList p = item.split(QLatin1Char(':'));
        const uint32_t word = p[0] == QLatin1String("-") ? kNoTime : Seconds(p[0].toDouble());
        out.push_back({word, p[1].toInt()});
    }
    return out;
}

std::vector<uint8_t> Stream(const std::vector<Packet>& packets)
{
    std::vector<uint8_t> out;
    NavdataState s{};
    for (const Packet& p : packets) {
        s.Demo.altitude = p.altitude;
        s.Demo.ctrl_state = 0x80000000u + uint32_t(p.altitude);
        PacketBuilder b;
        b.record(s, 0);
        if (p.timeWord != kNoTime) {
            s.Time.time = p.timeWord;
            b.record(s, 1);
        }
        const auto bytes = b.checksum().take();
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

// A series as text: "x:y" per point, "x:-" for a null point.
QString Points(const QCPGraph* g)
{
    QStringList out;
    for (int k = 0; k < PointCount(g); ++k) {
        out << QString::number(PointX(g, k), 'g', 15) + QLatin1Char(':') +
                   (PointIsNull(g, k) ? QStringLiteral("-") : QString::number(PointY(g, k), 'g', 15));
    }
    return out.join(QLatin1Char(' '));
}

// The stored values bit for bit, for comparing two series exactly.
std::vector<std::pair<uint64_t, uint64_t>> Bits(const QCPGraph* g)
{
    std::vector<std::pair<uint64_t, uint64_t>> out;
    for (auto it = g->data()->constBegin(); it != g->data()->constEnd(); ++it) {
        out.emplace_back(std::bit_cast<uint64_t>(it->key), std::bit_cast<uint64_t>(it->value));
    }
    return out;
}

} // namespace

class TestGraphSeries : public QObject {
    Q_OBJECT

    std::unique_ptr<QCustomPlot> chart;
    ChartAxis* bottom = nullptr;
    std::unique_ptr<GraphSeries> series;

    void setPacket(double seconds, int32_t altitude)
    {
        Navdata.state.Time.time = seconds == 0 ? 0 : Seconds(seconds);
        Navdata.state.Demo.altitude = altitude;
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init()
    {
        ResetSharedState();
        chart = std::make_unique<QCustomPlot>();
        bottom = new ChartAxis(chart.get(), chart->xAxis);
        series = std::make_unique<GraphSeries>(chart.get(), bottom);
    }
    void cleanup()
    {
        series.reset();
        chart.reset();
        ResetSharedState();
    }

    // "Draw Graph" over small recordings: the rows are worked out by hand from
    // the rules, and both the bulk replay and one pass per decode give them.
    void drawStream_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("multiplier");
        QTest::addColumn<QString>("packets");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<double>("recordTime");

        const QString alt = QStringLiteral("Demo.altitude");
        QTest::newRow("one packet: null point and value") << alt << "1" << "1.5:10" << "1.5:- 1.5:10" << 1.5;
        QTest::newRow("two packets: three points") << alt << "1" << "1:10 2:20" << "1:- 1:10 2:20" << 2.0;
        QTest::newRow("five points: null dropped, value repeated")
            << alt << "1" << "1:10 2:20 3:30 4:40 5:50" << "1:10 2:20 3:30 4:40 4:40 5:50" << 5.0;
        QTest::newRow("key without entry: null points only")
            << "Altitude.obs_x_X" << "1" << "1:10 2:20 3:30" << "1:-" << 3.0;
        QTest::newRow("time zero: nothing") << alt << "1" << "0:10 0:20" << "" << 0.0;
        QTest::newRow("time zero between") << alt << "1" << "1:10 0:99 2:20" << "1:- 1:10 2:20" << 2.0;
        QTest::newRow("packet without time keeps the last")
            << alt << "1" << "1:10 -:15 2:20" << "1:10 1:15 2:20 2:20" << 2.0;
        QTest::newRow("multiplier") << alt << "-2.5" << "1:10 2:20" << "1:- 1:-25 2:-50" << 2.0;
        QTest::newRow("multiplier 0") << alt << "0" << "1:10 2:20" << "1:- 1:0 2:0" << 2.0;
        // Equal x values go behind their equals; time running backwards
        // inserts into the middle; the removal of the repetition takes the
        // last point in x order, not the repeated one.
        QTest::newRow("equal and backward times")
            << alt << "1" << "5:1 5:2 3:3 5:4 4:5" << "4:5 4:5 5:- 5:1 5:2 5:4" << 4.0;
        QTest::newRow("equal times at the five-point rule")
            << alt << "1" << "5:1 5:2 5:3 5:4" << "5:1 5:2 5:3 5:4 5:4" << 5.0;
        QTest::newRow("unsigned with the top bit set")
            << "Demo.ctrl_state" << "1" << "1:1" << "1:- 1:2147483649" << 1.0;
    }
    void drawStream()
    {
        QFETCH(QString, key);
        QFETCH(QString, multiplier);
        QFETCH(QString, packets);
        QFETCH(QString, expected);
        QFETCH(double, recordTime);

        const auto stream = Stream(Packets(packets));
        series->setMultiplierText(series->add(key), multiplier);
        series->drawStream(stream);
        QCOMPARE(Points(SeriesList[0]), expected);
        QCOMPARE(Navdata.recordTime, recordTime);
        QCOMPARE(StreamCursor, -1);

        series.reset();
        ResetSharedState();
        series = std::make_unique<GraphSeries>(chart.get(), bottom);
        series->setMultiplierText(series->add(key), multiplier);
        series->drawStreamPassByPass(stream);
        QCOMPARE(Points(SeriesList[0]), expected);
        QCOMPARE(Navdata.recordTime, recordTime);
    }

    // A Link.* key plots the link counts of the recording's packet numbers
    // exactly as the core's walk counts them: over a stream with a packet
    // without time, a gap, a duplicate and a restart, the Link series equals
    // bit for bit the series of a field that holds those counts, in the bulk
    // replay and pass by pass, multiplier applied.
    void linkKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("multiplier");
        QTest::newRow("Link.packet") << int(LinkKey::Packet) << "1";
        QTest::newRow("Link.missing") << int(LinkKey::Missing) << "1";
        QTest::newRow("Link.gap x2") << int(LinkKey::Gap) << "2";
        QTest::newRow("Link.rate") << int(LinkKey::Rate) << "1";
    }
    void linkKeys()
    {
        QFETCH(int, key);
        QFETCH(QString, multiplier);
        // Packet numbers and times (0: no Time option): 3 missing in front
        // of 9, 1 in front of 12, a duplicate 12, a restart at 2.
        const std::vector<std::pair<uint32_t, double>> packets = {
            {4, 1.0}, {5, 0}, {9, 1.25}, {10, 1.5}, {12, 2.0}, {12, 2.25}, {2, 2.5}, {3, 3.5}, {4, 3.75}};
        auto build = [&](const std::vector<int32_t>& altitudes) {
            std::vector<uint8_t> out;
            NavdataState s{};
            for (std::size_t i = 0; i < packets.size(); ++i) {
                s.Demo.altitude = altitudes.empty() ? 0 : altitudes[i];
                PacketBuilder b(0, packets[i].first);
                b.record(s, 0);
                if (packets[i].second > 0) {
                    s.Time.time = Seconds(packets[i].second);
                    b.record(s, 1);
                }
                const auto bytes = b.checksum().take();
                out.insert(out.end(), bytes.begin(), bytes.end());
            }
            return out;
        };
        // The core's counts, packet by packet.
        std::vector<int32_t> counts;
        {
            const auto plain = build({});
            NavdataDecoder d;
            LinkCounter link;
            WalkPackets(plain, d, &link, [&](bool, double, auto) {
                counts.push_back(int32_t(LinkValue(link.values(), LinkKey(key))));
            });
        }
        QCOMPARE(counts.size(), packets.size());
        const std::vector<int32_t> missing = {0, 0, 3, 3, 4, 4, 4, 4, 4};
        if (LinkKey(key) == LinkKey::Missing) {
            QCOMPARE(counts, missing);
        }
        const auto stream = build(counts);

        for (const bool bulk : {true, false}) {
            series.reset();
            ResetSharedState();
            series = std::make_unique<GraphSeries>(chart.get(), bottom);
            series->setMultiplierText(series->add(QString::fromLatin1(kLinkKeyNames[key])), multiplier);
            series->setMultiplierText(series->add(QStringLiteral("Demo.altitude")), multiplier);
            bulk ? series->drawStream(stream) : series->drawStreamPassByPass(stream);
            QVERIFY(PointCount(SeriesList[0]) > 5);
            QVERIFY2(Bits(SeriesList[0]) == Bits(SeriesList[1]), qPrintable(Points(SeriesList[0])));
            QCOMPARE(Navdata.recordTime, 3.75);
        }
        if (LinkKey(key) == LinkKey::Gap) {
            QCOMPARE(Points(SeriesList[0]), QStringLiteral("1:0 1:0 1.25:6 1.5:0 1.5:0 2:2 2.25:0 2.5:0 3.5:0 3.75:0"));
        }
    }

    // Live passes plot the live stream's counts.
    void linkKeysLive()
    {
        LinkValues live{7, 3, 1, 25};
        series->liveLink = [&live] { return live; };
        series->add(QStringLiteral("Link.missing"));
        series->add(QStringLiteral("Link.rate"));
        setPacket(1, 0);
        series->addRecordPoints();
        live.missing = 5;
        live.rate = 20;
        setPacket(2, 0);
        series->addRecordPoints();
        QCOMPARE(Points(SeriesList[0]), QStringLiteral("1:- 1:3 2:5"));
        QCOMPARE(Points(SeriesList[1]), QStringLiteral("1:- 1:25 2:20"));
    }

    // Passes one by one, as live plotting makes them (no removal at the end).
    void passes_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("packets");
        QTest::addColumn<QString>("expected");

        const QString alt = QStringLiteral("Demo.altitude");
        QTest::newRow("one pass") << alt << "2:7" << "2:- 2:7";
        QTest::newRow("two passes") << alt << "2:7 3:8" << "2:- 2:7 3:8";
        QTest::newRow("backwards and equal")
            << alt << "5:1 5:2 3:3 5:4 4:5" << "4:5 5:- 5:1 5:2 5:4 5:4";
        QTest::newRow("behind equals in the middle")
            << alt << "5:1 3:2 5:3 3:4 3:5" << "3:4 3:3 3:5 5:- 5:1 5:3";
        QTest::newRow("key without entry: two null points") << "Raw_meas.gradient" << "1:1 2:2 3:3" << "1:- 2:-";
        QTest::newRow("time zero: nothing") << alt << "0:1" << "";
    }
    void passes()
    {
        QFETCH(QString, key);
        QFETCH(QString, packets);
        QFETCH(QString, expected);

        series->add(key);
        for (const Packet& p : Packets(packets)) {
            Navdata.state.Time.time = p.timeWord;
            Navdata.state.Demo.altitude = p.altitude;
            series->addRecordPoints();
        }
        QCOMPARE(Points(SeriesList[0]), expected);
        // A null point leaves a gap in the drawn line.
        for (int k = 0; k < PointCount(SeriesList[0]); ++k) {
            QCOMPARE(std::isnan(SeriesList[0]->data()->at(k)->value), PointIsNull(SeriesList[0], k));
        }
    }

    // The bulk replay against one pass per decode on longer recordings with
    // every irregularity at once: times wrapping and restarting, equal times,
    // packets without time, several keys and multipliers.
    void bulkEqualsPassByPass_data()
    {
        QTest::addColumn<int>("seed");
        QTest::newRow("a") << 1;
        QTest::newRow("b") << 2;
        QTest::newRow("c") << 3;
    }
    void bulkEqualsPassByPass()
    {
        QFETCH(int, seed);
        std::vector<Packet> packets;
        uint32_t rng = uint32_t(seed) * 2654435761u;
        auto next = [&rng] {
            rng = rng * 1664525u + 1013904223u;
            return rng >> 8;
        };
        double t = 2040.0;
        for (int i = 0; i < 400; ++i) {
            const uint32_t r = next() % 20;
            if (r == 0) {
                t = std::fmod(t + 10, 2048.0); // the seconds wrap
            } else if (r == 1) {
                t = 0.2; // a restart
            } else if (r > 4) {
                t += 0.005;
            } // else: the same time again
            const uint32_t word = r == 2 ? kNoTime : (r == 3 ? 0 : Seconds(t));
            packets.push_back({word, int32_t(next() % 2000) - 1000});
        }
        const auto stream = Stream(packets);
        const QStringList keys = {QStringLiteral("Demo.altitude"), QStringLiteral("Altitude.obs_x_X"),
                                  QStringLiteral("Demo.ctrl_state"), QStringLiteral("Time.time"),
                                  QStringLiteral("Demo.altitude")};
        const QStringList multipliers = {QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("-1.5"),
                                         QStringLiteral("0.001"), QStringLiteral("0")};

        auto draw = [&](bool bulk) {
            series.reset();
            ResetSharedState();
            series = std::make_unique<GraphSeries>(chart.get(), bottom);
            for (int i = 0; i < keys.size(); ++i) {
                series->setMultiplierText(series->add(keys[i]), multipliers[i]);
            }
            bulk ? series->drawStream(stream) : series->drawStreamPassByPass(stream);
            std::vector<std::vector<std::pair<uint64_t, uint64_t>>> out;
            for (QCPGraph* g : SeriesList) {
                out.push_back(Bits(g));
            }
            return std::make_pair(out, Navdata.recordTime);
        };
        const auto bulk = draw(true);
        const auto literal = draw(false);
        QCOMPARE(bulk.first.size(), literal.first.size());
        for (std::size_t i = 0; i < bulk.first.size(); ++i) {
            QVERIFY2(bulk.first[i] == literal.first[i], qPrintable(QStringLiteral("series %1").arg(i)));
        }
        QCOMPARE(bulk.second, literal.second);
        QVERIFY(literal.first[0].size() > 300);
        QCOMPARE(literal.first[1].size(), std::size_t(1));
    }

    // In live mode each pass scrolls the bottom axis to the last scroll-time
    // seconds, also when time runs backwards; a negative scroll time is
    // refused after the points are in.
    void liveScrollWindow()
    {
        series->liveSource = [] { return true; };
        double scroll = 10;
        series->scrollTime = [&scroll] { return scroll; };
        const QCPRange before = chart->xAxis->range();

        // No series: nothing scrolls.
        setPacket(100, 1);
        series->addRecordPoints();
        QVERIFY(bottom->automaticMaximum() && bottom->automaticMinimum());
        QCOMPARE(chart->xAxis->range(), before);

        series->add(QStringLiteral("Demo.altitude"));
        series->addRecordPoints();
        QVERIFY(!bottom->automaticMaximum() && !bottom->automaticMinimum());
        QCOMPARE(bottom->maximum(), 100.0);
        QCOMPARE(bottom->minimum(), 90.0);
        QCOMPARE(chart->xAxis->range(), QCPRange(90, 100));
        // Fixed between passes, whatever the data.
        chart->replot();
        QCOMPARE(chart->xAxis->range(), QCPRange(90, 100));

        setPacket(101.5, 2);
        series->addRecordPoints();
        QCOMPARE(chart->xAxis->range(), QCPRange(91.5, 101.5));

        // The seconds wrapped: the new maximum lies below the old minimum.
        setPacket(3, 3);
        series->addRecordPoints();
        QCOMPARE(chart->xAxis->range(), QCPRange(-7, 3));
        setPacket(4, 4);
        series->addRecordPoints();
        QCOMPARE(chart->xAxis->range(), QCPRange(-6, 4));

        // A negative scroll time: refused, the points are in all the same.
        scroll = -1;
        const int points = PointCount(SeriesList[0]);
        setPacket(5, 5);
        QVERIFY_THROWS_EXCEPTION(AxisRangeError, series->addRecordPoints());
        QCOMPARE(PointCount(SeriesList[0]), points + 1);
        QCOMPARE(Navdata.recordTime, 5.0);
        scroll = 10;
        setPacket(6, 6);
        series->addRecordPoints();
        QCOMPARE(chart->xAxis->range(), QCPRange(-4, 6));

        // A zero time leaves the axis alone.
        setPacket(0, 7);
        series->addRecordPoints();
        QCOMPARE(chart->xAxis->range(), QCPRange(-4, 6));
        QCOMPARE(PointCount(SeriesList[0]), points + 2);
    }

    // While GraphBusy is set a pass adds nothing and leaves the axis alone.
    void busyPassDoesNothing()
    {
        series->liveSource = [] { return true; };
        series->add(QStringLiteral("Demo.altitude"));
        setPacket(50, 1);
        {
            GraphBusyGuard busy;
            series->addRecordPoints();
        }
        QVERIFY(!GraphBusy);
        QCOMPARE(PointCount(SeriesList[0]), 0);
        QVERIFY(bottom->automaticMaximum());
        series->addRecordPoints();
        QCOMPARE(PointCount(SeriesList[0]), 2);
    }

    // The drawn-value range kept beside the series matches a scan of the
    // points after every kind of change, shrinking ones included.
    void valueRange()
    {
        auto scan = [](double& lower, double& upper) {
            bool any = false;
            for (QCPGraph* g : SeriesList) {
                for (int k = 0; k < PointCount(g); ++k) {
                    if (!PointIsNull(g, k)) {
                        const double y = PointY(g, k);
                        lower = any ? std::min(lower, y) : y;
                        upper = any ? std::max(upper, y) : y;
                        any = true;
                    }
                }
            }
            return any;
        };
        auto same = [&] {
            double l1 = 0, u1 = 0, l2 = 0, u2 = 0;
            const bool a = series->valueRange(l1, u1);
            const bool b = scan(l2, u2);
            return a == b && (!a || (l1 == l2 && u1 == u2));
        };
        series->add(QStringLiteral("Demo.altitude"));
        series->add(QStringLiteral("Altitude.obs_x_X"));
        double lower = 0, upper = 0;
        QVERIFY(!series->valueRange(lower, upper));
        // The spike at 3 s becomes point 0 and is dropped by the fifth point.
        const std::vector<Packet> passes = Packets(QStringLiteral("5:1 3:1000 5:2 5:-4 6:3"));
        for (const Packet& p : passes) {
            Navdata.state.Time.time = p.timeWord;
            Navdata.state.Demo.altitude = p.altitude;
            series->addRecordPoints();
            QVERIFY(same());
        }
        QVERIFY(series->valueRange(lower, upper));
        QCOMPARE(lower, -4.0);
        QCOMPARE(upper, 3.0);
        series->drawStream(Stream(Packets(QStringLiteral("1:7 2:9 3:-2"))));
        QVERIFY(same());
        series->clearPoints();
        QVERIFY(same());
        series->drawStreamPassByPass(Stream(Packets(QStringLiteral("1:70 2:90"))));
        QVERIFY(same());
        series->remove(0);
        QVERIFY(same());
        QVERIFY(!series->valueRange(lower, upper));
    }

    // Colours by position; the 12th series on starts the palette over; a
    // removal keeps the others' colours until a redraw recolours by position.
    void colours()
    {
        for (int i = 0; i < 13; ++i) {
            series->add(QStringLiteral("Demo.altitude"));
        }
        for (int i = 0; i < 11; ++i) {
            QCOMPARE(SeriesList[std::size_t(i)]->pen().color(), SeriesPalette[std::size_t(i)]);
        }
        QCOMPARE(SeriesList[11]->pen().color(), QColor(255, 0, 0));
        QCOMPARE(SeriesList[12]->pen().color(), QColor(0, 128, 0));

        series->removeAll();
        QCOMPARE(chart->graphCount(), 0);
        QVERIFY(SeriesList.empty());
        for (int i = 0; i < 3; ++i) {
            series->add(QStringLiteral("Demo.theta"));
        }
        series->remove(0);
        QCOMPARE(series->count(), 2);
        QCOMPARE(SeriesList[0]->pen().color(), QColor(0, 128, 0));
        QCOMPARE(SeriesList[1]->pen().color(), QColor(0, 0, 255));
        series->add(QStringLiteral("Demo.phi"));
        QCOMPARE(SeriesList[2]->pen().color(), QColor(0, 0, 255));
        QCOMPARE(chart->graphCount(), 3);

        series->drawStream(Stream(Packets(QStringLiteral("1:1"))));
        QCOMPARE(SeriesList[0]->pen().color(), QColor(255, 0, 0));
        QCOMPARE(SeriesList[1]->pen().color(), QColor(0, 128, 0));
        QCOMPARE(SeriesList[2]->pen().color(), QColor(0, 0, 255));
        QCOMPARE(chart->graphCount(), 3);
    }

    // "front" draws the chosen series last; the field order stays.
    void front_data()
    {
        QTest::addColumn<int>("fields");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<QList<int>>("order");
        QTest::newRow("one field") << 1 << 0 << QList<int>{0};
        QTest::newRow("first of three") << 3 << 0 << QList<int>{1, 2, 0};
        QTest::newRow("middle of three") << 3 << 1 << QList<int>{0, 2, 1};
        QTest::newRow("last of three") << 3 << 2 << QList<int>{0, 1, 2};
    }
    void front()
    {
        QFETCH(int, fields);
        QFETCH(int, chosen);
        QFETCH(QList<int>, order);
        for (int i = 0; i < fields; ++i) {
            series->add(QStringLiteral("Demo.vx"));
        }
        const std::vector<QCPGraph*> before = SeriesList;
        series->bringToFront(chosen);
        QVERIFY(SeriesList == before);
        QList<int> drawn;
        for (QCPLayerable* l : chart->layer(QStringLiteral("main"))->children()) {
            if (auto* g = qobject_cast<QCPGraph*>(l)) {
                drawn << int(std::find(before.begin(), before.end(), g) - before.begin());
            }
        }
        QCOMPARE(drawn, order);
    }

    // "Clear Graph" keeps fields, series and colours.
    void clearPoints()
    {
        series->add(QStringLiteral("Demo.altitude"));
        series->add(QStringLiteral("Demo.theta"));
        series->drawStream(Stream(Packets(QStringLiteral("1:1 2:2"))));
        QCOMPARE(PointCount(SeriesList[1]), 3);
        const std::vector<QCPGraph*> before = SeriesList;
        series->clearPoints();
        QVERIFY(SeriesList == before);
        QCOMPARE(PointCount(SeriesList[0]), 0);
        QCOMPARE(PointCount(SeriesList[1]), 0);
        QCOMPARE(SeriesList[1]->pen().color(), QColor(0, 128, 0));
        QCOMPARE(series->key(1), QStringLiteral("Demo.theta"));
    }

    // Multipliers are kept as text in general format and read back alike.
    void multiplierText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("one") << 1.0 << "1";
        QTest::newRow("fraction") << 0.1 << "0.1";
        QTest::newRow("negative") << -2.5 << "-2.5";
        QTest::newRow("fifteen digits") << 1.0 / 3.0 << "0.333333333333333";
        QTest::newRow("large") << 123456789.0 << "123456789";
    }
    void multiplierText()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(MultiplierText(value), text);
        QCOMPARE(MultiplierValue(text), text.toDouble());
    }
};

KESTRIX_GUI_TEST_MAIN(TestGraphSeries)
#include "test_graph_series.moc"
