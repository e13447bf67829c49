// Field edit texts of the NavData window: the edit list, the text formats and
// the real text.
#include "kestrix/field_text.h"
#include "kestrix/plot_fields.h"

#include "test_bytes.h"

#include "suite_main.h"

#include <QtTest>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <string>

using namespace kestrix;

namespace {

const FieldEdit* findEdit(std::string_view tab, std::string_view edit)
{
    for (const FieldEdit& e : FieldEdits())
        if (e.tab == tab && e.edit == edit)
            return &e;
    return nullptr;
}

int editIndex(const FieldEdit* e)
{
    return int(e - FieldEdits().data());
}

std::string keyOf(const FieldEdit& e)
{
    return std::string(e.tab) + "." + std::string(e.edit);
}

QByteArray bytesOf(const std::string& s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}


double fl(float v)
{
    return double(v);
}

// Deterministic noise over the whole state, so that reading a neighbour's
// bytes shows.
void fillNoise(NavdataState& s, uint32_t seed)
{
    std::mt19937 rng(seed);
    auto* p = reinterpret_cast<uint8_t*>(&s);
    for (std::size_t i = 0; i < sizeof s; ++i)
        p[i] = uint8_t(rng());
}

double parseReal(std::string s)
{
    for (char& c : s)
        if (c == 'E')
            c = 'e';
    double v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size())
        return std::numeric_limits<double>::quiet_NaN();
    return v;
}

struct ExactDigits {
    std::string digits; // all significant digits of the exact expansion
    int exp10;          // value = d0.d1d2... x 10^exp10
};

// Exact decimal expansion through to_chars with more digits than any double has.
ExactDigits exactDigits(double a)
{
    static char buf[900];
    const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(a), std::chars_format::scientific, 800);
    std::string s(buf, r.ptr);
    const auto e = s.find('e');
    ExactDigits d;
    d.digits = s.substr(0, 1) + s.substr(2, e - 2);
    d.exp10 = std::stoi(s.substr(e + 1));
    while (d.digits.size() > 1 && d.digits.back() == '0')
        d.digits.pop_back();
    return d;
}

} // namespace

class TestFieldText : public QObject {
    Q_OBJECT

private slots:
    void realText_data();
    void realText();
    void realTextProperties_data();
    void realTextProperties();

    void editList();
    void editsPerTab_data();
    void editsPerTab();
    void editOrder_data();
    void editOrder();
    void unfedEdits();
    void editsAgreeWithCatalogue();

    void editText_data();
    void editText();
    void sameNameInOtherRecord();
    void zeroState();
    void allTexts();
    void editOutsideRecord();
};

