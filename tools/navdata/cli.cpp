#include "cli.h"

#include "kestrix/condition.h"
#include "kestrix/csv_text.h"
#include "kestrix/decoder.h"
#include "kestrix/field_text.h"
#include "kestrix/find.h"
#include "kestrix/link_counts.h"
#include "kestrix/plot_fields.h"
#include "kestrix/stream_nav.h"
#include "kestrix/stream_reader.h"
#include "kestrix/version.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
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
// JSON output.

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

// The facts of info and link, one per key: "key: value" lines, or one JSON
// object with the same keys.
class FactWriter {
public:
    FactWriter(BlockWriter& w, bool json) : w_(w), json_(json)
    {
        if (json_)
            w_.put('{');
    }
    bool json() const { return json_; }
    BlockWriter& out() { return w_; }

    void key(std::string_view k)
    {
        if (json_) {
            PutJsonKey(w_, k, first_);
        } else {
            if (!first_)
                w_.put('\n');
            w_.put(k);
            w_.put(": ");
        }
        first_ = false;
    }
    void count(std::string_view k, uint64_t v)
    {
        key(k);
        w_.number(v);
    }
    // A fact that has no value: "-" in the text, null in JSON.
    void none() { w_.put(json_ ? "null" : "-"); }
    // Seconds: JSON has no nan or inf (null there).
    void seconds(double v) { json_ ? PutJsonNumber(w_, v) : w_.number(v); }
    void end() { w_.put(json_ ? "}\n" : "\n"); }

private:
    BlockWriter& w_;
    bool json_;
    bool first_ = true;
};

// ---------------------------------------------------------------------------
// Commands.

int RunInfo(StreamReader& file, bool json, std::ostream& out)
{
    NavdataDecoder d;
    d.recordMask = 0; // times and option counts only
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
    FactWriter f(w, json);
    f.count("bytes", uint64_t(file.size())); // known once the walk has reached the end
    f.count("packets", packets);
    f.count("records", records);
    f.key("first_time");
    records ? f.seconds(firstTime) : f.none();
    f.key("last_time");
    records ? f.seconds(lastTime) : f.none();
    // Every tag met: " TAG=COUNT" behind "options:", or an object of them.
    if (json) {
        f.key("options");
        w.put('{');
    } else {
        w.put("\noptions:");
    }
    bool first = true;
    for (std::size_t tag = 0; tag < tagCounts.size(); ++tag) {
        if (tagCounts[tag] == 0)
            continue;
        if (!json) {
            w.put(' ');
            w.number(uint64_t(tag));
            w.put('=');
        } else {
            w.put(first ? "\"" : ",\"");
            w.number(uint64_t(tag));
            w.put("\":");
        }
        w.number(tagCounts[tag]);
        first = false;
    }
    if (json)
        w.put('}');
    f.end();
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

// A column of csv: a plot field, a link count, or neither (empty cells).
struct CsvColumn {
    const PlotField* field;
    std::optional<LinkKey> link;
    double multiplier;
};

// The rows of csv as numbers, turned into text on a thread of their own: the
// shortest text of a double costs more than decoding its packet, and so the
// two overlap. The walk fills batches of rows (the time, then one number per
// column that has values); the writer thread formats each batch in turn, in
// order, into `w`. A write that fails ends the walk at its next batch.
class CsvRows {
public:
    // `valued[i]`: column i has numbers (else its cells stay empty). `w`
    // already holds the header; it belongs to the writer thread from here on
    // until finish().
    CsvRows(BlockWriter& w, std::vector<bool> valued)
        : w_(w), valued_(std::move(valued)),
          stride_(1 + std::size_t(std::count(valued_.begin(), valued_.end(), true))),
          rowsPerBatch_(std::max<std::size_t>(1, kBatchNumbers / stride_))
    {
        for (auto& b : batches_) {
            b.resize(rowsPerBatch_ * stride_);
            free_.push_back(b.data());
        }
        fill_ = takeFree();
        thread_ = std::thread([this] { run(); });
    }
    ~CsvRows() { stop(); }
    CsvRows(const CsvRows&) = delete;
    CsvRows& operator=(const CsvRows&) = delete;

    // Room for the next row's numbers.
    double* nextRow()
    {
        if (rows_ == rowsPerBatch_) {
            handOver();
            fill_ = takeFree();
        }
        return fill_ + rows_++ * stride_;
    }

    // Writes every row given so far and flushes; throws OutputFailed when
    // the output could not be written.
    void finish()
    {
        if (rows_ > 0)
            handOver();
        stop();
        if (failed_)
            throw OutputFailed{};
        w_.flush();
    }

private:
    // 512 kB of numbers a batch (4096 rows of 15 numbers), whatever the
    // number of columns.
    static constexpr std::size_t kBatchNumbers = std::size_t(1) << 16;
    struct Batch {
        double* rows;
        std::size_t count;
    };

    double* takeFree()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !free_.empty() || failed_; });
        if (failed_)
            throw OutputFailed{};
        double* b = free_.back();
        free_.pop_back();
        return b;
    }

    void handOver()
    {
        {
            std::lock_guard lock(mutex_);
            full_.push_back({fill_, rows_});
        }
        changed_.notify_all();
        rows_ = 0;
    }

    void stop()
    {
        if (!thread_.joinable())
            return;
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

    // The writer thread: batches in the order given, until stopped with
    // nothing left.
    void run()
    {
        for (;;) {
            Batch b;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return !full_.empty() || done_; });
                if (full_.empty())
                    return;
                b = full_.front();
                full_.pop_front();
            }
            try {
                write(b);
            } catch (const OutputFailed&) {
                std::lock_guard lock(mutex_);
                failed_ = true;
                full_.clear();
            }
            {
                std::lock_guard lock(mutex_);
                free_.push_back(b.rows);
            }
            changed_.notify_all();
            if (failed_)
                return;
        }
    }

    void write(const Batch& b)
    {
        const std::size_t columns = valued_.size();
        for (std::size_t r = 0; r < b.count; ++r) {
            const double* v = b.rows + r * stride_;
            w_.number(*v++);
            for (std::size_t c = 0; c < columns; ++c) {
                w_.put(',');
                if (valued_[c])
                    w_.number(*v++);
            }
            w_.put('\n');
        }
    }

    BlockWriter& w_;
    const std::vector<bool> valued_;
    const std::size_t stride_;
    const std::size_t rowsPerBatch_;
    std::vector<double> batches_[3];
    double* fill_ = nullptr;
    std::size_t rows_ = 0;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<double*> free_;
    std::deque<Batch> full_;
    bool done_ = false;
    bool failed_ = false; // read by the walk only under the lock or after stop()
    std::thread thread_;
};

