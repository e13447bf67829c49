// The numbers of the csv output: the shortest text that reads back to the
// same double, exactly as std::to_chars writes it, whichever way the text is
// put together (whole numbers and whole microseconds are written directly).
#include "kestrix/csv_text.h"
#include "kestrix/decoder.h"
#include "kestrix/packet_builder.h"

#include "suite_main.h"

#include <QtTest>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

using namespace kestrix;

namespace {

std::string Ours(double v)
{
    char buf[kCsvNumberRoom];
    return std::string(buf, WriteCsvNumber(buf, buf + sizeof buf, v));
}

std::string Library(double v)
{
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

} // namespace

class TestCsvText : public QObject {
    Q_OBJECT

private slots:
    void edges_data()
    {
        QTest::addColumn<double>("v");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("negative zero") << -0.0 << "-0";
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << "nan";
        QTest::newRow("inf") << std::numeric_limits<double>::infinity() << "inf";
        QTest::newRow("-inf") << -std::numeric_limits<double>::infinity() << "-inf";
        QTest::newRow("whole, five digits: plain") << 99999.0 << "99999";
        QTest::newRow("a hundred thousand: the exponent is shorter") << 1e5 << "1e+05";
        QTest::newRow("1.2e6: tie in length, plain") << 1200000.0 << "1200000";
        QTest::newRow("1.23e8: exponent shorter") << 123000000.0 << "1.23e+08";
        QTest::newRow("largest whole below 10^15") << 999999999999999.0 << "999999999999999";
        QTest::newRow("10^15, past the direct path") << 1e15 << "1e+15";
        QTest::newRow("2^53") << 9007199254740992.0 << "9007199254740992";
        QTest::newRow("negative whole") << -4096.0 << "-4096";
        QTest::newRow("a microsecond: exponent shorter") << 1e-6 << "1e-06";
        QTest::newRow("0.000123: tie in length, plain") << 0.000123 << "0.000123";
        QTest::newRow("a time word's seconds") << NavdataTimeToSeconds(MakeTimeWord(1, 1000)) << "1.001";
        QTest::newRow("largest time word") << NavdataTimeToSeconds(0xFFFFFFFFu) << "2049.097151";
        QTest::newRow("negative millionths") << -0.5 << "-0.5";
        QTest::newRow("a float widened") << double(0.1f) << "0.10000000149011612";
        QTest::newRow("a third") << 1.0 / 3 << "0.3333333333333333";
        QTest::newRow("smallest subnormal") << std::numeric_limits<double>::denorm_min() << "5e-324";
    }

    void edges()
    {
        QFETCH(double, v);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(Ours(v)), text);
        if (std::isfinite(v))
            QCOMPARE(QString::fromStdString(Ours(v)), QString::fromStdString(Library(v)));
    }

    // The kinds of numbers a recording yields, and any double: the same text
    // as the standard library's, character for character.
    void sameAsTheLibrary()
    {
        std::mt19937_64 rng(7);
        int checked = 0;
        auto same = [&](double v) {
            ++checked;
            const std::string a = Ours(v);
            const std::string b = Library(v);
            if (a == b)
                return true;
            qWarning("%.17g: %s, the library writes %s", v, a.c_str(), b.c_str());
            return false;
        };
        for (int64_t i = -100000; i <= 100000; ++i)
            QVERIFY(same(double(i)) && same(double(i) / 1e6) && same(double(i) * 1000) && same(double(i) * 1e9));
        for (int e = 0; e <= 16; ++e)
            for (int64_t k = -50; k <= 50; ++k) {
                const double p = std::pow(10.0, e);
                QVERIFY(same(p + double(k)) && same(-(p + double(k))) && same(p * double(k)) && same((p + double(k)) / 1e6));
            }
        for (int i = 0; i < 400000; ++i) {
            const uint64_t u = rng();
            double v = 0;
            switch (i % 6) {
            case 0: v = double(int64_t(u % 2000000000000000u) - 1000000000000000); break;
            case 1: v = double(u % 1000000000000000u) / 1e6; break;
            case 2: v = NavdataTimeToSeconds(uint32_t(u)); break;
            case 3: {
                float f;
                const uint32_t w = uint32_t(u);
                std::memcpy(&f, &w, 4);
                v = double(f);
                break;
            }
            case 4: std::memcpy(&v, &u, 8); break;
            case 5: v = double(int32_t(u)) * 0.001; break;
            }
            if (std::isfinite(v))
                QVERIFY(same(v));
        }
        QVERIFY(checked > 1000000);
    }
};

KESTRIX_APPLESS_TEST(TestCsvText)
#include "test_csv_text.moc"
