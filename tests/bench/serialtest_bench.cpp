// The serial echo test against zuvsim's echo mode, run in-process on a port
// opened to the emulator. Timed from the first progress dot to the last, so
// the announcement's fixed one-second wait stays out of the figures.
// Aims: unpaced, under 50 us of host time per echo (1000 iterations); paced
// at 19200, within 2 % of the wire time of two character times per echo (20
// iterations).

#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/output.h"
#include "link/link_state.h"
#include "link/serial_test.h"
#include "serial/port.h"
#include "sim_process.h"

namespace {

using clock_type = std::chrono::steady_clock;

constexpr long link_rate = 19200;

// The processor time this process (the host side alone) has used, in seconds.
double host_cpu_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Keeps the output and, for each progress dot, the moment it was printed and
// the processor time used by then.
class dot_clock final : public zuv::output {
public:
    void write(const char* data, std::size_t len) override {
        const auto now = clock_type::now();
        const double cpu = host_cpu_seconds();
        for (std::size_t i = 0; i < len; ++i) {
            if (data[i] != '.') continue;
            dots.push_back(now);
            dot_cpu.push_back(cpu);
        }
        text.append(data, len);
    }
    std::string text;
    std::vector<clock_type::time_point> dots;
    std::vector<double> dot_cpu;
};

struct echo_run {
    bool passed = false;
    std::string output;
    double loop_seconds = 0;  // from the first dot to the last
    double cpu_seconds = 0;   // the host's processor time in that span
    long echoes = 0;          // the echoes in that span
};

echo_run run_serial_test(const std::vector<std::string>& sim_options, long iterations) {
    zuv::bench::sim_process sim(sim_options);
    dot_clock out;
    zuv::string_output err;
    zuv::link_state st(nullptr, out, err);
    std::snprintf(st.port_name, sizeof st.port_name, "COM1");
    echo_run run;
    if (zuv::open_port(st, st.port_name, link_rate) != 0) {
        run.output = out.text;
        return run;
    }
    st.connected = 1;
    zuv::serial_test(st, zuv::kw_serialtest, std::to_string(iterations));
    zuv::close_port(st);
    run.output = out.text;
    const std::string passed =
        "\nSerial test passed: wrote " + std::to_string(iterations * zuv::serial_test_chars_per_iteration) +
        " characters\n";
    run.passed = out.dots.size() == static_cast<std::size_t>(iterations) && out.text.ends_with(passed);
    if (run.passed && iterations > 1) {
        run.loop_seconds = std::chrono::duration<double>(out.dots.back() - out.dots.front()).count();
        run.cpu_seconds = out.dot_cpu.back() - out.dot_cpu.front();
        run.echoes = (iterations - 1) * zuv::serial_test_chars_per_iteration;
    }
    return run;
}

void BM_SerialTestUnpaced(benchmark::State& state) {
    constexpr long iterations = 1000;
    echo_run run;
    for (auto _ : state) {
        run = run_serial_test({}, iterations);
        if (!run.passed) {
            state.SkipWithError(("the echo test did not pass: " + run.output).c_str());
            return;
        }
        state.SetIterationTime(run.loop_seconds);
    }
    const double per_echo_us = run.loop_seconds * 1e6 / static_cast<double>(run.echoes);
    state.counters["echoes"] = static_cast<double>(run.echoes);
    state.counters["host_us_per_echo"] = per_echo_us;
    state.counters["aim_us_per_echo"] = 50;
    // The rest of each echo is the pseudo-terminal and the emulator.
    state.counters["host_cpu_us_per_echo"] = run.cpu_seconds * 1e6 / static_cast<double>(run.echoes);
    // What the same echoes take on a real line at the link rate, for scale.
    state.counters["link_rate"] = link_rate;
    state.counters["wire_seconds"] = zuv::bench::wire_seconds(2.0 * static_cast<double>(run.echoes), link_rate);
}
BENCHMARK(BM_SerialTestUnpaced)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_SerialTestPaced19200(benchmark::State& state) {
    constexpr long iterations = 20;
    echo_run run;
    for (auto _ : state) {
        run = run_serial_test({"--pace", "--rate", std::to_string(link_rate)}, iterations);
        if (!run.passed) {
            state.SkipWithError(("the echo test did not pass: " + run.output).c_str());
            return;
        }
        state.SetIterationTime(run.loop_seconds);
    }
    // Each echo is one character out and one back.
    const double wire = zuv::bench::wire_seconds(2.0 * static_cast<double>(run.echoes), link_rate);
    state.counters["echoes"] = static_cast<double>(run.echoes);
    state.counters["seconds"] = run.loop_seconds;
    state.counters["link_rate"] = link_rate;
    state.counters["wire_seconds"] = wire;
    state.counters["over_wire_percent"] = (run.loop_seconds / wire - 1.0) * 100.0;
    state.counters["aim_percent"] = 2;
    state.counters["over_wire_us_per_echo"] = (run.loop_seconds - wire) * 1e6 / static_cast<double>(run.echoes);
    state.counters["host_cpu_us_per_echo"] = run.cpu_seconds * 1e6 / static_cast<double>(run.echoes);
}
BENCHMARK(BM_SerialTestPaced19200)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
