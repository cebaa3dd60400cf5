// A full download, the configuration and all 30 rules, through dwn_download
// on a port opened to zuvsim. Unpaced, the figure is the host's own time net
// of the fixed read that discards the answer to "download\n"; aim under 5 ms.
// Paced at 19200 baud, every byte takes its wire time: the total less that
// fixed read must stay within 2 % of the wire time of what crosses the line
// (1,927 bytes out and 33 replies for this download, plus "download\n").

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/config_state.h"
#include "config/conf_record.h"
#include "core/output.h"
#include "link/download.h"
#include "link/link_state.h"
#include "rules/rules_reader.h"
#include "rules/rules_state.h"
#include "serial/port.h"
#include "sim_process.h"

namespace {

using clock_type = std::chrono::steady_clock;

constexpr long link_rate = 19200;
constexpr int rule_count = 30;
// conf command, 904 bytes in 16 packets, rules command, 840 bytes in 14
// packets, finish; one reply byte per packet.
constexpr int bytes_out = 21 + 904 + 16 * 4 + 21 + 840 + 14 * 4 + 21;
constexpr int replies = 1 + 16 + 1 + 14 + 1;
constexpr std::uint8_t download_request[] = {'d', 'o', 'w', 'n', 'l', 'o', 'a', 'd', '\n'};
static_assert(bytes_out == 1927);

// The utility's records for the download: the factory configuration and a
// rule table read from a file of 30 rules.
struct records {
    zuv::string_output out;
    zuv::config_state config{out};
    zuv::rules_state rules{out, config.conf};

    records() {
        zuv::conf_load_defaults(config);
        std::string text;
        for (int i = 0; i < rule_count; ++i) text += "pass circle " + std::to_string(i + 1) + " 39.75d, -105d\n";
        std::FILE* fp = fmemopen(text.data(), text.size(), "r");
        if (fp == nullptr || zuv::rules_read(rules, fp, "bench.rules") != 0) std::abort();
        std::fclose(fp);
    }
};

struct bench_link {
    zuv::string_output out;
    zuv::string_output err;
    zuv::link_state st{nullptr, out, err};
    bench_link() { std::snprintf(st.port_name, sizeof st.port_name, "COM1"); }
};

// One download as the download command runs it, from "download\n" to the
// finish; the seconds it took, or a negative value when it failed.
double timed_download(bench_link& link, const records& rec) {
    if (zuv::open_port(link.st, link.st.port_name, link_rate) != 0) return -1;
    const auto start = clock_type::now();
    const int wrote = zuv::write_port(link.st, link.st.port_name, download_request, sizeof download_request);
    const int result = zuv::dwn_download(link.st, rec.config.conf, rec.rules.rule_table);
    const double took = std::chrono::duration<double>(clock_type::now() - start).count();
    zuv::close_port(link.st);
    return wrote > 0 && result == 0 ? took : -1;
}

// The discard read waits its whole time-out: what the port layer gives a
// 10 ms read of 64 bytes.
double discard_read_seconds() {
    const auto t = zuv::read_timeouts(zuv::standing_timeouts(link_rate), 10);
    return static_cast<double>(zuv::total_read_ms(t, 64)) / 1000.0;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void run(benchmark::State& state, const std::vector<std::string>& sim_options, std::vector<double>& seconds,
         bench_link& link) {
    zuv::bench::sim_process sim(sim_options);
    const records rec;
    for (auto _ : state) {
        const double took = timed_download(link, rec);
        if (took < 0) {
            state.SkipWithError(("the download failed: " + link.out.text).c_str());
            return;
        }
        seconds.push_back(took);
    }
}

void BM_DownloadUnpaced(benchmark::State& state) {
    bench_link link;
    std::vector<double> seconds;
    run(state, {}, seconds, link);
    if (seconds.empty()) return;
    const double fixed = discard_read_seconds();
    state.counters["net_host_ms"] = (median(seconds) - fixed) * 1000.0;
    state.counters["aim_ms"] = 5.0;
    state.counters["discard_read_ms"] = fixed * 1000.0;
    state.counters["link_rate"] = link_rate;
    state.counters["wire_seconds"] =
        zuv::bench::wire_seconds(sizeof download_request + bytes_out + replies, link_rate);
}
BENCHMARK(BM_DownloadUnpaced)->Iterations(50)->Unit(benchmark::kMillisecond);

void BM_DownloadPaced19200(benchmark::State& state) {
    bench_link link;
    std::vector<double> seconds;
    run(state, {"--pace"}, seconds, link);
    if (seconds.empty()) return;
    const double fixed = discard_read_seconds();
    const double wire = zuv::bench::wire_seconds(sizeof download_request + bytes_out + replies, link_rate);
    const double total = median(seconds);
    state.counters["total_s"] = total;
    state.counters["net_s"] = total - fixed;
    state.counters["link_rate"] = link_rate;
    state.counters["wire_seconds"] = wire;
    state.counters["over_wire_percent"] = ((total - fixed) / wire - 1.0) * 100.0;
    state.counters["aim_percent"] = 2.0;
}
BENCHMARK(BM_DownloadPaced19200)->Iterations(8)->Unit(benchmark::kMillisecond);

}  // namespace
