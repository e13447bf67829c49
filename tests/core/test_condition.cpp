// The condition language of find: the parser's table of good and bad
// conditions, and the evaluator on a few records.
#include "kestrix/condition.h"
#include "kestrix/find.h"
#include "kestrix/packet_builder.h"
#include "kestrix/plot_fields.h"
#include "kestrix/stream_reader.h"

#include "suite_main.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace kestrix;

Q_DECLARE_METATYPE(ConditionOp)

namespace {

struct Rec {
    int32_t altitude;
    uint32_t ctrlState;
    float theta;
    double missing;
};

NavdataState State(const Rec& r)
{
    NavdataState s{};
    s.Demo.altitude = r.altitude;
    s.Demo.ctrl_state = r.ctrlState;
    s.Demo.theta = r.theta;
    return s;
}

// A stream of the fixture's records, each a packet with Demo and Time
// (record k at k + 1 seconds), numbered 1, 2, 5, ... (a gap of 2 in front of
// record 2), with an untimed packet in front of record 3.
std::vector<uint8_t> Stream(std::span<const Rec> records)
{
    std::vector<uint8_t> s;
    uint32_t number = 0;
    for (std::size_t k = 0; k < records.size(); ++k) {
        NavdataState st = State(records[k]);
        number += k == 2 ? 3 : 1;
        if (k == 3) {
            const auto p = PacketBuilder(0, ++number).record(st, 0).checksum().take();
            s.insert(s.end(), p.begin(), p.end());
        }
        st.Time.time = MakeTimeWord(uint32_t(k + 1), 0);
        const auto p = PacketBuilder(0, number).record(st, 0).record(st, 1).checksum().take();
        s.insert(s.end(), p.begin(), p.end());
    }
    return s;
}

// The records of the evaluator fixture.
const Rec kRecords[] = {
    {0, 0x20000, 0.0f, 0},     // 0
    {500, 0x20000, 0.5f, 0},   // 1
    {1000, 0x30000, 0.5f, 2},  // 2
    {1500, 0x30000, -1.0f, 2}, // 3
    {1500, 0x50000, NAN, 5},   // 4
    {900, 0x50000, NAN, 5},    // 5
};

} // namespace

