// The plot catalogue: entries, lookup by plot key and value reading.
#include "kestrix/plot_fields.h"

#include "test_bytes.h"

#include "suite_main.h"

#include <QtTest>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <string>

using namespace kestrix;

namespace {


QString keyText(const PlotField& f)
{
    return QString::fromLatin1(f.key.data(), qsizetype(f.key.size()));
}

void fillBytes(NavdataState& s, uint8_t b)
{
    std::memset(reinterpret_cast<uint8_t*>(&s), b, sizeof s);
}

} // namespace

Q_DECLARE_METATYPE(StoredType)

class TestPlotFields : public QObject {
    Q_OBJECT

private slots:
    void catalogue();
    void entriesPerRecord_data();
    void entriesPerRecord();
    void entries_data();
    void entries();
    void lookup_data();
    void lookup();
    void lookupEveryKey();
    void values_data();
    void values();
    void zeroAndKeptRecords();
    void plottedValue_data();
    void plottedValue();
    void fieldOutsideRecord();
};

void TestPlotFields::catalogue()
{
    const auto fields = PlotFields();
    QCOMPARE(int(fields.size()), 229);

    std::set<std::string_view> keys;
    int lastTag = 0;
    int lastEnd = 0;
    for (const PlotField& f : fields) {
        const QByteArray ctx = keyText(f).toLatin1();
        QVERIFY2(keys.insert(f.key).second, ctx.constData());
        QVERIFY2(f.tag >= 0 && f.tag < kOptionTagCount, ctx.constData());
        QVERIFY2(f.tag >= lastTag, ctx.constData()); // record order
        if (f.tag != lastTag)
            lastEnd = 0;
        lastTag = f.tag;
        // The key is the record name, a full stop and a field name.
        const std::string prefix = std::string(kRecordSlots[f.tag].name) + ".";
        QVERIFY2(f.key.size() > prefix.size() && f.key.substr(0, prefix.size()) == prefix, ctx.constData());
        QVERIFY2(f.offset >= 0, ctx.constData());
        const int end = f.offset + StoredSize(f.type);
        QVERIFY2(std::size_t(end) <= kRecordSlots[f.tag].size, ctx.constData());
        // Within a record the entries follow the payload and never overlap.
        QVERIFY2(f.offset >= lastEnd, ctx.constData());
        lastEnd = end;
        QVERIFY2(f.type != StoredType::Char, ctx.constData());
    }
}

void TestPlotFields::entriesPerRecord_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("count");
    const int counts[kOptionTagCount] = {12, 1, 20, 11, 3, 2, 21, 3, 5, 26, 13, 3, 10, 22,
                                         6,  0, 1,  1,  1, 16, 2, 4, 10, 13, 13, 7, 1, 2};
    for (int tag = 0; tag < kOptionTagCount; ++tag)
        QTest::newRow(kRecordSlots[tag].name) << tag << counts[tag];
}

void TestPlotFields::entriesPerRecord()
{
    QFETCH(int, tag);
    QFETCH(int, count);
    int n = 0;
    for (const PlotField& f : PlotFields())
        n += f.tag == tag;
    QCOMPARE(n, count);
}

