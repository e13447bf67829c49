// Writes the seed corpus of fuzz_navdata: well-formed packets from the packet
// builder and the malformed shapes the decoder has to live with.
//
//   fuzz_make_seeds DIR     (writes DIR/<name>, one file per seed)

#include "kestrix/decoder.h"
#include "kestrix/packet_builder.h"
#include "kestrix/records.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace kestrix;
using Bytes = std::vector<uint8_t>;

namespace {

std::string g_dir;
int g_count = 0;
size_t g_total = 0;

void write(const std::string& name, const Bytes& b)
{
    const std::string path = g_dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || (!b.empty() && std::fwrite(b.data(), 1, b.size(), f) != b.size()) || std::fclose(f) != 0) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
    ++g_count;
    g_total += b.size();
}

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes noise(std::mt19937& rng, size_t n)
{
    Bytes b(n);
    for (auto& x : b)
        x = uint8_t(rng());
    // Lone 0x88 bytes and partial magics, as in real line noise; never a
    // whole magic.
    for (size_t i = 0; i + 3 < n; i += 17) {
        b[i] = 0x88;
        if (i % 3 == 0)
            b[i + 1] = 0x77;
        if (i % 5 == 0) {
            b[i + 1] = 0x77;
            b[i + 2] = 0x66;
            b[i + 3] = 0x54;
        }
    }
    for (size_t i = 0; i + 4 <= n; ++i)
        if (std::memcmp(&b[i], kNavdataMagic, 4) == 0)
            b[i + 3] ^= 1;
    return b;
}

NavdataState varied(std::mt19937& rng, uint32_t seconds, uint32_t micros)
{
    NavdataState s{};
    auto* p = reinterpret_cast<uint8_t*>(&s);
    for (size_t i = 0; i < sizeof s; ++i)
        p[i] = uint8_t(rng());
    s.Time.time = MakeTimeWord(seconds, micros);
    s.Vision.time_capture = MakeTimeWord(seconds, micros + 500);
    s.Demo.theta = 0.1f;
    s.Demo.altitude = -12;
    s.Magneto.magneto_calibration_ok = '1';
    return s;
}

Bytes span(const void* p, size_t n)
{
    auto* b = static_cast<const uint8_t*>(p);
    return Bytes(b, b + n);
}

