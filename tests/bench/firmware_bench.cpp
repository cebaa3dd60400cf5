// The firmware upload against zuvsim's boot loader, run in-process. Timed from
// the first progress line to the last, so the fixed waits before the records
// (the drain, the reset, the prompt, the sync and the identifier) stay out.
// Aims: unpaced, a 64 KiB image (4096 records of 16 bytes) at more than 2000
// records per second; paced at 19200, a 4 KiB image within 2 % of the wire
// time of its records and their ACKs. The files are made with objcopy by
// tests/firmware/make_firmware.sh.

#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/output.h"
#include "firmware/firmware_state.h"
#include "firmware/upload.h"
#include "link/link_state.h"
#include "sim_process.h"

namespace {

using clock_type = std::chrono::steady_clock;

double host_cpu_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Keeps the output and the moment of each progress line, with the processor
// time used by then.
class progress_clock final : public zuv::output {
public:
    void write(const char* data, std::size_t len) override {
        if (len > 0 && data[0] == '\r') {
            lines.push_back(clock_type::now());
            line_cpu.push_back(host_cpu_seconds());
        }
        text.append(data, len);
    }
    std::string text;
    std::vector<clock_type::time_point> lines;
    std::vector<double> line_cpu;
};

// The firmware files, made once for all the benchmarks and removed at exit.
class firmware_files {
public:
    firmware_files() {
        char tmpl[] = "/tmp/zuv_bench_fw_XXXXXX";
        if (mkdtemp(tmpl) == nullptr) std::abort();
        dir_ = tmpl;
        const std::string command =
            "bash '" ZUV_SOURCE_DIR "/tests/firmware/make_firmware.sh' '" + dir_.string() + "' >/dev/null";
        if (std::system(command.c_str()) != 0) std::abort();
    }
    ~firmware_files() { std::filesystem::remove_all(dir_); }
    firmware_files(const firmware_files&) = delete;
    firmware_files& operator=(const firmware_files&) = delete;
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

private:
    std::filesystem::path dir_;
};

std::string firmware_file(const std::string& name) {
    static const firmware_files files;
    return files.path(name);
}

std::vector<std::string> records_of(const std::string& name) {
    std::ifstream in(firmware_file(name + ".records"));
    std::vector<std::string> records;
    for (std::string line; std::getline(in, line);) records.push_back(line);
    return records;
}

struct upload_run {
    bool passed = false;
    std::string output;
    double loop_seconds = 0;  // from the first progress line to the last
    double cpu_seconds = 0;
    std::size_t timed_records = 0;  // the records acknowledged in that span
};

upload_run run_upload(const std::vector<std::string>& sim_options, const std::string& name) {
    const std::string file = firmware_file(name + ".hex");
    zuv::bench::sim_process sim(sim_options);
    progress_clock out;
    zuv::string_output err;
    zuv::link_state link(nullptr, out, err);
    zuv::firmware_state fw;
    upload_run run;
    const int rc = zuv::firmware(link, fw, 1, file.c_str());
    run.output = out.text;
    run.passed = rc == zuv::fw_ok && out.text.find("Error") == std::string::npos && out.lines.size() > 1;
    if (!run.passed) return run;
    run.loop_seconds = std::chrono::duration<double>(out.lines.back() - out.lines.front()).count();
    run.cpu_seconds = out.line_cpu.back() - out.line_cpu.front();
    run.timed_records = out.lines.size() - 1;
    return run;
}

void BM_FirmwareUnpaced64K(benchmark::State& state) {
    upload_run run;
    for (auto _ : state) {
        run = run_upload({}, "big64k");
        if (!run.passed) {
            state.SkipWithError(("the upload failed: " + run.output.substr(0, 2000)).c_str());
            return;
        }
        state.SetIterationTime(run.loop_seconds);
    }
    const double records = static_cast<double>(run.timed_records);
    state.counters["records"] = records;
    state.counters["records_per_second"] = records / run.loop_seconds;
    state.counters["aim_records_per_second"] = 2000;
    state.counters["host_us_per_record"] = run.loop_seconds * 1e6 / records;
    state.counters["host_cpu_us_per_record"] = run.cpu_seconds * 1e6 / records;
    // The same records and ACKs on a real line at 19200, for scale.
    std::size_t characters = 0;
    const auto all = records_of("big64k");
    for (std::size_t i = 1; i < all.size(); ++i) characters += all[i].size() + 2;
    state.counters["link_rate"] = zuv::firmware_rate;
    state.counters["wire_seconds"] = zuv::bench::wire_seconds(static_cast<double>(characters), zuv::firmware_rate);
}
BENCHMARK(BM_FirmwareUnpaced64K)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_FirmwarePaced19200(benchmark::State& state) {
    upload_run run;
    for (auto _ : state) {
        run = run_upload({"--pace"}, "objcopy");
        if (!run.passed) {
            state.SkipWithError(("the upload failed: " + run.output.substr(0, 2000)).c_str());
            return;
        }
        state.SetIterationTime(run.loop_seconds);
    }
    // Records 2 to N in the span: each record, its CR and the ACK.
    std::size_t characters = 0;
    const auto all = records_of("objcopy");
    for (std::size_t i = 1; i < all.size(); ++i) characters += all[i].size() + 2;
    const double wire = zuv::bench::wire_seconds(static_cast<double>(characters), zuv::firmware_rate);
    const double records = static_cast<double>(run.timed_records);
    state.counters["records"] = records;
    state.counters["seconds"] = run.loop_seconds;
    state.counters["link_rate"] = zuv::firmware_rate;
    state.counters["wire_seconds"] = wire;
    state.counters["over_wire_percent"] = (run.loop_seconds / wire - 1.0) * 100.0;
    state.counters["aim_percent"] = 2;
    state.counters["over_wire_us_per_record"] = (run.loop_seconds - wire) * 1e6 / records;
    state.counters["host_cpu_us_per_record"] = run.cpu_seconds * 1e6 / records;
}
BENCHMARK(BM_FirmwarePaced19200)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