void TestPlotFields::entries_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("offset");
    QTest::addColumn<StoredType>("type");

    QTest::newRow("first") << "Demo.ctrl_state" << 0 << 0 << StoredType::U32;
    QTest::newRow("after the matrices") << "Demo.detection_tag_index" << 0 << 88 << StoredType::U32;
    QTest::newRow("detection_camera_type") << "Demo.detection_camera_type" << 0 << 92 << StoredType::U32;
    QTest::newRow("time word") << "Time.time" << 1 << 0 << StoredType::U32;
    QTest::newRow("raw_gyros_0") << "Raw_meas.raw_gyros_0" << 2 << 6 << StoredType::I16;
    QTest::newRow("sum_echo") << "Raw_meas.sum_echo" << 2 << 38 << StoredType::U32;
    QTest::newRow("gyro_temp") << "Phys_meas.gyro_temp" << 3 << 4 << StoredType::U16;
    QTest::newRow("phys_gyros_2") << "Phys_meas.phys_gyros_2" << 3 << 26 << StoredType::F32;
    QTest::newRow("theta1") << "Euler_angles.theta1" << 5 << 0 << StoredType::F32;
    QTest::newRow("motor4") << "Navdata_pwm.motor4" << 9 << 3 << StoredType::U8;
    QTest::newRow("obs_x_V0") << "Altitude.obs_x_V0" << 10 << 24 << StoredType::F32;
    QTest::newRow("obs_x_Y") << "Altitude.obs_x_Y" << 10 << 28 << StoredType::F32;
    QTest::newRow("est_vb_X") << "Altitude.est_vb_X" << 10 << 40 << StoredType::F32;
    QTest::newRow("time_capture") << "Vision.time_capture" << 13 << 44 << StoredType::U32;
    QTest::newRow("nb_detected") << "Vision_detect.nb_detected" << 16 << 0 << StoredType::U32;
    QTest::newRow("frame_size") << "Video_stream.frame_size" << 19 << 1 << StoredType::U32;
    QTest::newRow("data1") << "Video_stream.data1" << 19 << 33 << StoredType::I32;
    QTest::newRow("data5") << "Video_stream.data5" << 19 << 49 << StoredType::I32;
    QTest::newRow("tcp_queue_level") << "Video_stream.tcp_queue_level" << 19 << 53 << StoredType::I32;
    QTest::newRow("fifo_queue_level") << "Video_stream.fifo_queue_level" << 19 << 57 << StoredType::I32;
    QTest::newRow("ut") << "Pressure_raw.ut" << 21 << 4 << StoredType::I16;
    QTest::newRow("Temperature_meas") << "Pressure_raw.Temperature_meas" << 21 << 6 << StoredType::I32;
    QTest::newRow("heading_unwrapped") << "Magneto.heading_unwrapped" << 22 << 42 << StoredType::F32;
    QTest::newRow("magneto_state") << "Magneto.magneto_state" << 22 << 55 << StoredType::U32;
    QTest::newRow("error_var") << "Magneto.error_var" << 22 << 67 << StoredType::F32;
    QTest::newRow("somme_inno") << "Kalman_pressure.somme_inno" << 24 << 44 << StoredType::F32;
    QTest::newRow("gaz_altitude_KP") << "Kalman_pressure.gaz_altitude_KP" << 24 << 56 << StoredType::F32;
    QTest::newRow("frame_number_1") << "HDvideo_stream.frame_number_1" << 25 << 20 << StoredType::U32;
    QTest::newRow("last") << "Zimmu_3000.vzfind" << 27 << 4 << StoredType::F32;
}

void TestPlotFields::entries()
{
    QFETCH(QString, key);
    QFETCH(int, tag);
    QFETCH(int, offset);
    QFETCH(StoredType, type);
    const PlotField* f = FindPlotField(key.toStdString());
    QVERIFY(f);
    QCOMPARE(keyText(*f), key);
    QCOMPARE(f->tag, tag);
    QCOMPARE(f->offset, offset);
    QVERIFY(f->type == type);
}

void TestPlotFields::lookup_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("found");

    QTest::newRow("exact") << "Demo.altitude" << true;
    QTest::newRow("first sorted") << "Adc_data_frame.version" << true;
    QTest::newRow("last sorted") << "Zimmu_3000.vzimmuLSB" << true;
    QTest::newRow("undragged entry") << "Video_stream.data3" << true;
    QTest::newRow("record case") << "demo.altitude" << false;
    QTest::newRow("field case") << "Demo.Altitude" << false;
    QTest::newRow("upper case") << "DEMO.ALTITUDE" << false;
    QTest::newRow("trailing blank") << "Demo.altitude " << false;
    QTest::newRow("leading blank") << " Demo.altitude" << false;
    QTest::newRow("longer") << "Demo.altitude_" << false;
    QTest::newRow("prefix") << "Demo.altitud" << false;
    QTest::newRow("record only") << "Demo." << false;
    QTest::newRow("record name") << "Demo" << false;
    QTest::newRow("field only") << "altitude" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("wrong record") << "Demo.theta1" << false;
    QTest::newRow("Raw_meas.raw_accs") << "Raw_meas.raw_accs" << false;
    QTest::newRow("Trackers_send") << "Trackers_send.locked_0" << false;
    QTest::newRow("other separator") << "Demo_altitude" << false;

    // Keys the NavData window produces that have no entry.
    for (const char* k : {"Altitude.obs_x_X", "Altitude.obs_x_V1", "Altitude.obs_x_V2", "Altitude.est_vb_V0",
                          "Altitude.est_vb_V1", "Raw_meas.gradient", "Time.SCFrameEdit2", "Vision.SCFrameEdit1",
                          "Magneto.magneto_calibration_ok", "Kalman_pressure.bool_effet_sol",
                          "Kalman_pressure.flag_rejet_US", "Kalman_pressure.Flag_multisinus",
                          "Kalman_pressure.Flag_multisinus_debut"})
        QTest::newRow(k) << k << false;
    // Their neighbours do have one.
    for (const char* k : {"Altitude.obs_x_V0", "Altitude.obs_x_Y", "Altitude.obs_x_Z", "Altitude.est_vb_X",
                          "Altitude.est_vb_Y", "Kalman_pressure.somme_inno"})
        QTest::newRow(k) << k << true;
}