void TestFieldText::realText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("sep");
    QTest::addColumn<QString>("expected");

    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();

    // The documented examples (float32 inputs).
    QTest::newRow("0.1f") << fl(0.1f) << "." << "0.100000001490116";
    QTest::newRow("1.5") << 1.5 << "." << "1.5";
    QTest::newRow("100") << 100.0 << "." << "100";
    QTest::newRow("0.001f") << fl(0.001f) << "." << "0.00100000004749745";
    QTest::newRow("0.0001f") << fl(0.0001f) << "." << "9.99999974737875E-5";
    QTest::newRow("1E20f") << fl(1e20f) << "." << "1.00000002004088E20";
    QTest::newRow("-2.75") << -2.75 << "." << "-2.75";
    QTest::newRow("-0.1f") << -fl(0.1f) << "." << "-0.100000001490116";
    QTest::newRow("-0.001f") << -fl(0.001f) << "." << "-0.00100000004749745";

    // Ties at the 16th digit go away from zero.
    QTest::newRow("tie 100.0001220703125") << 100.0001220703125 << "." << "100.000122070313";
    QTest::newRow("tie -100.0001220703125") << -100.0001220703125 << "." << "-100.000122070313";
    QTest::newRow("tie 2^-22") << std::ldexp(1.0, -22) << "." << "2.38418579101563E-7";

    // Special values.
    QTest::newRow("zero") << 0.0 << "." << "0";
    QTest::newRow("-0") << -0.0 << "." << "0";
    QTest::newRow("INF") << inf << "." << "INF";
    QTest::newRow("-INF") << -inf << "." << "-INF";
    QTest::newRow("NAN") << nan << "." << "NAN";
    QTest::newRow("-NAN") << -nan << "." << "NAN";
    QTest::newRow("float NaN payload") << fl(std::bit_cast<float>(0xFFC00001u)) << "." << "NAN";
    QTest::newRow("signalling NaN") << std::bit_cast<double>(0x7FF0000000000001ull) << "." << "NAN";

    // Positional from x = -3 to x = 15 (value = 0.d1d2.. x 10^x).
    QTest::newRow("x=-3 0.000123") << 0.000123 << "." << "0.000123";
    QTest::newRow("x=-3 0.0001") << 0.0001 << "." << "0.0001";
    QTest::newRow("x=-2 0.001") << 0.001 << "." << "0.001";
    QTest::newRow("x=0 0.5") << 0.5 << "." << "0.5";
    QTest::newRow("x=0 1/3") << 1.0 / 3.0 << "." << "0.333333333333333";
    QTest::newRow("x=5 12345.678") << 12345.678 << "." << "12345.678";
    QTest::newRow("x=15 1E14") << 1e14 << "." << "100000000000000";
    QTest::newRow("x=15 123456789012345") << 123456789012345.0 << "." << "123456789012345";
    QTest::newRow("x=15 999999999999999") << 999999999999999.0 << "." << "999999999999999";
    QTest::newRow("-123") << -123.0 << "." << "-123";
    // Scientific outside.
    QTest::newRow("x=-4 9.99E-5") << 9.99e-5 << "." << "9.99E-5";
    QTest::newRow("x=-4 -1E-4f") << -fl(0.0001f) << "." << "-9.99999974737875E-5";
    QTest::newRow("x=16 1E15") << 1e15 << "." << "1E15";
    QTest::newRow("x=16 2^53") << 9007199254740992.0 << "." << "9.00719925474099E15";
    QTest::newRow("x=17 1E16") << 1e16 << "." << "1E16";
    QTest::newRow("2^64") << 18446744073709551616.0 << "." << "1.84467440737096E19";
    QTest::newRow("1E-300") << 1e-300 << "." << "1E-300";
    QTest::newRow("-1E300") << -1e300 << "." << "-1E300";

    // Rounding carries into a new leading digit.
    QTest::newRow("carry 9.999999999999996") << 9.999999999999996 << "." << "10";
    // The nearest double to 9.999999999999995 is 9.99999999999999467..., so no carry.
    QTest::newRow("no carry 9.999999999999995") << 9.999999999999995 << "." << "9.99999999999999";
    QTest::newRow("carry x=-3 to -2") << 0.0009999999999999996 << "." << "0.001";
    QTest::newRow("carry x=-4 to -3") << 0.00009999999999999999 << "." << "0.0001";
    QTest::newRow("carry to x=15") << 99999999999999.95 << "." << "100000000000000";
    QTest::newRow("carry x=15 to 16") << 999999999999999.5 << "." << "1E15";

    // Range ends.
    QTest::newRow("float max") << fl(std::numeric_limits<float>::max()) << "." << "3.40282346638529E38";
    QTest::newRow("float min normal") << fl(std::numeric_limits<float>::min()) << "." << "1.17549435082229E-38";
    QTest::newRow("float min subnormal") << fl(std::numeric_limits<float>::denorm_min()) << "."
                                         << "1.40129846432482E-45";
    QTest::newRow("double max") << std::numeric_limits<double>::max() << "." << "1.79769313486232E308";
    // 751 significant digits, the 16th a 5 followed by more.
    QTest::newRow("double min subnormal") << std::numeric_limits<double>::denorm_min() << "."
                                          << "4.94065645841247E-324";

    // Time in seconds.
    QTest::newRow("5.123456") << 5.123456 << "." << "5.123456";

    // The separator is the caller's.
    QTest::newRow(", 1.5") << 1.5 << "," << "1,5";
    QTest::newRow(", 0.001f") << fl(0.001f) << "," << "0,00100000004749745";
    QTest::newRow(", 0.0001f") << fl(0.0001f) << "," << "9,99999974737875E-5";
    QTest::newRow(", 100") << 100.0 << "," << "100";
    QTest::newRow(", 1E15") << 1e15 << "," << "1E15";
    QTest::newRow(", -2.75") << -2.75 << "," << "-2,75";
}

void TestFieldText::realText()
{
    QFETCH(double, value);
    QFETCH(QString, sep);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(RealText(value, sep.at(0).toLatin1())), expected);
}

void TestFieldText::realTextProperties_data()
{
    QTest::addColumn<bool>("asFloat");
    QTest::newRow("float bit patterns") << true;
    QTest::newRow("double bit patterns") << false;
}