int RunCsv(StreamReader& file, std::span<const std::string_view> keys,
           std::span<const std::pair<std::string_view, double>> multipliers, std::ostream& out)
{
    std::vector<CsvColumn> columns;
    columns.reserve(keys.size());
    bool anyLink = false;
    for (const std::string_view key : keys) {
        double m = 1.0;
        for (const auto& [mkey, value] : multipliers)
            if (mkey == key)
                m = value; // the last one given wins
        const PlotField* field = FindPlotField(key);
        const std::optional<LinkKey> link = field ? std::nullopt : FindLinkKey(key);
        anyLink = anyLink || link.has_value();
        columns.push_back({field, link, m});
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

    // A row for every decoded packet once the Time record holds a time. The
    // packet numbers are read only when a link key asks for them.
    NavdataDecoder d;
    d.recordMask = 0; // the records of the columns (and the time) only
    std::vector<bool> valued;
    for (const CsvColumn& c : columns) {
        if (c.field)
            d.recordMask |= RecordBit(c.field->tag);
        valued.push_back(c.field || c.link);
    }
    LinkCounter link;
    CsvRows rows(w, std::move(valued));
    try {
        WalkPackets(file, d, anyLink ? &link : nullptr, [&](bool, double, auto) {
            const uint32_t timeWord = d.state.Time.time;
            if (timeWord == 0)
                return;
            double* v = rows.nextRow();
            *v++ = NavdataTimeToSeconds(timeWord);
            for (const CsvColumn& c : columns) {
                if (c.field)
                    *v++ = c.multiplier * PlotFieldValue(*c.field, d.state);
                else if (c.link)
                    *v++ = c.multiplier * LinkValue(link.values(), *c.link);
            }
        });
    } catch (const StreamReadError&) {
        // The rows in front of the failure are sound: they go out before the
        // message.
        try {
            rows.finish();
        } catch (const OutputFailed&) {
        }
        throw;
    }
    rows.finish();
    return 0;
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
    d.recordMask = 0; // packet numbers and times only
    LinkCounter link;
    WalkPackets(file, d, &link, [](bool, double, auto) {});
    const LinkSummary& s = link.summary();

    BlockWriter w(out, 1 << 16);
    FactWriter f(w, json);
    f.count("packets", s.packets);
    f.key("first_packet");
    s.packets ? w.number(uint64_t(s.firstPacket)) : f.none();
    f.key("last_packet");
    s.packets ? w.number(uint64_t(s.lastPacket)) : f.none();
    f.count("missing", s.missing);
    f.count("gaps", s.gaps);
    f.count("restarts", s.restarts);
    f.count("duplicates", s.duplicates);
    f.count("longest_gap", s.longestGap);
    f.key("longest_gap_seconds");
    f.seconds(s.longestGapSeconds);
    f.end();
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

enum class Command { Info, Show, Csv, Find, Link };

std::optional<Command> FindCommand(std::string_view name)
{
    static constexpr std::pair<std::string_view, Command> kCommands[] = {
        {"info", Command::Info}, {"show", Command::Show}, {"csv", Command::Csv},
        {"find", Command::Find}, {"link", Command::Link}};
    for (const auto& [n, c] : kCommands)
        if (n == name)
            return c;
    return std::nullopt;
}

// The options each command takes. --json and --all stand alone; the others
// take the next argument as their value.
bool TakesOption(Command c, std::string_view option)
{
    switch (c) {
    case Command::Info:
    case Command::Link:
        return option == "--json";
    case Command::Show:
        return option == "--record" || option == "--time";
    case Command::Csv:
        return option == "--multiplier";
    case Command::Find:
        return option == "--from" || option == "--all" || option == "--json";
    }
    return false;
}

int Run(std::span<const std::string> args, std::ostream& out, std::ostream& err, std::size_t readChunk)
{
    if (args.empty())
        return Usage(err, "no command given");
    const std::string_view name = args[0];
    if (name == "--help" || name == "-h" || name == "help") {
        out << kUsage;
        return 0;
    }
    if (name == "--version") {
        out << kProgram << ' ' << kVersion << '\n';
        return 0;
    }
    const std::optional<Command> command = FindCommand(name);
    if (!command)
        return Usage(err, "unknown command \"" + std::string(name) + "\"");

    std::vector<std::string_view> positional;
    std::optional<int32_t> record;
    std::optional<double> time;
    std::vector<std::pair<std::string_view, double>> multipliers;
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
            continue;
        }
        if (a == "--help") {
            out << kUsage;
            return 0;
        }
        if (!TakesOption(*command, a))
            return Usage(err, "unknown option \"" + std::string(a) + "\" for " + std::string(name));
        if (a == "--json") {
            json = true;
            continue;
        }
        if (a == "--all") {
            all = true;
            continue;
        }
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
        } else if (a == "--from") {
            const std::optional<int32_t> n = ParseNumber<int32_t>(value);
            if (!n || *n < 0)
                return Usage(err, "--from needs a record number of 0 or more, not \"" + std::string(value) + "\"");
            from = *n;
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
    switch (*command) {
    case Command::Info:
    case Command::Link:
        if (positional.size() != 1)
            return Usage(err, std::string(name) + " takes one FILE");
        break;
    case Command::Show:
        if (positional.size() != 1)
            return Usage(err, "show takes one FILE");
        if (record.has_value() == time.has_value())
            return Usage(err, "show needs either --record N or --time T");
        break;
    case Command::Csv:
        if (positional.size() < 2)
            return Usage(err, "csv needs at least one KEY");
        break;
    case Command::Find:
        if (positional.size() != 2)
            return Usage(err, "find takes one FILE and one CONDITION (quote the condition)");
        break;
    }

    // The condition is checked before the file is read: a bad one searches nothing.
    std::optional<Condition> condition;
    if (*command == Command::Find) {
        ConditionError error;
        condition = Condition::Parse(positional[1], error);
        if (!condition) {
            err << kProgram << ": bad condition: " << error.message << '\n';
            return 2;
        }
    }

    // The file is read on demand, in chunks, from start to end: memory does
    // not grow with its size.
    std::string error;
    const std::shared_ptr<StreamFile> opened = StreamFile::Open(std::string(positional[0]), error);
    if (!opened) {
        err << kProgram << ": " << error << '\n';
        return 2;
    }
    StreamReader file(opened, readChunk);
    // Every command walks the file from its start: the next chunk is read
    // while the current one is decoded.
    file.setReadAhead(true);

    int code = 0;
    try {
        switch (*command) {
        case Command::Info:
            code = RunInfo(file, json, out);
            break;
        case Command::Show:
            code = RunShow(file, record, time, out, err);
            break;
        case Command::Csv:
            code = RunCsv(file, std::span(positional).subspan(1), multipliers, out);
            break;
        case Command::Find:
            code = RunFind(file, *condition, positional[1], from, all, json, out, err);
            break;
        case Command::Link:
            code = RunLink(file, json, out);
            break;
        }
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