void TestPlotFields::lookup()
{
    QFETCH(QString, key);
    QFETCH(bool, found);
    const PlotField* f = FindPlotField(key.toStdString());
    QCOMPARE(f != nullptr, found);
    if (f)
        QCOMPARE(keyText(*f), key);
}

// Every entry is found as itself, also through a view into a longer text.
void TestPlotFields::lookupEveryKey()
{
    for (const PlotField& f : PlotFields()) {
        QCOMPARE(FindPlotField(f.key), &f);
        const std::string longer = std::string(f.key) + "_1";
        QCOMPARE(FindPlotField(std::string_view(longer).substr(0, f.key.size())), &f);
        QVERIFY(FindPlotField(longer) == nullptr);
        std::string upper(f.key);
        for (char& c : upper)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        QVERIFY(FindPlotField(upper) == nullptr);
    }
}

void TestPlotFields::values_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<double>("expected");

    QTest::newRow("uint32 max") << "Demo.ctrl_state" << le32(0xFFFFFFFFu) << 4294967295.0;
    QTest::newRow("uint32 top bit") << "Demo.ctrl_state" << le32(0x80000000u) << 2147483648.0;
    QTest::newRow("int32 negative") << "Demo.altitude" << le32(uint32_t(-12)) << -12.0;
    QTest::newRow("int32 min") << "Demo.num_frames" << le32(0x80000000u) << -2147483648.0;
    QTest::newRow("int32 max") << "Video_stream.data1" << le32(0x7FFFFFFF) << 2147483647.0;
    QTest::newRow("int16 -1") << "Raw_meas.raw_gyros_0" << le16(0xFFFF) << -1.0;
    QTest::newRow("int16 min") << "Pressure_raw.ut" << le16(0x8000) << -32768.0;
    QTest::newRow("uint16 65535") << "Raw_meas.raw_accs_0" << le16(0xFFFF) << 65535.0;
    QTest::newRow("uint8 255") << "Navdata_pwm.motor1" << QByteArray("\xFF", 1) << 255.0;
    QTest::newRow("uint8 at 7") << "Navdata_pwm.sat_motor4" << QByteArray("\x80", 1) << 128.0;
    QTest::newRow("float 0.1") << "Demo.theta" << f32(0.1f) << double(0.1f);
    QTest::newRow("float -2.75") << "Euler_angles.phi1" << f32(-2.75f) << -2.75;
    QTest::newRow("float max") << "Zimmu_3000.vzfind" << f32(std::numeric_limits<float>::max())
                               << double(std::numeric_limits<float>::max());
    QTest::newRow("float subnormal") << "Wind_speed.state_x6" << le32(1) << std::ldexp(1.0, -149);
    QTest::newRow("float -INF") << "Kalman_pressure.est_z" << le32(0xFF800000u)
                                << -std::numeric_limits<double>::infinity();
    QTest::newRow("float NaN") << "Kalman_pressure.est_z" << le32(0x7FC00000u)
                               << std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("time word, not seconds") << "Time.time" << le32(0xA1E240) << 10609216.0;
    // Unaligned places.
    QTest::newRow("sum_echo at 38") << "Raw_meas.sum_echo" << le32(0xFEDCBA98u) << 4275878552.0;
    QTest::newRow("magneto_state at 55") << "Magneto.magneto_state" << le32(0x01020304) << 16909060.0;
    QTest::newRow("frame_size at 1") << "Video_stream.frame_size" << le32(0xFFFFFFFEu) << 4294967294.0;
    QTest::newRow("error_var at 67") << "Magneto.error_var" << f32(1.5f) << 1.5;
    QTest::newRow("fifo_queue_level at 57") << "Video_stream.fifo_queue_level" << le32(uint32_t(-7)) << -7.0;
    QTest::newRow("Pression_meas at 10") << "Pressure_raw.Pression_meas" << le32(101325) << 101325.0;
    QTest::newRow("atcmd_var_ref_gap at 17") << "Video_stream.atcmd_var_ref_gap" << f32(-0.5f) << -0.5;
}