// Random bit patterns against to_chars: same value as the correctly rounded
// 15-digit text except at exact ties, which go away from zero; layout as
// documented.
void TestFieldText::realTextProperties()
{
    QFETCH(bool, asFloat);
    std::mt19937_64 rng(asFloat ? 1 : 2);
    int ties = 0;
    for (int i = 0; i < 4000; ++i) {
        const uint64_t bits = rng();
        double v = asFloat ? double(std::bit_cast<float>(uint32_t(bits))) : std::bit_cast<double>(bits);
        if (i % 4 == 0) // many exact ties: small integers over powers of two
            v = double(int64_t(bits % 20000000000000000ull) - 10000000000000000ll) / double(1ull << (bits >> 59));
        if (!std::isfinite(v) || v == 0)
            continue;
        const std::string text = RealText(v, '.');
        const QByteArray ctx = QByteArray::number(v, 'g', 17) + " -> " + QByteArray(text.c_str());

        char ref[64];
        const auto r = std::to_chars(ref, ref + sizeof ref, v, std::chars_format::scientific, 14);
        const double nearest = parseReal(std::string(ref, r.ptr));
        const ExactDigits ex = exactDigits(v);
        const bool tie = ex.digits.size() == 16 && ex.digits[15] == '5';
        const double got = parseReal(text);
        if (tie) {
            ++ties;
            QVERIFY2(std::fabs(got) > std::fabs(v), ctx.constData());
        } else {
            QVERIFY2(got == nearest, ctx.constData());
        }

        // Layout: positional exactly for x in -3..15 (value = 0.d1d2.. x 10^x),
        // at most 15 significant digits, no trailing zeros.
        const std::string body = text[0] == '-' ? text.substr(1) : text;
        const auto ePos = body.find('E');
        const std::string mant = body.substr(0, ePos);
        const auto sepPos = mant.find('.');
        int x = 0;
        std::string sig;
        if (ePos != std::string::npos) {
            x = std::stoi(body.substr(ePos + 1)) + 1;
            QVERIFY2(x < -3 || x > 15, ctx.constData());
            QVERIFY2(sepPos == std::string::npos || sepPos == 1, ctx.constData());
            QVERIFY2(mant[0] != '0', ctx.constData());
            sig = mant.substr(0, 1) + (sepPos == std::string::npos ? std::string() : mant.substr(2));
        } else if (mant.rfind("0.", 0) == 0) {
            const auto firstDigit = mant.find_first_not_of('0', 2);
            QVERIFY2(firstDigit != std::string::npos, ctx.constData());
            x = -int(firstDigit - 2);
            QVERIFY2(x >= -3, ctx.constData());
            sig = mant.substr(firstDigit);
        } else {
            x = int(sepPos == std::string::npos ? mant.size() : sepPos);
            QVERIFY2(x <= 15 && mant[0] != '0', ctx.constData());
            sig = mant.substr(0, std::size_t(x)) + (sepPos == std::string::npos ? std::string() : mant.substr(sepPos + 1));
            while (sepPos == std::string::npos && sig.size() > 1 && sig.back() == '0')
                sig.pop_back(); // zeros that only fill up an integer
        }
        QVERIFY2(sig.size() <= 15, ctx.constData());
        if (sepPos != std::string::npos)
            QVERIFY2(mant.back() != '0', ctx.constData());
        QVERIFY2((text[0] == '-') == (v < 0), ctx.constData());
    }
    QVERIFY(ties > 10); // the tie branch was really exercised
}

void TestFieldText::editList()
{
    const auto edits = FieldEdits();
    QCOMPARE(int(edits.size()), 235);

    int lastTag = 0;
    std::set<std::string> keys;
    for (const FieldEdit& e : edits) {
        const QByteArray ctx(keyOf(e).c_str());
        QVERIFY2(e.tag >= lastTag && e.tag < kOptionTagCount, ctx.constData());
        lastTag = e.tag;
        QVERIFY2(e.tab == kRecordSlots[e.tag].name, ctx.constData());
        QVERIFY2(keys.insert(keyOf(e)).second, ctx.constData()); // names unique per tab
        if (e.format == FieldFormat::None) {
            QCOMPARE(e.offset, -1);
            continue;
        }
        QVERIFY2(e.offset >= 0, ctx.constData());
        QVERIFY2(std::size_t(e.offset) + std::size_t(StoredSize(e.type)) <= kRecordSlots[e.tag].size,
                 ctx.constData());
        // Each format goes with the stored types it applies to.
        bool typeFits = false;
        switch (e.format) {
        case FieldFormat::D: typeFits = e.type == StoredType::I16 || e.type == StoredType::I32; break;
        case FieldFormat::U:
            typeFits = e.type == StoredType::U8 || e.type == StoredType::U16 || e.type == StoredType::U32;
            break;
        case FieldFormat::H:
        case FieldFormat::S: typeFits = e.type == StoredType::U32; break;
        case FieldFormat::R: typeFits = e.type == StoredType::F32; break;
        case FieldFormat::T: typeFits = e.type == StoredType::Char; break;
        case FieldFormat::None: break;
        }
        QVERIFY2(typeFits, ctx.constData());
    }
}

