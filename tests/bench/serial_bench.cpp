// Round trip of one byte through write_port and read_port against a peer that
// echoes on the other side of a pseudo-terminal, and how closely a timed read
// of nothing keeps its time-out. Aims: median round trip under 100 us; an
// empty timed read within 2 ms of t + 10 ms.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "config/conf_record.h"
#include "core/output.h"
#include "serial/port.h"
#include "wire_time.h"

namespace {

namespace fs = std::filesystem;
using clock_type = std::chrono::steady_clock;

// The pseudo-terminal published as COM1 in a private port map, with a peer
// thread on its master side that sends back every byte it gets.
class echo_line {
public:
    echo_line() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) std::abort();
        char tmpl[] = "/tmp/zuv_bench_XXXXXX";
        if (mkdtemp(tmpl) == nullptr) std::abort();
        dir_ = tmpl;
        fs::create_directories(dir_ / "zuvdigi");
        fs::create_symlink(ptsname(master_), dir_ / "zuvdigi" / "com1");
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
        peer_ = std::thread([this] { echo(); });
    }
    ~echo_line() {
        stop_ = true;
        peer_.join();
        close(master_);
        fs::remove_all(dir_);
    }

private:
    void echo() {
        char buf[256];
        while (!stop_) {
            pollfd pfd{master_, POLLIN, 0};
            if (poll(&pfd, 1, 20) <= 0 || (pfd.revents & POLLIN) == 0) continue;
            const ssize_t n = read(master_, buf, sizeof buf);
            if (n > 0) (void)!write(master_, buf, static_cast<std::size_t>(n));
        }
    }

    int master_ = -1;
    fs::path dir_;
    std::thread peer_;
    std::atomic<bool> stop_{false};
};

struct open_port_state {
    zuv::string_output out;
    zuv::string_output err;
    zuv::port_state st{out, err};

    explicit open_port_state(long rate) {
        if (zuv::open_port(st, "COM1", rate) != 0) {
            std::fprintf(stderr, "%s", out.text.c_str());
            std::abort();
        }
    }
    ~open_port_state() { zuv::close_port(st); }
};

double percentile(std::vector<double>& v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

void BM_RoundTripOneByte(benchmark::State& state) {
    constexpr long rate = 57600;
    echo_line line;
    open_port_state port(rate);
    std::vector<double> us;
    const std::uint8_t out_byte = 'U';
    for (auto _ : state) {
        std::uint8_t in_byte = 0;
        const auto start = clock_type::now();
        zuv::write_port(port.st, "COM1", &out_byte, 1);
        const int got = zuv::read_port(port.st, "COM1", &in_byte, 1, 1000);
        us.push_back(std::chrono::duration<double, std::micro>(clock_type::now() - start).count());
        if (got != 1 || in_byte != out_byte) state.SkipWithError("the echo did not come back");
    }
    state.counters["median_us"] = percentile(us, 0.5);
    state.counters["p99_us"] = percentile(us, 0.99);
    state.counters["aim_us"] = 100;
    // A pseudo-terminal has no wire: what the byte and its echo would take on
    // a real line at the port's rate, for scale.
    state.counters["link_rate"] = rate;
    state.counters["wire_seconds"] = zuv::bench::wire_seconds(2, rate);
}
BENCHMARK(BM_RoundTripOneByte)->Iterations(5000)->Unit(benchmark::kMicrosecond);

void BM_EmptyTimedRead(benchmark::State& state) {
    echo_line line;
    open_port_state port(19200);
    const int timeout_ms = static_cast<int>(state.range(0));
    // t + 10 for a timed read; the standing 1 ms for a read with time-out 0.
    const double allowed_ms = static_cast<double>(
        zuv::total_read_ms(zuv::read_timeouts(port.st.port.timeouts, timeout_ms), 1));
    std::vector<double> late_ms;
    for (auto _ : state) {
        std::uint8_t buf[40];
        const auto start = clock_type::now();
        const int got = zuv::read_port(port.st, "COM1", buf, 1, timeout_ms);
        const double took = std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
        late_ms.push_back(took - allowed_ms);
        if (got != 0) state.SkipWithError("a byte came where none was sent");
    }
    state.counters["median_late_ms"] = percentile(late_ms, 0.5);
    state.counters["p99_late_ms"] = percentile(late_ms, 0.99);
    state.counters["earliest_ms"] = late_ms.front();
    state.counters["allowed_ms"] = allowed_ms;
    state.counters["aim_late_ms"] = 2;
}
BENCHMARK(BM_EmptyTimedRead)->Arg(0)->Arg(20)->Arg(100)->Iterations(40)->Unit(benchmark::kMillisecond);

}  // namespace
