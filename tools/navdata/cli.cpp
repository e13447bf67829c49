#include "cli.h"

#include "kestrix/condition.h"
#include "kestrix/csv_text.h"
#include "kestrix/decoder.h"
#include "kestrix/field_text.h"
#include "kestrix/find.h"
#include "kestrix/link_counts.h"
#include "kestrix/plot_fields.h"
#include "kestrix/replay.h"
#include "kestrix/stream_nav.h"
#include "kestrix/stream_reader.h"
#include "kestrix/version.h"

#include <algorithm>
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
    "Usage: kestrix_navdata info FILE [--json]\n"
    "  or:  kestrix_navdata show FILE (--record N | --time T)\n"
    "  or:  kestrix_navdata csv FILE KEY... [--multiplier KEY=M]...\n"
    "  or:  kestrix_navdata find FILE CONDITION [--from N] [--all] [--json]\n"
    "  or:  kestrix_navdata link FILE [--json]\n"
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
    "         cells. Use -- before keys that begin with \"--\". The link keys\n"
    "         Link.packet, Link.missing, Link.gap and Link.rate give the link\n"
    "         counts of each packet (see link).\n"
    "  find   prints record,time of the first record at or after N (default 0)\n"
    "         where CONDITION holds, or of every such record with --all.\n"
    "         CONDITION is CLAUSE [and CLAUSE]..., a clause KEY OP NUMBER (OP one\n"
    "         of < <= > >= == !=, NUMBER decimal or 0x hexadecimal) or KEY changes;\n"
    "         KEY a plot key or a link key. Exits 1 with \"Record not found\".\n"
    "  link   packets, first and last packet number, missing datagrams, gaps,\n"
    "         restarts, duplicates and the longest gap, from the packet numbers.\n"
    "\n"
    "Options:\n"
    "  --json one JSON object instead of text (find, link, info).\n"
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

// ---------------------------------------------------------------------------
// find, link, csv with link keys, and JSON output.

bool HasArgument(std::span<const std::string> args, std::string_view wanted)
{
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--")
            return false;
        if (args[i] == wanted)
            return true;
    }
    return false;
}

// A JSON string: quotes, backslash and control characters escaped; other
// bytes as they are.
void PutJsonString(BlockWriter& w, std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    w.put('"');
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            w.put('\\');
            w.put(ch);
        } else if (b < 0x20) {
            w.put("\\u00");
            w.put(kHex[b >> 4]);
            w.put(kHex[b & 0xF]);
        } else {
            w.put(ch);
        }
    }
    w.put('"');
}

// A JSON number; null where JSON has no number (nan, inf).
void PutJsonNumber(BlockWriter& w, double v)
{
    if (std::isfinite(v))
        w.number(v);
    else
        w.put("null");
}

void PutJsonKey(BlockWriter& w, std::string_view key, bool first = false)
{
    if (!first)
        w.put(',');
    w.put('"');
    w.put(key);
    w.put("\":");
}

int RunFind(StreamReader& file, Condition& condition, std::string_view text, int32_t from, bool all,
            bool json, std::ostream& out, std::ostream& err)
{
    std::vector<FindMatch> matches;
    FindRecords(file, condition, from, [&](const FindMatch& m) {
        matches.push_back(m);
        return all;
    });

    BlockWriter w(out, 1 << 16);
    if (json) {
        w.put('{');
        PutJsonKey(w, "condition", true);
        PutJsonString(w, text);
        PutJsonKey(w, "from");
        w.number(uint64_t(from));
        PutJsonKey(w, "all");
        w.put(all ? "true" : "false");
        PutJsonKey(w, "count");
        w.number(uint64_t(matches.size()));
        PutJsonKey(w, "matches");
        w.put('[');
        for (std::size_t k = 0; k < matches.size(); ++k) {
            if (k)
                w.put(',');
            w.put("{\"record\":");
            w.number(uint64_t(matches[k].record));
            w.put(",\"time\":");
            PutJsonNumber(w, matches[k].time);
            w.put('}');
        }
        w.put("]}\n");
    } else {
        w.put("record,time\n");
        for (const FindMatch& m : matches) {
            w.number(uint64_t(m.record));
            w.put(',');
            w.number(m.time);
            w.put('\n');
        }
    }
    w.flush();
    if (matches.empty()) {
        err << "Record not found\n";
        return 1;
    }
    return 0;
}