void TestFieldText::editsPerTab_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");

    struct Row { int count; const char* first; const char* last; };
    const Row rows[kOptionTagCount] = {
        {12, "ctrl_state", "detection_camera_type"},
        {2, "time", "SCFrameEdit2"},
        {21, "raw_accs_0", "gradient"},
        {11, "accs_temp", "vrefIDG"},
        {3, "offset_0", "offset_2"},
        {2, "theta1", "phi1"},
        {21, "ref_theta", "ui_seq"},
        {3, "angular_rates_trim_r", "euler_angles_trim_phi"},
        {5, "rc_ref_pitch", "rc_ref_ag"},
        {26, "motor1", "altitude_der"},
        {18, "altitude_vision", "est_vb_V1"},
        {3, "vision_tx_raw", "vision_tz_raw"},
        {10, "dx_0", "dy_4"},
        {23, "vision_state", "gold_y"},
        {6, "time_szo", "time_update"},
        {0, "", ""},
        {1, "nb_detected", "nb_detected"},
        {1, "watchdog", "watchdog"},
        {1, "version", "version"},
        {9, "quant", "desired_bitrate"},
        {2, "double_tap_counter", "finish_line_counter"},
        {4, "up", "Pression_meas"},
        {11, "mx", "error_var"},
        {13, "wind_speed", "magneto_debug3"},
        {17, "offset_pressure", "Flag_multisinus_debut"},
        {7, "hdvideo_state", "usbkey_remaining_time"},
        {1, "link_quality", "link_quality"},
        {2, "vzimmuLSB", "vzfind"},
    };
    for (int tag = 0; tag < kOptionTagCount; ++tag)
        QTest::newRow(kRecordSlots[tag].name) << tag << rows[tag].count << rows[tag].first << rows[tag].last;
}

void TestFieldText::editsPerTab()
{
    QFETCH(int, tag);
    QFETCH(int, count);
    QFETCH(QString, first);
    QFETCH(QString, last);
    QStringList names;
    for (const FieldEdit& e : FieldEdits())
        if (e.tag == tag)
            names << QString::fromLatin1(e.edit.data(), qsizetype(e.edit.size()));
    QCOMPARE(names.size(), count);
    if (count > 0) {
        QCOMPARE(names.first(), first);
        QCOMPARE(names.last(), last);
    }
}

// Tabs whose window order is not the payload order.
void TestFieldText::editOrder_data()
{
    QTest::addColumn<QString>("tab");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("Altitude") << "Altitude"
                              << QStringList{"altitude_vision", "altitude_vz", "altitude_ref", "altitude_raw",
                                             "obs_accZ", "obs_alt", "obs_x_X", "obs_x_Y", "obs_x_Z", "est_vb_X",
                                             "est_vb_Y", "obs_state", "est_state", "obs_x_V0", "obs_x_V1",
                                             "obs_x_V2", "est_vb_V0", "est_vb_V1"};
    QTest::newRow("Vision") << "Vision"
                            << QStringList{"vision_state", "vision_misc", "vision_phi_trim", "vision_phi_ref_prop",
                                           "vision_theta_trim", "vision_theta_ref_prop", "new_raw_picture",
                                           "theta_capture", "phi_capture", "psi_capture", "time_capture",
                                           "SCFrameEdit1", "altitude_capture", "body_v_X", "body_v_Y", "body_v_Z",
                                           "delta_phi", "delta_theta", "delta_psi", "gold_defined", "gold_reset",
                                           "gold_x", "gold_y"};
    QTest::newRow("Kalman_pressure")
        << "Kalman_pressure"
        << QStringList{"offset_pressure", "est_z", "est_zdot", "est_bias_PWM", "est_biais_pression", "offset_US",
                       "prediction_US", "cov_alt", "cov_PWM", "cov_vitesse", "bool_effet_sol", "somme_inno",
                       "flag_rejet_US", "u_multisinus", "gaz_altitude_KP", "Flag_multisinus",
                       "Flag_multisinus_debut"};
}

