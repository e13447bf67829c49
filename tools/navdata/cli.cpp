#include "cli.h"

#include "kestrix/csv_text.h"
#include "kestrix/decoder.h"
#include "kestrix/field_text.h"
#include "kestrix/plot_fields.h"
#include "kestrix/replay.h"
#include "kestrix/stream_nav.h"
#include "kestrix/stream_reader.h"
#include "kestrix/version.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace kestrix {

namespace {

constexpr std::string_view kProgram = "kestrix_navdata";

constexpr std::string_view kUsage =
    "Usage: kestrix_navdata info FILE\n"
    "  or:  kestrix_navdata show FILE (--record N | --time T)\n"
    "  or:  kestrix_navdata csv FILE KEY... [--multiplier KEY=M]...\n"
    "  or:  kestrix_navdata --help | --version\n"
    "\n"
    "FILE is a recorded navdata stream: datagrams stored back to back.\n"
    "\n"
    "Commands:\n"
    "  info   bytes, packets, records (packets that carry a time), the first and\n"
    "         last record time and the count of every option tag met.\n"
    "  show   goes to record N (counted from 0; -1 shows the initial state) or to\n"
    "         the first record whose time is at least T seconds, and prints every\n"
    "         field edit of the NavData window as Tab.edit=TEXT.\n"
    "         Exits 1 with \"Record not found\" when there is no such record.\n"
    "  csv    prints time,KEY... and one row per packet once the Time option has\n"
    "         been seen; KEY is a plot key such as Demo.altitude, and each value\n"
    "         is M x the field's value (M = 1 unless --multiplier KEY=M is given;\n"
    "         the last one given for a key wins). Keys without a field give empty\n"
    "         cells. Use -- before keys that begin with \"--\".\n"
    "\n"
    "Exit codes: 0 done, 1 record not found, 2 bad usage or unreadable file.\n";

// The output could not be written (a closed pipe, a full disk): the walk
// stops there.
struct OutputFailed {};

// Collects output in large blocks and hands each block to the stream whole.
class BlockWriter {
public:
    explicit BlockWriter(std::ostream& os, std::size_t capacity = std::size_t(1) << 20)
        : os_(os), buf_(std::make_unique_for_overwrite<char[]>(capacity)), cap_(capacity)
    {
    }
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    void put(char c)
    {
        if (used_ == cap_)
            flush();
        buf_[used_++] = c;
    }
    void put(std::string_view s)
    {
        while (!s.empty()) {
            if (used_ == cap_)
                flush();
            const std::size_t n = std::min(cap_ - used_, s.size());
            std::memcpy(buf_.get() + used_, s.data(), n);
            used_ += n;
            s.remove_prefix(n);
        }
    }
    void number(double v)
    {
        if (cap_ - used_ < kCsvNumberRoom)
            flush();
        char* p = buf_.get() + used_;
        used_ = std::size_t(WriteCsvNumber(p, p + kCsvNumberRoom, v) - buf_.get());
    }
    void number(uint64_t v)
    {
        if (cap_ - used_ < kCsvNumberRoom)
            flush();
        char* p = buf_.get() + used_;
        used_ = std::size_t(std::to_chars(p, p + kCsvNumberRoom, v).ptr - buf_.get());
    }
    void flush()
    {
        if (used_) {
            os_.write(buf_.get(), std::streamsize(used_));
            used_ = 0;
            if (!os_)
                throw OutputFailed{};
        }
    }

private:
    std::ostream& os_;
    std::unique_ptr<char[]> buf_;
    std::size_t cap_;
    std::size_t used_ = 0;
};

// ---------------------------------------------------------------------------
// Commands.

int RunInfo(StreamReader& file, std::ostream& out)
{
    NavdataDecoder d;
    std::vector<uint64_t> tagCounts(65536, 0);
    d.optionHeaderCounts = tagCounts.data();

    uint64_t packets = 0;
    uint64_t records = 0;
    double firstTime = 0;
    double lastTime = 0;
    // The replay walk with the record test of the seeks: the time is reset
    // behind every packet, so the next one shows whether it carries one.
    int64_t cursor = 0;
    ReplayStream(file, d, cursor, [&](int64_t next) {
        if (next < 0)
            return;
        ++packets;
        if (d.recordTime > 0) {
            if (records == 0)
                firstTime = d.recordTime;
            lastTime = d.recordTime;
            ++records;
        }
        d.recordTime = 0;
    });

    BlockWriter w(out, 1 << 16);
    w.put("bytes: ");
    w.number(uint64_t(file.size())); // known once the walk has reached the end
    w.put("\npackets: ");
    w.number(packets);
    w.put("\nrecords: ");
    w.number(records);
    w.put("\nfirst_time: ");
    if (records)
        w.number(firstTime);
    else
        w.put('-');
    w.put("\nlast_time: ");
    if (records)
        w.number(lastTime);
    else
        w.put('-');
    w.put("\noptions:");
    for (std::size_t tag = 0; tag < tagCounts.size(); ++tag) {
        if (tagCounts[tag] == 0)
            continue;
        w.put(' ');
        w.number(uint64_t(tag));
        w.put('=');
        w.number(tagCounts[tag]);
    }
    w.put('\n');
    w.flush();
    return 0;
}

// Printable ASCII as it is, any other byte as \xHH.
void PutEscaped(BlockWriter& w, std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x20 && b <= 0x7E) {
            w.put(ch);
        } else {
            w.put("\\x");
            w.put(kHex[b >> 4]);
            w.put(kHex[b & 0xF]);
        }
    }
}