int RunLink(StreamReader& file, bool json, std::ostream& out)
{
    NavdataDecoder d;
    LinkCounter link;
    WalkPackets(file, d, &link, [](bool, double, auto) {});
    const LinkSummary& s = link.summary();

    BlockWriter w(out, 1 << 16);
    struct Count {
        std::string_view key;
        uint64_t value;
    };
    const Count counts[] = {{"missing", s.missing},       {"gaps", s.gaps},
                            {"restarts", s.restarts},     {"duplicates", s.duplicates},
                            {"longest_gap", s.longestGap}};
    if (json) {
        w.put('{');
        PutJsonKey(w, "packets", true);
        w.number(s.packets);
        PutJsonKey(w, "first_packet");
        s.packets ? w.number(uint64_t(s.firstPacket)) : w.put("null");
        PutJsonKey(w, "last_packet");
        s.packets ? w.number(uint64_t(s.lastPacket)) : w.put("null");
        for (const Count& c : counts) {
            PutJsonKey(w, c.key);
            w.number(c.value);
        }
        PutJsonKey(w, "longest_gap_seconds");
        PutJsonNumber(w, s.longestGapSeconds);
        w.put("}\n");
    } else {
        w.put("packets: ");
        w.number(s.packets);
        w.put("\nfirst_packet: ");
        s.packets ? w.number(uint64_t(s.firstPacket)) : w.put('-');
        w.put("\nlast_packet: ");
        s.packets ? w.number(uint64_t(s.lastPacket)) : w.put('-');
        for (const Count& c : counts) {
            w.put('\n');
            w.put(c.key);
            w.put(": ");
            w.number(c.value);
        }
        w.put("\nlongest_gap_seconds: ");
        w.number(s.longestGapSeconds);
        w.put('\n');
    }
    w.flush();
    return 0;
}

// The facts of info, as one JSON object.
int RunInfoJson(StreamReader& file, std::ostream& out)
{
    NavdataDecoder d;
    std::vector<uint64_t> tagCounts(65536, 0);
    d.optionHeaderCounts = tagCounts.data();
    uint64_t packets = 0;
    uint64_t records = 0;
    double firstTime = 0;
    double lastTime = 0;
    WalkPackets(file, d, nullptr, [&](bool isRecord, double time, auto) {
        ++packets;
        if (isRecord) {
            if (records == 0)
                firstTime = time;
            lastTime = time;
            ++records;
        }
    });

    BlockWriter w(out, 1 << 16);
    w.put('{');
    PutJsonKey(w, "bytes", true);
    w.number(uint64_t(file.size()));
    PutJsonKey(w, "packets");
    w.number(packets);
    PutJsonKey(w, "records");
    w.number(records);
    PutJsonKey(w, "first_time");
    records ? PutJsonNumber(w, firstTime) : w.put("null");
    PutJsonKey(w, "last_time");
    records ? PutJsonNumber(w, lastTime) : w.put("null");
    PutJsonKey(w, "options");
    w.put('{');
    bool first = true;
    for (std::size_t tag = 0; tag < tagCounts.size(); ++tag) {
        if (tagCounts[tag] == 0)
            continue;
        if (!first)
            w.put(',');
        first = false;
        w.put('"');
        w.number(uint64_t(tag));
        w.put("\":");
        w.number(tagCounts[tag]);
    }
    w.put("}}\n");
    w.flush();
    return 0;
}

bool IsLinkKey(std::string_view key)
{
    return FindLinkKey(key).has_value();
}