void TestFieldText::editOrder()
{
    QFETCH(QString, tab);
    QFETCH(QStringList, names);
    QStringList got;
    for (const FieldEdit& e : FieldEdits())
        if (QLatin1String(e.tab.data(), qsizetype(e.tab.size())) == tab)
            got << QString::fromLatin1(e.edit.data(), qsizetype(e.edit.size()));
    QCOMPARE(got, names);
}

void TestFieldText::unfedEdits()
{
    QStringList unfed;
    for (const FieldEdit& e : FieldEdits())
        if (e.format == FieldFormat::None)
            unfed << QString::fromStdString(keyOf(e));
    QCOMPARE(unfed, (QStringList{"Raw_meas.gradient", "Altitude.obs_x_V0", "Altitude.obs_x_V1", "Altitude.obs_x_V2",
                                 "Altitude.est_vb_V0", "Altitude.est_vb_V1"}));

    // They come last on their tab and stay empty whatever the state holds.
    NavdataState s;
    fillNoise(s, 7);
    const auto edits = FieldEdits();
    for (std::size_t i = 0; i < edits.size(); ++i) {
        if (edits[i].format != FieldFormat::None)
            continue;
        if (i + 1 < edits.size() && edits[i + 1].tag == edits[i].tag)
            QCOMPARE(edits[i + 1].format, FieldFormat::None);
        QVERIFY(FieldEditText(edits[i], s).empty());
    }
}

// The edit list and the plot catalogue are written independently; where a
// dragged edit's key has an entry, both must name the same bytes.
void TestFieldText::editsAgreeWithCatalogue()
{
    QStringList fedWithoutEntry;
    std::set<std::string> reached;
    for (const FieldEdit& e : FieldEdits()) {
        if (e.format == FieldFormat::None)
            continue;
        const std::string key = keyOf(e);
        const PlotField* f = FindPlotField(key);
        if (!f) {
            fedWithoutEntry << QString::fromStdString(key);
            continue;
        }
        reached.insert(key);
        QCOMPARE(f->tag, e.tag);
        QVERIFY2(f->offset == e.offset, key.c_str());
        QVERIFY2(f->type == e.type, key.c_str());
    }
    QCOMPARE(fedWithoutEntry,
             (QStringList{"Time.SCFrameEdit2", "Altitude.obs_x_X", "Vision.SCFrameEdit1",
                          "Magneto.magneto_calibration_ok", "Kalman_pressure.bool_effet_sol",
                          "Kalman_pressure.flag_rejet_US", "Kalman_pressure.Flag_multisinus",
                          "Kalman_pressure.Flag_multisinus_debut"}));

    QStringList entryWithoutEdit;
    for (const PlotField& f : PlotFields())
        if (!reached.count(std::string(f.key)))
            entryWithoutEdit << QString::fromLatin1(f.key.data(), qsizetype(f.key.size()));
    QCOMPARE(entryWithoutEdit,
             (QStringList{"Altitude.obs_x_V0", "Video_stream.data1", "Video_stream.data2", "Video_stream.data3",
                          "Video_stream.data4", "Video_stream.data5", "Video_stream.tcp_queue_level",
                          "Video_stream.fifo_queue_level"}));
    // obs_x_V0 is the same float that obs_x_X shows.
    QCOMPARE(FindPlotField("Altitude.obs_x_V0")->offset, findEdit("Altitude", "obs_x_X")->offset);
}

