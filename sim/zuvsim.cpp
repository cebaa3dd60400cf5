// zuvsim: a Zuvedidude on a pseudo-terminal, for the link tests and for trying
// the utility without a device. It publishes the terminal as a COM port (a
// port-map symlink, or a path of the caller's choice), prints one line when it
// is ready, logs every byte it receives, checks the line settings the host put
// on the terminal against the rate the device runs at, and records what a
// download or a firmware upload delivered.

#include <fcntl.h>
#include <sys/prctl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

#include "device.h"
#include "line.h"
#include "options.h"
#include "pty.h"
#include "record_files.h"

namespace {

using namespace zuvsim;

volatile std::sig_atomic_t stop_requested = 0;

// Closing the master throws away what the host has not read yet, and the
// master cannot see how far the host has read; so a hang-up waits this long
// after the last byte sent, for a host that reads to have it.
constexpr auto hang_up_linger = milliseconds(200);

void on_stop_signal(int) { stop_requested = 1; }

class sim_files {
public:
    explicit sim_files(const sim_config& cfg) {
        if (!cfg.log_path.empty()) log_ = open_out(cfg.log_path);
        if (!cfg.trace_path.empty()) trace_ = open_out(cfg.trace_path);
    }
    void log(std::string_view bytes) { write_all(log_, bytes); }
    void trace(const std::string& line) { write_all(trace_, line + "\n"); }

private:
    static int open_out(const std::string& path) {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) fail("cannot write " + path);
        return fd;
    }
    static void write_all(int fd, std::string_view bytes) {
        while (fd >= 0 && !bytes.empty()) {
            const ssize_t n = write(fd, bytes.data(), bytes.size());
            if (n <= 0) return;
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }
    int log_ = -1;
    int trace_ = -1;
};

// Sends what the device said; a host that does not read in time loses it, as
// a real line would.
void send_to_host(int master, const std::string& bytes) {
    std::size_t done = 0;
    for (int tries = 0; done < bytes.size() && tries < 200; ++tries) {
        const ssize_t n = write(master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return;
        pollfd pfd{master, POLLOUT, 0};
        (void)poll(&pfd, 1, 5);
    }
}

timespec to_timespec(duration d) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(d, duration::zero())).count();
    return {static_cast<std::time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

struct sim_run {
    const sim_config& cfg;
    sim_files& files;
    int master;
    device dev{};
    serial_line line;
    std::string last_fault;
    bool host_present = false;
    time_point last_sent = time_point::min();

    void record(const device_output& out) {
        for (const std::string& t : out.trace) files.trace(t);
        if (out.download && !cfg.received_dir.empty()) {
            const std::string error = write_download(cfg.received_dir, *out.download);
            files.trace(error.empty() ? "record: download in " + cfg.received_dir : "record: " + error);
        }
        if (out.loader_records && !cfg.image_dir.empty()) record_image(*out.loader_records);
    }

    void record_image(const std::vector<std::string>& records) {
        const std::string error = write_loader_image(cfg.image_dir, records);
        files.trace(error.empty() ? "record: image in " + cfg.image_dir : "record: " + error);
    }

    // The reply goes at the rate the device ran at when it was asked.
    void send(time_point at, const device_output& out, long rate) {
        record(out);
        line.to_host(at, out.bytes, out.hang_up, rate);
    }

    void check_line(const host_setting& setting, long rate_before) {
        const std::string fault = line_fault(setting, rate_before, dev.rate);
        if (!fault.empty() && fault != last_fault) files.trace("fault: " + fault);
        last_fault = fault;
    }

    void deliver(const arrival& a) {
        device_output out;
        const long rate_before = dev.rate;
        if (a.host_closed) {
            // The line is not reset here: the host may already have opened it
            // again and set its new rate, which a reset would overwrite.
            last_fault.clear();
            device_host_closed(dev, a.at, out);
        } else {
            const std::size_t taken = device_receive(dev, a.at, a.bytes, out);
            files.log(std::string_view(a.bytes).substr(0, taken));
            check_line(a.setting, rate_before);
        }
        send(a.at, out, rate_before);
    }

    void tick(time_point t) {
        device_output out;
        device_tick(dev, t, out);
        send(t, out, dev.rate);
    }

    // Returns false once the device has hung up and the line is to close.
    bool step(time_point now) {
        while (!dev.hung_up) {
            const auto a = line.take_arrival(now, dev.rate);
            if (!a) break;
            if (device_next_wake(dev) <= a->at) tick(a->at);
            deliver(*a);
        }
        tick(now);
        line.idle(now, dev.rate);
        const serial_line::departure d = line.take_departures(now);
        if (!d.bytes.empty()) {
            send_to_host(master, d.bytes);
            last_sent = now;
        }
        return !d.hang_up;
    }

    void read_host() {
        char buf[4096];
        for (;;) {
            const ssize_t n = read(master, buf, sizeof buf);
            if (n <= 0) return;
            host_present = true;
            line.from_host(sim_clock::now(), std::string_view(buf, static_cast<std::size_t>(n)),
                           read_host_setting(master));
        }
    }

    void wait_for_host(duration limit) {
        pollfd pfd{master, POLLIN, 0};
        const timespec ts = to_timespec(limit);
        if (ppoll(&pfd, 1, &ts, nullptr) <= 0) return;
        if ((pfd.revents & POLLIN) != 0) read_host();
        if ((pfd.revents & POLLHUP) != 0) {
            // No host has the port open: the master reports a hang-up until one opens it.
            if (host_present) line.host_closed(sim_clock::now());
            host_present = false;
            const timespec pause = to_timespec(std::min<duration>(limit, milliseconds(2)));
            (void)nanosleep(&pause, nullptr);
        }
    }

    // Returns false when the device hung up.
    bool loop() {
        const time_point end = cfg.lifetime_s > 0 ? sim_clock::now() + std::chrono::seconds(cfg.lifetime_s) : never;
        while (stop_requested == 0) {
            const time_point now = sim_clock::now();
            if (now >= end) return true;
            if (!step(now)) return false;
            const time_point wake = std::min({line.next_arrival(dev.rate), line.next_departure(),
                                              line.next_idle_burst(), device_next_wake(dev), end,
                                              now + milliseconds(100)});
            wait_for_host(wake - now);
        }
        return true;
    }

    void linger() {
        if (last_sent == time_point::min()) return;
        const timespec pause = to_timespec(last_sent + hang_up_linger - sim_clock::now());
        while (stop_requested == 0 && nanosleep(&pause, nullptr) != 0 && errno == EINTR) {
        }
    }

    // What the host wrote before it went, arrived or not, is logged too.
    void log_the_rest() {
        read_host();
        files.log(line.undelivered());
    }
};

}  // namespace

int main(int argc, char** argv) {
    const sim_config cfg = parse_options(argc, argv);
    std::signal(SIGTERM, on_stop_signal);
    std::signal(SIGINT, on_stop_signal);
    std::signal(SIGHUP, on_stop_signal);
    std::signal(SIGPIPE, SIG_IGN);
    // A paced line sleeps until each byte is due; the default timer slack
    // (50 us) would make every such sleep late by up to a tenth of a
    // character time at 19200.
    (void)prctl(PR_SET_TIMERSLACK, 1UL);

    std::string slave_path;
    const int master = open_master(slave_path);
    set_unconfigured_line(master);
    if (cfg.share && chmod(slave_path.c_str(), 0666) != 0) fail("cannot share " + slave_path);
    const int held = cfg.hold ? hold_port(slave_path) : -1;
    sim_files files(cfg);
    publish(cfg.link, slave_path);

    sim_run run{cfg, files, master, {}, serial_line(cfg.line), {}, false};
    device_start(run.dev, cfg.device);
    std::printf("zuvsim: ready on %s as %s\n", slave_path.c_str(), cfg.link.c_str());
    std::fflush(stdout);

    if (run.loop()) run.log_the_rest();
    else run.linger();
    if (const auto records = device_loader_records(run.dev); records && !cfg.image_dir.empty())
        run.record_image(*records);

    unpublish(cfg.link, slave_path);
    if (held >= 0) close(held);
    close(master);
    return 0;
}