void TestPlotFields::values()
{
    QFETCH(QString, key);
    QFETCH(QByteArray, bytes);
    QFETCH(double, expected);
    const PlotField* f = FindPlotField(key.toStdString());
    QVERIFY(f);
    QCOMPARE(StoredSize(f->type), int(bytes.size()));

    // Every other byte 0xA5: a read of the wrong width or place shows.
    NavdataState s;
    fillBytes(s, 0xA5);
    std::memcpy(RecordBytes(s, f->tag) + f->offset, bytes.constData(), size_t(bytes.size()));
    const double v = PlotFieldValue(*f, s);
    if (std::isnan(expected))
        QVERIFY(std::isnan(v));
    else
        QCOMPARE(std::bit_cast<uint64_t>(v), std::bit_cast<uint64_t>(expected)); // exact
}

void TestPlotFields::zeroAndKeptRecords()
{
    NavdataState s{};
    for (const PlotField& f : PlotFields())
        QVERIFY2(PlotFieldValue(f, s) == 0.0, f.key.data());

    // Same-named fields of other records stay apart.
    s.Video_stream.frame_number = 7;
    s.HDvideo_stream.frame_number = 9;
    s.Navdata_pwm.gaz_altitude = 3.5f;
    s.Kalman_pressure.gaz_altitude = -4.5f;
    s.Demo.theta = 1.25f;
    s.Euler_angles.theta = 2.5f;
    QCOMPARE(PlotFieldValue(*FindPlotField("Video_stream.frame_number"), s), 7.0);
    QCOMPARE(PlotFieldValue(*FindPlotField("HDvideo_stream.frame_number_1"), s), 9.0);
    QCOMPARE(PlotFieldValue(*FindPlotField("Navdata_pwm.gaz_altitude"), s), 3.5);
    QCOMPARE(PlotFieldValue(*FindPlotField("Kalman_pressure.gaz_altitude_KP"), s), -4.5);
    QCOMPARE(PlotFieldValue(*FindPlotField("Demo.theta"), s), 1.25);
    QCOMPARE(PlotFieldValue(*FindPlotField("Euler_angles.theta1"), s), 2.5);

    // The value is read at the moment of the call.
    s.Demo.theta = -8.0f;
    QCOMPARE(PlotFieldValue(*FindPlotField("Demo.theta"), s), -8.0);
}

void TestPlotFields::plottedValue_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<double>("multiplier");
    QTest::addColumn<double>("expected");

    QTest::newRow("x1") << "Demo.altitude" << le32(uint32_t(-12)) << 1.0 << -12.0;
    QTest::newRow("x0") << "Demo.altitude" << le32(uint32_t(-12)) << 0.0 << 0.0;
    QTest::newRow("x0 positive") << "Demo.ctrl_state" << le32(0xFFFFFFFFu) << 0.0 << 0.0;
    QTest::newRow("negative mirrors") << "Demo.altitude" << le32(uint32_t(-12)) << -1.0 << 12.0;
    QTest::newRow("negative scale") << "Demo.theta" << f32(0.5f) << -2.5 << -1.25;
    QTest::newRow("fraction") << "Raw_meas.raw_accs_0" << le16(1000) << 0.001 << 0.001 * 1000.0;
    QTest::newRow("double precision") << "Demo.ctrl_state" << le32(0xFFFFFFFFu) << 1e-9 << 4294967295.0 * 1e-9;
}

void TestPlotFields::plottedValue()
{
    QFETCH(QString, key);
    QFETCH(QByteArray, bytes);
    QFETCH(double, multiplier);
    QFETCH(double, expected);
    const PlotField* f = FindPlotField(key.toStdString());
    QVERIFY(f);
    NavdataState s{};
    std::memcpy(RecordBytes(s, f->tag) + f->offset, bytes.constData(), size_t(bytes.size()));
    const double v = PlottedValue(*f, s, multiplier);
    QVERIFY2(v == expected, QByteArray::number(v, 'g', 17).constData());
}

// An entry made up by a caller that points outside its record gives no value
// rather than reading a neighbour or beyond the state.
void TestPlotFields::fieldOutsideRecord()
{
    NavdataState s;
    fillBytes(s, 0x11);
    const PlotField bad[] = {
        {"Zimmu_3000.past_end", 27, 6, StoredType::U32},
        {"Zimmu_3000.at_end", 27, 8, StoredType::U8},
        {"Demo.negative", 0, -1, StoredType::U8},
        {"tag.too_big", kOptionTagCount, 0, StoredType::U8},
        {"tag.negative", -1, 0, StoredType::U8},
    };
    for (const PlotField& f : bad)
        QVERIFY2(std::isnan(PlotFieldValue(f, s)), f.key.data());
    const PlotField lastByte{"Zimmu_3000.last_byte", 27, 7, StoredType::U8};
    QCOMPARE(PlotFieldValue(lastByte, s), double(0x11));
}

KESTRIX_APPLESS_TEST(TestPlotFields)
#include "test_plot_fields.moc"