void TestFieldText::editText_data()
{
    QTest::addColumn<QString>("tab");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<int>("offset"); // payload offset of the field
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("sep");
    QTest::addColumn<QByteArray>("expected");

    // H
    QTest::newRow("ctrl_state 0") << "Demo" << "ctrl_state" << 0 << le32(0) << "." << QByteArray("0000");
    QTest::newRow("ctrl_state 1F") << "Demo" << "ctrl_state" << 0 << le32(0x1F) << "." << QByteArray("001F");
    QTest::newRow("ctrl_state 80000000") << "Demo" << "ctrl_state" << 0 << le32(0x80000000u) << "."
                                         << QByteArray("80000000");
    QTest::newRow("ctrl_state 12345") << "Demo" << "ctrl_state" << 0 << le32(0x12345) << "." << QByteArray("12345");
    QTest::newRow("ctrl_state DEADBEEF") << "Demo" << "ctrl_state" << 0 << le32(0xDEADBEEFu) << "."
                                         << QByteArray("DEADBEEF");
    QTest::newRow("detection_camera_type") << "Demo" << "detection_camera_type" << 92 << le32(0xabc) << "."
                                           << QByteArray("0ABC");
    QTest::newRow("obs_state") << "Altitude" << "obs_state" << 36 << le32(0xFFFF) << "." << QByteArray("FFFF");
    QTest::newRow("est_state") << "Altitude" << "est_state" << 48 << le32(0x10000) << "." << QByteArray("10000");
    QTest::newRow("vision_state") << "Vision" << "vision_state" << 0 << le32(0xA) << "." << QByteArray("000A");
    // D
    QTest::newRow("altitude -12") << "Demo" << "altitude" << 20 << le32(uint32_t(-12)) << "." << QByteArray("-12");
    QTest::newRow("num_frames min") << "Demo" << "num_frames" << 36 << le32(0x80000000u) << "."
                                    << QByteArray("-2147483648");
    QTest::newRow("raw_gyros_0 FFFF") << "Raw_meas" << "raw_gyros_0" << 6 << QByteArray("\xFF\xFF", 2) << "."
                                      << QByteArray("-1");
    QTest::newRow("raw_gyros_2") << "Raw_meas" << "raw_gyros_2" << 10 << le16(0x7FFF) << "." << QByteArray("32767");
    QTest::newRow("ut int16 min") << "Pressure_raw" << "ut" << 4 << le16(0x8000) << "." << QByteArray("-32768");
    QTest::newRow("Pression_meas") << "Pressure_raw" << "Pression_meas" << 10 << le32(uint32_t(-101325)) << "."
                                   << QByteArray("-101325");
    QTest::newRow("mz") << "Magneto" << "mz" << 4 << le16(uint16_t(-300)) << "." << QByteArray("-300");
    QTest::newRow("ui_seq") << "References" << "ui_seq" << 80 << le32(42) << "." << QByteArray("42");
    // U
    QTest::newRow("vbat 4294967295") << "Demo" << "vbat_flying_percentage" << 4 << le32(0xFFFFFFFFu) << "."
                                     << QByteArray("4294967295");
    QTest::newRow("raw_accs_0 FFFF") << "Raw_meas" << "raw_accs_0" << 0 << QByteArray("\xFF\xFF", 2) << "."
                                     << QByteArray("65535");
    QTest::newRow("sum_echo at 38") << "Raw_meas" << "sum_echo" << 38 << le32(0x12345678) << "."
                                    << QByteArray("305419896");
    QTest::newRow("motor4 uint8") << "Navdata_pwm" << "motor4" << 3 << QByteArray("\xC8", 1) << "."
                                  << QByteArray("200");
    QTest::newRow("current_motor4") << "Navdata_pwm" << "current_motor4" << 62 << le16(0xFFFF) << "."
                                    << QByteArray("65535");
    QTest::newRow("quant 255") << "Video_stream" << "quant" << 0 << QByteArray("\xFF", 1) << "." << QByteArray("255");
    QTest::newRow("frame_size at 1") << "Video_stream" << "frame_size" << 1 << le32(0x04030201) << "."
                                     << QByteArray("67305985");
    QTest::newRow("desired_bitrate at 29") << "Video_stream" << "desired_bitrate" << 29 << le32(4000000) << "."
                                           << QByteArray("4000000");
    QTest::newRow("magneto_state at 55") << "Magneto" << "magneto_state" << 55 << le32(0xFFFFFFFFu) << "."
                                         << QByteArray("4294967295");
    QTest::newRow("bool_effet_sol") << "Kalman_pressure" << "bool_effet_sol" << 40 << le32(1) << "."
                                    << QByteArray("1");
    QTest::newRow("link_quality") << "Wifi_stream" << "link_quality" << 0 << le32(3000000000u) << "."
                                  << QByteArray("3000000000");
    // R
    QTest::newRow("theta 0.1") << "Demo" << "theta" << 8 << f32(0.1f) << "." << QByteArray("0.100000001490116");
    QTest::newRow("theta 0,1") << "Demo" << "theta" << 8 << f32(0.1f) << "," << QByteArray("0,100000001490116");
    QTest::newRow("theta1 1E-4") << "Euler_angles" << "theta1" << 0 << f32(0.0001f) << "."
                                 << QByteArray("9.99999974737875E-5");
    QTest::newRow("phi1") << "Euler_angles" << "phi1" << 4 << f32(-2.75f) << "." << QByteArray("-2.75");
    QTest::newRow("obs_x_X") << "Altitude" << "obs_x_X" << 24 << f32(1.5f) << "." << QByteArray("1.5");
    QTest::newRow("obs_x_Z") << "Altitude" << "obs_x_Z" << 32 << f32(100.0f) << "." << QByteArray("100");
    QTest::newRow("est_vb_X") << "Altitude" << "est_vb_X" << 40 << f32(1e20f) << "."
                              << QByteArray("1.00000002004088E20");
    QTest::newRow("est_vb_Y") << "Altitude" << "est_vb_Y" << 44 << f32(-2.75f) << "." << QByteArray("-2.75");
    QTest::newRow("body_v_Z") << "Vision" << "body_v_Z" << 56 << f32(0.001f) << "."
                              << QByteArray("0.00100000004749745");
    QTest::newRow("atcmd_var_ref_gap at 17") << "Video_stream" << "atcmd_var_ref_gap" << 17 << f32(0.5f) << "."
                                             << QByteArray("0.5");
    QTest::newRow("error_var at 67") << "Magneto" << "error_var" << 67 << f32(-0.25f) << "," << QByteArray("-0,25");
    QTest::newRow("gaz_altitude_KP") << "Kalman_pressure" << "gaz_altitude_KP" << 56 << f32(12.5f) << "."
                                     << QByteArray("12.5");
    QTest::newRow("vzfind INF") << "Zimmu_3000" << "vzfind" << 4 << le32(0xFF800000u) << "." << QByteArray("-INF");
    QTest::newRow("vzfind NAN") << "Zimmu_3000" << "vzfind" << 4 << le32(0xFFC00000u) << "." << QByteArray("NAN");
    QTest::newRow("dy_4") << "Vision_of" << "dy_4" << 36 << f32(-0.0f) << "." << QByteArray("0");
    // S
    QTest::newRow("time A1E240") << "Time" << "time" << 0 << le32(0xA1E240) << "." << QByteArray("A1E240");
    QTest::newRow("SCFrameEdit2 A1E240") << "Time" << "SCFrameEdit2" << 0 << le32(0xA1E240) << "."
                                         << QByteArray("5.123456");
    QTest::newRow("SCFrameEdit2 comma") << "Time" << "SCFrameEdit2" << 0 << le32(0xA1E240) << ","
                                        << QByteArray("5,123456");
    // 2047 s and 2097151 us: the microseconds are not limited to 999999.
    QTest::newRow("SCFrameEdit2 max") << "Time" << "SCFrameEdit2" << 0 << le32(0xFFFFFFFFu) << "."
                                      << QByteArray("2049.097151");
    QTest::newRow("time_capture") << "Vision" << "time_capture" << 44 << le32(0xA1E240) << "."
                                  << QByteArray("A1E240");
    QTest::newRow("SCFrameEdit1") << "Vision" << "SCFrameEdit1" << 44 << le32((3u << 21) | 500000u) << "."
                                  << QByteArray("3.5");
    // T
    QTest::newRow("magneto_calibration_ok 0x31") << "Magneto" << "magneto_calibration_ok" << 54
                                                 << QByteArray("\x31", 1) << "." << QByteArray("1");
    QTest::newRow("magneto_calibration_ok NUL") << "Magneto" << "magneto_calibration_ok" << 54
                                                << QByteArray("\0", 1) << "." << QByteArray("\0", 1);
    QTest::newRow("magneto_calibration_ok 0xE9") << "Magneto" << "magneto_calibration_ok" << 54
                                                 << QByteArray("\xE9", 1) << "." << QByteArray("\xE9", 1);
}