// csv with at least one link key among the keys: the same rows as RunCsv,
// with the link counts of each packet in the link columns.
int RunCsvWithLink(StreamReader& file, std::span<const std::string_view> keys,
                   std::span<const std::pair<std::string_view, double>> multipliers, std::ostream& out)
{
    struct Column {
        const PlotField* field;
        std::optional<LinkKey> link;
        double multiplier;
    };
    std::vector<Column> columns;
    columns.reserve(keys.size());
    for (const std::string_view key : keys) {
        double m = 1.0;
        for (const auto& [mkey, value] : multipliers)
            if (mkey == key)
                m = value; // the last one given wins
        columns.push_back({FindPlotField(key), FindLinkKey(key), m});
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

    NavdataDecoder d;
    LinkCounter link;
    WalkPackets(file, d, &link, [&](bool, double, auto) {
        const uint32_t timeWord = d.state.Time.time;
        if (timeWord == 0)
            return;
        w.number(NavdataTimeToSeconds(timeWord));
        for (const Column& c : columns) {
            w.put(',');
            if (c.field)
                w.number(c.multiplier * PlotFieldValue(*c.field, d.state));
            else if (c.link)
                w.number(c.multiplier * LinkValue(link.values(), *c.link));
        }
        w.put('\n');
    });
    w.flush();
    return 0;
}

// find, link, and info --json: their own arguments, then the file.
int RunLinkCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                   std::size_t readChunk)
{
    const std::string_view command = args[0];
    const bool isFind = command == "find";
    std::vector<std::string_view> positional;
    bool json = false;
    bool all = false;
    int32_t from = 0;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (optionsEnded || !a.starts_with("--")) {
            positional.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
        } else if (a == "--help") {
            out << kUsage;
            return 0;
        } else if (a == "--json") {
            json = true;
        } else if (isFind && a == "--all") {
            all = true;
        } else if (isFind && a == "--from") {
            if (i + 1 >= args.size())
                return Usage(err, "option --from needs a value");
            const std::string_view value = args[++i];
            const std::optional<int32_t> n = ParseNumber<int32_t>(value);
            if (!n || *n < 0)
                return Usage(err, "--from needs a record number of 0 or more, not \"" + std::string(value) + "\"");
            from = *n;
        } else {
            return Usage(err, "unknown option \"" + std::string(a) + "\" for " + std::string(command));
        }
    }
    if (positional.empty())
        return Usage(err, "no FILE given");
    if (isFind && positional.size() != 2)
        return Usage(err, "find takes one FILE and one CONDITION (quote the condition)");
    if (!isFind && positional.size() != 1)
        return Usage(err, std::string(command) + " takes one FILE");

    // The condition is checked before the file is read: a bad one searches nothing.
    std::optional<Condition> condition;
    if (isFind) {
        ConditionError error;
        condition = Condition::Parse(positional[1], error);
        if (!condition) {
            err << kProgram << ": bad condition: " << error.message << '\n';
            return 2;
        }
    }

    // Read on demand, in chunks, from start to end, as the other commands.
    std::string error;
    const std::shared_ptr<StreamFile> opened = StreamFile::Open(std::string(positional[0]), error);
    if (!opened) {
        err << kProgram << ": " << error << '\n';
        return 2;
    }
    StreamReader file(opened, readChunk);
    int code;
    try {
        if (isFind)
            code = RunFind(file, *condition, positional[1], from, all, json, out, err);
        else if (command == "link")
            code = RunLink(file, json, out);
        else
            code = RunInfoJson(file, out);
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
    if (command == "find" || command == "link" || (command == "info" && HasArgument(args, "--json")))
        return RunLinkCommand(args, out, err, readChunk);
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
        else if (std::any_of(positional.begin() + 1, positional.end(), IsLinkKey))
            code = RunCsvWithLink(file, std::span(positional).subspan(1), multipliers, out);
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