Bytes tail(PacketBuilder& b)
{
    b.checksum();
    return b.take();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    g_dir = argv[1];
    std::mt19937 rng(20240601u);

    const NavdataState zero{};
    const NavdataState s1 = varied(rng, 5, 123456);
    const NavdataState s2 = varied(rng, 6, 0);
    const Bytes rec0(RecordBytes(s1, 0), RecordBytes(s1, 0) + kRecordSlots[0].size);
    const uint32_t t5 = MakeTimeWord(5, 123456);
    const Bytes time5 = span(&t5, 4);

    // Well-formed packets.
    write("full_packet", BuildFullPacket(s1, 0x0F0000D4u, 1));
    write("full_packet_zero", BuildFullPacket(zero));
    write("demo_packet", BuildDemoPacket(s1, 0x0F0000D4u, 2));
    write("demo_packet_zero_time", BuildDemoPacket(zero));
    write("back_to_back_full", cat({BuildFullPacket(s1, 1, 1), BuildFullPacket(s2, 2, 2)}));
    write("back_to_back_demo", cat({BuildDemoPacket(s1, 1, 1), BuildDemoPacket(zero, 2, 2),
                                    BuildDemoPacket(s2, 3, 3), BuildDemoPacket(s1, 4, 4)}));
    {
        // Untimed packet first, then timed ones (record 0 is the second packet).
        PacketBuilder a(7, 1);
        a.record(s1, 5);
        write("untimed_then_timed", cat({tail(a), BuildDemoPacket(s1, 7, 2), BuildDemoPacket(s2, 7, 3)}));
    }
    {
        PacketBuilder a(0, 0);
        a.record(s1, 1).record(s1, 13);
        write("time_then_vision", tail(a));
        PacketBuilder b(0, 0);
        b.record(s1, 13).record(s1, 1);
        write("vision_then_time", tail(b));
    }
    write("noise_front_back", cat({noise(rng, 300), BuildDemoPacket(s1, 1, 1), noise(rng, 200),
                                   BuildDemoPacket(s2, 2, 2), noise(rng, 50)}));
    write("noise_only", noise(rng, 2000));
    write("ff_only", Bytes(512, 0xFF));
    write("x88_only", Bytes(700, 0x88));

    // Gyros_offsets with the right and wrong sizes.
    for (uint16_t sz : {uint16_t(16), uint16_t(20), uint16_t(12), uint16_t(4)}) {
        PacketBuilder b(0, 0);
        b.record(s1, 1);
        b.rawOption(4, sz, Bytes(sz >= 4 ? sz - 4u : 0u, 0x41));
        b.record(s1, 5);
        write("gyros_size_" + std::to_string(sz), tail(b));
    }

    // Short and long options: the copy runs on behind a short option.
    {
        PacketBuilder b(0, 0);
        b.rawOption(0, 100, Bytes(rec0.begin(), rec0.begin() + 96)).record(s1, 1).record(s1, 5);
        write("demo_short_100", tail(b));
        PacketBuilder c(0, 0);
        Bytes longer = rec0;
        longer.resize(rec0.size() + 40, 0xEE);
        c.option(0, longer).record(s1, 1);
        write("demo_long_188", tail(c));
        PacketBuilder d(0, 0);
        d.rawOption(1, 6, {time5.data(), 2}).rawOption(13, 8, Bytes(4, 0x13)).record(s1, 5);
        write("short_time_vision", tail(d));
    }

    // Option sizes below the header's own.
    for (uint16_t sz : {uint16_t(0), uint16_t(1), uint16_t(3)}) {
        PacketBuilder b(0, 0);
        b.record(s1, 1).rawOption(200, sz, {}).record(s1, 5);
        write("size_below_4_" + std::to_string(sz), cat({tail(b), BuildDemoPacket(s2, 2, 2)}));
    }

    // Unknown tags, skipped whole.
    {
        PacketBuilder b(0, 0);
        b.rawOption(200, 12, Bytes(8, 0xC8)).record(s1, 1).rawOption(28, 8, Bytes(4, 0x1C));
        b.rawOption(0x8000, 5, Bytes(1, 0x80)).rawOption(0xFFFE, 4, {}).record(s1, 5);
        write("unknown_tags", tail(b));
    }

    // Truncated packets and sizes pointing past the end.
    {
        const Bytes full = BuildFullPacket(s1, 3, 3);
        for (size_t cut : {size_t(3), size_t(6), size_t(15), size_t(17), size_t(100), size_t(152),
                           full.size() - 3})
            write("truncated_" + std::to_string(cut), Bytes(full.begin(), full.begin() + long(cut)));
        PacketBuilder b(0, 0);
        b.record(s1, 1).rawOption(200, 0xFFFF, Bytes(10, 0x55));
        write("size_beyond_end", cat({tail(b), BuildDemoPacket(s2, 2, 2)}));
        PacketBuilder c(0, 0);
        c.record(s1, 1).record(s1, 5);
        write("no_checksum", cat({c.take(), Bytes{0x01, 0x00}}));
    }

    // Many minimal packets: magic, header, one checksum option.
    {
        Bytes many;
        for (uint32_t i = 0; i < 40; ++i) {
            PacketBuilder b(i, i);
            if (i % 4 == 1)
                b.rawOption(1, 8, span(&i, 4));
            const Bytes p = tail(b);
            many.insert(many.end(), p.begin(), p.end());
        }
        write("many_small_packets", many);
    }
    write("magic_at_end", cat({noise(rng, 40), span(kNavdataMagic, 4)}));

    std::printf("wrote %d seeds, %zu bytes, to %s\n", g_count, g_total, g_dir.c_str());
    return 0;
}