void TestFieldText::editText()
{
    QFETCH(QString, tab);
    QFETCH(QString, edit);
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, sep);
    QFETCH(QByteArray, expected);

    const FieldEdit* e = findEdit(tab.toStdString(), edit.toStdString());
    QVERIFY(e);
    QCOMPARE(e->offset, offset);
    QCOMPARE(StoredSize(e->type), int(bytes.size()));

    // Noise everywhere else: a read of the wrong width or place shows.
    NavdataState s;
    fillNoise(s, 99);
    std::memcpy(RecordBytes(s, e->tag) + offset, bytes.constData(), size_t(bytes.size()));
    const char c = sep.at(0).toLatin1();
    QCOMPARE(bytesOf(FieldEditText(*e, s, c)), expected);
    QCOMPARE(bytesOf(NavdataFieldTexts(s, c).at(std::size_t(editIndex(e)))), expected);
}

// Fields of the same name in different records stay apart.
void TestFieldText::sameNameInOtherRecord()
{
    NavdataState s{};
    s.Demo.theta = 1.5f;
    s.Euler_angles.theta = 2.5f;
    s.Demo.phi = -1.0f;
    s.Euler_angles.phi = -3.0f;
    s.Navdata_pwm.gaz_altitude = 3.5f;
    s.Kalman_pressure.gaz_altitude = 4.5f;
    s.Video_stream.frame_number = 7;
    s.HDvideo_stream.frame_number = 9;
    s.Demo.altitude = -5;
    s.Vision.altitude_capture = 6;

    const struct { const char* tab; const char* edit; const char* text; } rows[] = {
        {"Demo", "theta", "1.5"},         {"Euler_angles", "theta1", "2.5"},
        {"Demo", "phi", "-1"},            {"Euler_angles", "phi1", "-3"},
        {"Navdata_pwm", "gaz_altitude", "3.5"}, {"Kalman_pressure", "gaz_altitude_KP", "4.5"},
        {"Video_stream", "frame_number", "7"},  {"HDvideo_stream", "frame_number_1", "9"},
        {"Demo", "altitude", "-5"},       {"Vision", "altitude_capture", "6"},
    };
    const std::vector<std::string> texts = NavdataFieldTexts(s);
    for (const auto& r : rows) {
        const FieldEdit* e = findEdit(r.tab, r.edit);
        QVERIFY2(e, r.edit);
        QCOMPARE(QString::fromStdString(texts.at(std::size_t(editIndex(e)))), QString(r.text));
    }
}