class TestCondition : public QObject {
    Q_OBJECT
private slots:
    void parsesGood_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("clauses");
        QTest::addColumn<QString>("firstKey");
        QTest::addColumn<ConditionOp>("firstOp");
        QTest::addColumn<double>("firstNumber");
        QTest::newRow("greater") << "Demo.altitude > 1000" << 1 << "Demo.altitude" << ConditionOp::Greater << 1000.0;
        QTest::newRow("no blanks") << "Demo.altitude>=1000" << 1 << "Demo.altitude" << ConditionOp::GreaterEqual << 1000.0;
        QTest::newRow("less") << "Demo.theta < -0.5" << 1 << "Demo.theta" << ConditionOp::Less << -0.5;
        QTest::newRow("less or equal") << "Demo.theta <= 1e3" << 1 << "Demo.theta" << ConditionOp::LessEqual << 1000.0;
        QTest::newRow("equal hex") << "Demo.ctrl_state == 0x30000" << 1 << "Demo.ctrl_state" << ConditionOp::Equal << double(0x30000);
        QTest::newRow("upper-case hex") << "Demo.ctrl_state != 0XfF" << 1 << "Demo.ctrl_state" << ConditionOp::NotEqual << 255.0;
        QTest::newRow("hex above int32") << "Time.time == 0xFFFFFFFF" << 1 << "Time.time" << ConditionOp::Equal << 4294967295.0;
        QTest::newRow("changes") << "Demo.ctrl_state changes" << 1 << "Demo.ctrl_state" << ConditionOp::Changes << 0.0;
        QTest::newRow("link key") << "Link.gap > 0" << 1 << "Link.gap" << ConditionOp::Greater << 0.0;
        QTest::newRow("and") << "Demo.altitude > 1000 and Link.missing >= 1" << 2 << "Demo.altitude" << ConditionOp::Greater << 1000.0;
        QTest::newRow("three clauses, tabs") << "\tDemo.altitude>1  and  Demo.ctrl_state changes AND Link.rate<10 " << 3
                                             << "Demo.altitude" << ConditionOp::Greater << 1.0;
        QTest::newRow("key without edit") << "Video_stream.data1 == 1" << 1 << "Video_stream.data1" << ConditionOp::Equal << 1.0;
    }
    void parsesGood()
    {
        QFETCH(QString, text);
        QFETCH(int, clauses);
        QFETCH(QString, firstKey);
        QFETCH(ConditionOp, firstOp);
        QFETCH(double, firstNumber);
        ConditionError error;
        const std::optional<Condition> c = Condition::Parse(text.toStdString(), error);
        QVERIFY2(c.has_value(), error.message.c_str());
        QCOMPARE(int(c->clauses().size()), clauses);
        const ConditionClause& first = c->clauses().front();
        QCOMPARE(QString::fromStdString(first.key), firstKey);
        QCOMPARE(first.op, firstOp);
        QCOMPARE(first.number, firstNumber);
        QVERIFY((first.field != nullptr) != first.link.has_value());
        QCOMPARE(c->usesLink(), text.contains("Link."));
    }

    void refusesBad_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("word");  // named in the message
        QTest::addColumn<int>("position");  // 1-based character
        QTest::newRow("empty") << "" << "empty" << 1;
        QTest::newRow("blanks only") << "   " << "empty" << 4;
        QTest::newRow("unknown key") << "Demo.altitud > 5" << "\"Demo.altitud\"" << 1;
        QTest::newRow("key in other case") << "demo.altitude > 5" << "\"demo.altitude\"" << 1;
        QTest::newRow("key without entry") << "Time.SCFrameEdit2 > 5" << "\"Time.SCFrameEdit2\"" << 1;
        QTest::newRow("unknown link key") << "Link.lost > 5" << "\"Link.lost\"" << 1;
        QTest::newRow("missing number") << "Demo.altitude >" << "after \">\"" << 16;
        QTest::newRow("missing operator") << "Demo.altitude" << "after \"Demo.altitude\"" << 14;
        QTest::newRow("operator typo =>") << "Demo.altitude => 5" << "\"=>\"" << 15;
        QTest::newRow("single =") << "Demo.altitude = 5" << "\"=\"" << 15;
        QTest::newRow("word for operator") << "Demo.altitude gt 5" << "\"gt\"" << 15;
        QTest::newRow("number not a number") << "Demo.altitude > 1m" << "\"1m\"" << 17;
        QTest::newRow("bad hex") << "Demo.altitude > 0xZZ" << "\"0xZZ\"" << 17;
        QTest::newRow("hex too large") << "Demo.altitude > 0x10000000000000000" << "\"0x10000000000000000\"" << 17;
        QTest::newRow("nan") << "Demo.altitude > nan" << "\"nan\"" << 17;
        QTest::newRow("two operators") << "Demo.altitude > < 5" << "\"<\"" << 17;
        QTest::newRow("trailing and") << "Demo.altitude > 5 and" << "trailing \"and\"" << 19;
        QTest::newRow("or") << "Demo.altitude > 5 or Demo.theta < 1" << "\"or\"" << 19;
        QTest::newRow("missing and") << "Demo.altitude > 5 Demo.theta < 1" << "\"Demo.theta\"" << 19;
        QTest::newRow("operator first") << "> 5" << "\">\"" << 1;
        QTest::newRow("and and") << "Demo.altitude > 5 and and Demo.theta < 1" << "\"and\"" << 23;
    }
    void refusesBad()
    {
        QFETCH(QString, text);
        QFETCH(QString, word);
        QFETCH(int, position);
        ConditionError error;
        QVERIFY(!Condition::Parse(text.toStdString(), error).has_value());
        const QString message = QString::fromStdString(error.message);
        QVERIFY2(message.contains(word), qPrintable(message));
        QVERIFY2(!message.contains('\n'), qPrintable(message));
        QCOMPARE(int(error.position), position);
    }

    void evaluates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("matches"); // records where it holds
        QTest::newRow("threshold") << "Demo.altitude >= 1000" << QList<int>{2, 3, 4};
        QTest::newRow("equal") << "Demo.altitude == 1500" << QList<int>{3, 4};
        QTest::newRow("not equal") << "Demo.altitude != 1500" << QList<int>{0, 1, 2, 5};
        QTest::newRow("hex") << "Demo.ctrl_state == 0x30000" << QList<int>{2, 3};
        QTest::newRow("changes, never the first") << "Demo.ctrl_state changes" << QList<int>{2, 4};
        QTest::newRow("changes of a float, NaN to NaN is none") << "Demo.theta changes" << QList<int>{1, 3, 4};
        QTest::newRow("NaN compares false") << "Demo.theta < 100" << QList<int>{0, 1, 2, 3};
        QTest::newRow("NaN is not equal") << "Demo.theta != 0" << QList<int>{1, 2, 3, 4, 5};
        QTest::newRow("and") << "Demo.altitude > 100 and Demo.theta >= 0.5" << QList<int>{1, 2};
        // Every clause sees every record: a "changes" behind a false clause
        // still compares with the record right in front.
        QTest::newRow("and with changes") << "Demo.altitude > 600 and Demo.ctrl_state changes" << QList<int>{2, 4};
        QTest::newRow("link key") << "Link.missing > 1 and Link.missing changes" << QList<int>{2, 4};
        QTest::newRow("never") << "Demo.altitude < -1" << QList<int>{};
    }
    void evaluates()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, matches);
        ConditionError error;
        std::optional<Condition> c = Condition::Parse(text.toStdString(), error);
        QVERIFY2(c.has_value(), error.message.c_str());
        for (int pass = 0; pass < 2; ++pass) { // restart() forgets the previous record
            QList<int> got;
            for (int k = 0; k < int(std::size(kRecords)); ++k) {
                LinkValues link;
                link.missing = kRecords[k].missing;
                if (c->evaluate(State(kRecords[k]), link))
                    got.push_back(k);
            }
            QCOMPARE(got, matches);
            c->restart();
        }
    }

    // The search over a stream: every record from the first is evaluated,
    // matches at or after `from` reported in order, with their times.
    void findsRecords_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("from");
        QTest::addColumn<QList<int>>("matches");
        QTest::newRow("threshold") << "Demo.altitude >= 1000" << 0 << QList<int>{2, 3, 4};
        QTest::newRow("from 3") << "Demo.altitude >= 1000" << 3 << QList<int>{3, 4};
        QTest::newRow("changes at from compares with the record in front") << "Demo.ctrl_state changes" << 2
                                                                           << QList<int>{2, 4};
        QTest::newRow("link gap") << "Link.gap > 0" << 0 << QList<int>{2};
        QTest::newRow("untimed packet in front of record 3 counted") << "Link.packet == 7" << 0 << QList<int>{3};
        QTest::newRow("none") << "Demo.altitude > 5000" << 0 << QList<int>{};
    }
    void findsRecords()
    {
        QFETCH(QString, text);
        QFETCH(int, from);
        QFETCH(QList<int>, matches);
        ConditionError error;
        std::optional<Condition> c = Condition::Parse(text.toStdString(), error);
        QVERIFY2(c.has_value(), error.message.c_str());
        const std::vector<uint8_t> s = Stream(kRecords);
        QList<int> got;
        std::size_t lastProgress = 0;
        const FindEnd end = FindRecords(
            s, *c, from,
            [&](const FindMatch& m) {
                got.push_back(m.record);
                return m.time == double(m.record + 1);
            },
            nullptr, [&](std::size_t done) { lastProgress = done; }, 64);
        QCOMPARE(end, FindEnd::Searched);
        QCOMPARE(got, matches);
        QCOMPARE(lastProgress, s.size());

        // The same search over the stream read from a file, in chunks that
        // cut packets and packet numbers apart.
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("find.navdata"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(reinterpret_cast<const char*>(s.data()), qint64(s.size())), qint64(s.size()));
        }
        std::string openError;
        const std::shared_ptr<StreamFile> file = StreamFile::Open(path.toStdString(), openError);
        QVERIFY2(file, openError.c_str());
        for (const std::size_t chunk : {std::size_t(1), std::size_t(5), std::size_t(4096)}) {
            StreamReader reader(file, chunk);
            QList<int> onDemand;
            int64_t progressed = 0;
            QCOMPARE(FindRecords(
                         reader, *c, from,
                         [&](const FindMatch& m) {
                             onDemand.push_back(m.record);
                             return m.time == double(m.record + 1);
                         },
                         nullptr, [&](int64_t done) { progressed = done; }, 64),
                     FindEnd::Searched);
            QCOMPARE(onDemand, matches);
            QCOMPARE(progressed, int64_t(s.size()));
        }
    }

    void findStopsAndCancels()
    {
        ConditionError error;
        std::optional<Condition> c = Condition::Parse("Demo.altitude >= 0", error);
        const std::vector<uint8_t> s = Stream(kRecords);
        int calls = 0;
        QCOMPARE(FindRecords(s, *c, 1, [&](const FindMatch& m) { ++calls; return m.record < 2; }), FindEnd::Stopped);
        QCOMPARE(calls, 2);
        std::atomic<bool> cancel{true};
        calls = 0;
        QCOMPARE(FindRecords(s, *c, 0, [&](const FindMatch&) { ++calls; return true; }, &cancel), FindEnd::Cancelled);
        QCOMPARE(calls, 0);
    }
};

KESTRIX_APPLESS_TEST(TestCondition)
#include "test_condition.moc"