int RunShow(StreamReader& file, std::optional<int32_t> record, std::optional<double> time,
            std::ostream& out, std::ostream& err)
{
    NavdataDecoder d;
    int64_t cursor = 0;
    const RecordNavigation nav{file, d, cursor};

    // The two "go" buttons of the NavData window.
    int32_t index;
    if (record) {
        index = SeekRecordByIndex(nav, *record);
        if (index != *record) {
            err << "Record not found\n";
            return 1;
        }
    } else {
        index = SeekRecordByTime(nav, *time);
        if (index < 0) {
            err << "Record not found\n";
            return 1;
        }
    }

    const std::span<const FieldEdit> edits = FieldEdits();
    std::vector<std::string> texts;
    NavdataFieldTexts(d.state, '.', texts);

    BlockWriter w(out, 1 << 16);
    w.put("record: ");
    w.put(std::to_string(index));
    w.put('\n');
    for (std::size_t k = 0; k < edits.size(); ++k) {
        const FieldEdit& e = edits[k];
        w.put(e.tab);
        w.put('.');
        w.put(e.edit);
        w.put('=');
        if (e.format == FieldFormat::T && e.tag >= 0 && e.tag < kOptionTagCount && e.offset >= 0
            && std::size_t(e.offset) < kRecordSlots[e.tag].size) {
            // The character edit shows one raw byte: take it from the record.
            const char byte = char(RecordBytes(d.state, e.tag)[e.offset]);
            PutEscaped(w, std::string_view(&byte, 1));
        } else if (k < texts.size()) {
            PutEscaped(w, texts[k]);
        }
        w.put('\n');
    }
    w.flush();
    return 0;
}

struct CsvColumn {
    const PlotField* field; // nullptr: key without an entry, empty cells
    double multiplier;
};

int RunCsv(StreamReader& file, std::span<const std::string_view> keys,
           std::span<const std::pair<std::string_view, double>> multipliers, std::ostream& out)
{
    std::vector<CsvColumn> columns;
    columns.reserve(keys.size());
    for (const std::string_view key : keys) {
        double m = 1.0;
        for (const auto& [mkey, value] : multipliers)
            if (mkey == key)
                m = value; // the last one given wins
        columns.push_back({FindPlotField(key), m});
    }

    // Blocks of 64 kB: rows reach a pipe as the walk goes.
    BlockWriter w(out, std::size_t(1) << 16);
    w.put("time");
    for (const std::string_view key : keys) {
        w.put(',');
        std::string cell;
        AppendCsvCell(cell, key);
        w.put(cell);
    }
    w.put('\n');

    // The replay walk: a row for every decoded packet once the Time record
    // holds a time (none for the final call, which repeats the last packet).
    NavdataDecoder d;
    int64_t cursor = 0;
    ReplayStream(file, d, cursor, [&](int64_t next) {
        const uint32_t timeWord = d.state.Time.time;
        if (next < 0 || timeWord == 0)
            return;
        w.number(NavdataTimeToSeconds(timeWord));
        for (const CsvColumn& c : columns) {
            w.put(',');
            if (c.field)
                w.number(c.multiplier * PlotFieldValue(*c.field, d.state));
        }
        w.put('\n');
    });
    w.flush();
    return 0;
}