void TestFieldText::zeroState()
{
    const NavdataState s{};
    const std::vector<std::string> texts = NavdataFieldTexts(s);
    const auto edits = FieldEdits();
    QCOMPARE(texts.size(), edits.size());
    for (std::size_t i = 0; i < edits.size(); ++i) {
        QByteArray expected;
        switch (edits[i].format) {
        case FieldFormat::H: expected = "0000"; break;
        case FieldFormat::T: expected = QByteArray("\0", 1); break;
        case FieldFormat::None: break;
        default: expected = "0"; break;
        }
        QVERIFY2(bytesOf(texts[i]) == expected, keyOf(edits[i]).c_str());
    }
}

// The bulk call gives each edit's own text, resizes whatever it is given and
// reuses the strings it holds.
void TestFieldText::allTexts()
{
    NavdataState s;
    fillNoise(s, 2024);
    const auto edits = FieldEdits();

    for (std::size_t startSize : {std::size_t(0), std::size_t(3), std::size_t(500)}) {
        std::vector<std::string> out(startSize, std::string(40, 'x'));
        NavdataFieldTexts(s, ',', out);
        QCOMPARE(out.size(), edits.size());
        for (std::size_t i = 0; i < edits.size(); ++i)
            QVERIFY2(out[i] == FieldEditText(edits[i], s, ','), keyOf(edits[i]).c_str());
    }

    std::vector<std::string> out;
    NavdataFieldTexts(s, '.', out);
    QCOMPARE(out, NavdataFieldTexts(s, '.'));
    std::vector<const char*> buffers;
    for (const std::string& t : out)
        buffers.push_back(t.data());
    NavdataFieldTexts(s, '.', out);
    for (std::size_t i = 0; i < out.size(); ++i)
        QVERIFY2(out[i].data() == buffers[i], keyOf(edits[i]).c_str());

    // A refresh after a new packet replaces every text.
    NavdataState zero{};
    NavdataFieldTexts(zero, '.', out);
    QCOMPARE(out, NavdataFieldTexts(zero, '.'));
}

// An edit made up by a caller that points outside its record shows nothing
// rather than bytes of a neighbour or beyond the state.
void TestFieldText::editOutsideRecord()
{
    NavdataState s;
    fillNoise(s, 3);
    const FieldEdit bad[] = {
        {"Zimmu_3000", 27, "past_end", FieldFormat::U, 6, StoredType::U32},
        {"Zimmu_3000", 27, "at_end", FieldFormat::T, 8, StoredType::Char},
        {"Demo", 0, "negative", FieldFormat::H, -4, StoredType::U32},
        {"none", kOptionTagCount, "tag_too_big", FieldFormat::D, 0, StoredType::I16},
        {"none", -1, "tag_negative", FieldFormat::R, 0, StoredType::F32},
    };
    for (const FieldEdit& e : bad)
        QVERIFY2(FieldEditText(e, s).empty(), e.edit.data());
    const FieldEdit lastByte{"Zimmu_3000", 27, "last_byte", FieldFormat::U, 7, StoredType::U8};
    QCOMPARE(QString::fromStdString(FieldEditText(lastByte, s)),
             QString::number(RecordBytes(s, 27)[7]));
}

KESTRIX_APPLESS_TEST(TestFieldText)
#include "test_field_text.moc"