// ---------------------------------------------------------------------------
// Arguments.


int Usage(std::ostream& err, std::string_view problem)
{
    err << kProgram << ": " << problem << "\n\n" << kUsage;
    return 2;
}

int Run(std::span<const std::string> args, std::ostream& out, std::ostream& err, std::size_t readChunk)
{
    if (args.empty())
        return Usage(err, "no command given");
    const std::string_view command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
        return 0;
    }
    if (command == "--version") {
        out << kProgram << ' ' << kVersion << '\n';
        return 0;
    }
    const bool isInfo = command == "info";
    const bool isShow = command == "show";
    const bool isCsv = command == "csv";
    if (!isInfo && !isShow && !isCsv)
        return Usage(err, "unknown command \"" + std::string(command) + "\"");

    std::vector<std::string_view> positional;
    std::optional<int32_t> record;
    std::optional<double> time;
    std::vector<std::pair<std::string_view, double>> multipliers;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (optionsEnded || !a.starts_with("--")) {
            positional.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        if (a == "--help") {
            out << kUsage;
            return 0;
        }
        const bool known = (isShow && (a == "--record" || a == "--time")) || (isCsv && a == "--multiplier");
        if (!known)
            return Usage(err, "unknown option \"" + std::string(a) + "\" for " + std::string(command));
        if (i + 1 >= args.size())
            return Usage(err, "option " + std::string(a) + " needs a value");
        const std::string_view value = args[++i];
        if (a == "--record") {
            record = ParseNumber<int32_t>(value);
            if (!record)
                return Usage(err, "--record needs a whole number, not \"" + std::string(value) + "\"");
        } else if (a == "--time") {
            time = ParseNumber<double>(value);
            if (!time)
                return Usage(err, "--time needs a number of seconds, not \"" + std::string(value) + "\"");
        } else {
            // KEY=M; a multiplier never holds "=", so the last one separates.
            const std::size_t eq = value.rfind('=');
            const std::optional<double> m =
                eq == std::string_view::npos ? std::nullopt : ParseNumber<double>(value.substr(eq + 1));
            if (!m)
                return Usage(err, "--multiplier needs KEY=NUMBER, not \"" + std::string(value) + "\"");
            multipliers.emplace_back(value.substr(0, eq), *m);
        }
    }

    if (positional.empty())
        return Usage(err, "no FILE given");
    if (isInfo && positional.size() != 1)
        return Usage(err, "info takes one FILE");
    if (isShow) {
        if (positional.size() != 1)
            return Usage(err, "show takes one FILE");
        if (record.has_value() == time.has_value())
            return Usage(err, "show needs either --record N or --time T");
    }
    if (isCsv && positional.size() < 2)
        return Usage(err, "csv needs at least one KEY");

    // The file is read on demand, in chunks, from start to end: memory does
    // not grow with its size.
    std::string error;
    const std::shared_ptr<StreamFile> opened = StreamFile::Open(std::string(positional[0]), error);
    if (!opened) {
        err << kProgram << ": " << error << '\n';
        return 2;
    }
    StreamReader file(opened, readChunk);

    int code;
    try {
        if (isInfo)
            code = RunInfo(file, out);
        else if (isShow)
            code = RunShow(file, record, time, out, err);
        else
            code = RunCsv(file, std::span(positional).subspan(1), multipliers, out);
    } catch (const StreamReadError& e) {
        out.flush();
        err << kProgram << ": " << e.what() << '\n';
        return 2;
    } catch (const OutputFailed&) {
        err << kProgram << ": could not write the output\n";
        return 2;
    }

    out.flush();
    if (!out) {
        err << kProgram << ": could not write the output\n";
        return 2;
    }
    return code;
}

} // namespace

std::string_view NavdataCliUsage()
{
    return kUsage;
}

int RunNavdataCli(std::span<const std::string> args, std::ostream& out, std::ostream& err, std::size_t readChunk)
{
    try {
        return Run(args, out, err, readChunk);
    } catch (const std::exception& e) {
        err << kProgram << ": " << e.what() << '\n';
    } catch (...) {
        err << kProgram << ": unexpected error\n";
    }
    return 2;
}

} // namespace kestrix
