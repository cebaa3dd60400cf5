// zuvsim: a Zuvedidude on a pseudo-terminal, for the link tests and for trying
// the utility without a device. It publishes the terminal as a COM port (a
// port-map symlink, or a path of the caller's choice), prints one line when it
// is ready, logs every byte it receives, and checks the line settings the host
// put on the terminal against the rate the device runs at.

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "device.h"
#include "serial/line_rate.h"

namespace {

volatile std::sig_atomic_t stop_requested = 0;

void on_stop_signal(int) { stop_requested = 1; }

struct sim_config {
    zuvsim::device_options device;
    std::string link;       // where the port is published
    std::string log_path;   // every byte received, as received
    std::string trace_path; // one line per event
    int lifetime_s = 0;     // 0: until stopped
    bool hold = false;      // hold the port open and locked, as another program would
    bool share = false;     // let any user open the port
};

[[noreturn]] void usage(const char* why, int status = 2) {
    std::fprintf(status == 0 ? stdout : stderr,
                 "zuvsim: %s\n"
                 "usage: zuvsim [--com N | --link PATH] [--log FILE] [--trace FILE] [--lifetime SECONDS]\n"
                 "              [--rate R] [--product NAME] [--version TEXT] [--banner TEXT]\n"
                 "              [--silent] [--chatter] [--chatter-forever] [--no-prompt-after-rate]\n"
                 "              [--nul] [--vanish-on-version] [--hold] [--share]\n"
                 "--banner takes \\r, \\n, \\\\ and \\xHH escapes and replaces the whole answer to \"version\".\n",
                 why);
    std::exit(status);
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "zuvsim: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

std::string unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out.push_back(text[i]);
            continue;
        }
        const char e = text[++i];
        if (e == 'r') out.push_back('\r');
        else if (e == 'n') out.push_back('\n');
        else if (e == 'x' && i + 2 < text.size() + 1) {
            out.push_back(static_cast<char>(std::strtol(std::string(text.substr(i + 1, 2)).c_str(), nullptr, 16)));
            i += 2;
        } else out.push_back(e);
    }
    return out;
}

std::string port_map_link(int com) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string dir;
    if (xdg != nullptr && *xdg != '\0') dir = xdg;
    else if (home != nullptr && *home != '\0') dir = std::string(home) + "/.config";
    else usage("no XDG_CONFIG_HOME or HOME for the port map; give --link");
    return dir + "/zuvdigi/com" + std::to_string(com);
}

sim_config parse_args(int argc, char** argv) {
    sim_config cfg;
    int com = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) usage(("missing value after " + std::string(a)).c_str());
            return argv[++i];
        };
        if (a == "--help") usage("the emulated Zuvedidude on a pseudo-terminal", 0);
        else if (a == "--com") com = std::atoi(value().c_str());
        else if (a == "--link") cfg.link = value();
        else if (a == "--log") cfg.log_path = value();
        else if (a == "--trace") cfg.trace_path = value();
        else if (a == "--lifetime") cfg.lifetime_s = std::atoi(value().c_str());
        else if (a == "--rate") cfg.device.rate = std::atol(value().c_str());
        else if (a == "--product") cfg.device.product = value();
        else if (a == "--version") cfg.device.version = value();
        else if (a == "--banner") cfg.device.banner = unescape(value());
        else if (a == "--silent") cfg.device.silent = true;
        else if (a == "--chatter") cfg.device.chatter = true;
        else if (a == "--chatter-forever") cfg.device.chatter_forever = true;
        else if (a == "--no-prompt-after-rate") cfg.device.no_prompt_after_rate = true;
        else if (a == "--nul") cfg.device.nul_after_every_byte = true;
        else if (a == "--vanish-on-version") cfg.device.vanish_on_version = true;
        else if (a == "--hold") cfg.hold = true;
        else if (a == "--share") cfg.share = true;
        else usage(("unknown option " + std::string(a)).c_str());
    }
    if (com < 1 || com > 99) usage("--com wants a number from 1 to 99");
    if (cfg.link.empty()) cfg.link = port_map_link(com);
    return cfg;
}

void make_parent_dirs(const std::string& path) {
    for (std::size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1))
        (void)mkdir(path.substr(0, at).c_str(), 0755);
}

// Replaces whatever stood at link with a symlink to target, in one step.
void publish(const std::string& link, const std::string& target) {
    make_parent_dirs(link);
    const std::string temp = link + ".zuvsim." + std::to_string(getpid());
    (void)unlink(temp.c_str());
    if (symlink(target.c_str(), temp.c_str()) != 0) fail("cannot create " + temp);
    if (rename(temp.c_str(), link.c_str()) != 0) fail("cannot publish " + link);
}

void unpublish(const std::string& link, const std::string& target) {
    char buf[4096];
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    if (n > 0 && std::string_view(buf, static_cast<std::size_t>(n)) == target) (void)unlink(link.c_str());
}

// The state the line starts in: raw, so nothing the device says is echoed
// back, but at 50 bit/s with 2 stop bits, so a host that does not set its own
// rate and 8N1 is seen. (A Linux pseudo-terminal always keeps 8 data bits and
// no parity, whatever either side asks for.)
void set_unconfigured_line(int master) {
    termios tio {};
    if (tcgetattr(master, &tio) != 0) return;
    cfmakeraw(&tio);
    tio.c_cflag |= CSTOPB | CREAD | CLOCAL;
    cfsetispeed(&tio, B50);
    cfsetospeed(&tio, B50);
    (void)tcsetattr(master, TCSANOW, &tio);
}

// What is wrong with the host's line settings for a device at rate, or "".
// A burst that changed the device's rate may have been read together with
// bytes the host sent after it followed, so either rate is then right.
// On Linux the master reports the settings of the terminal's host side.
std::string line_fault(int master, long rate, long other_rate) {
    termios tio {};
    if (tcgetattr(master, &tio) != 0) return "cannot read the line settings";
    const long host_rate = zuv::get_line_rate(master);
    std::string problems;
    auto add = [&](const std::string& p) { problems += (problems.empty() ? "" : ", ") + p; };
    if (host_rate != rate && host_rate != other_rate) add("rate " + std::to_string(host_rate));
    if ((tio.c_cflag & CSIZE) != CS8) add("not 8 data bits");
    if ((tio.c_cflag & PARENB) != 0) add("parity");
    if ((tio.c_cflag & CSTOPB) != 0) add("2 stop bits");
    if ((tio.c_cflag & CREAD) == 0) add("receiver off");
#ifdef CRTSCTS
    if ((tio.c_cflag & CRTSCTS) != 0) add("hardware flow control");
#endif
    if ((tio.c_iflag & (IXON | IXOFF)) != 0) add("software flow control");
    if ((tio.c_lflag & (ICANON | ECHO | ISIG)) != 0 || (tio.c_oflag & OPOST) != 0 ||
        (tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP)) != 0)
        add("not raw");
    if (problems.empty()) return "";
    return "host line: " + problems + "; device expects " + std::to_string(rate) + " 8N1 raw";
}

class sim_files {
public:
    explicit sim_files(const sim_config& cfg) {
        if (!cfg.log_path.empty()) log_ = open_out(cfg.log_path);
        if (!cfg.trace_path.empty()) trace_ = open_out(cfg.trace_path);
    }
    void log(const char* data, std::size_t len) { write_all(log_, data, len); }
    void trace(const std::string& line) {
        const std::string text = line + "\n";
        write_all(trace_, text.data(), text.size());
    }

private:
    static int open_out(const std::string& path) {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) fail("cannot write " + path);
        return fd;
    }
    static void write_all(int fd, const char* data, std::size_t len) {
        while (fd >= 0 && len > 0) {
            const ssize_t n = write(fd, data, len);
            if (n <= 0) return;
            data += n;
            len -= static_cast<std::size_t>(n);
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

int open_master(std::string& slave_path) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) fail("cannot open a pseudo-terminal");
    if (grantpt(master) != 0 || unlockpt(master) != 0) fail("cannot unlock the pseudo-terminal");
    const char* name = ptsname(master);
    if (name == nullptr) fail("cannot name the pseudo-terminal");
    slave_path = name;
    (void)fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    (void)fcntl(master, F_SETFD, FD_CLOEXEC);
    return master;
}

struct sim_run {
    const sim_config& cfg;
    sim_files& files;
    int master;
    zuvsim::device dev;
    std::string last_fault;
    bool host_present = false;

    void deliver(const zuvsim::device_output& out) {
        for (const std::string& line : out.trace) files.trace(line);
        if (!out.bytes.empty()) send_to_host(master, out.bytes);
    }

    void check_line(long rate_before) {
        const std::string fault = line_fault(master, rate_before, dev.rate);
        if (!fault.empty() && fault != last_fault) files.trace("fault: " + fault);
        last_fault = fault;
    }

    // Returns false once the device has gone.
    bool receive() {
        char buf[4096];
        for (;;) {
            const ssize_t n = read(master, buf, sizeof buf);
            if (n <= 0) return true;
            host_present = true;
            files.log(buf, static_cast<std::size_t>(n));
            const long rate_before = dev.rate;
            zuvsim::device_output out;
            zuvsim::device_receive(dev, std::string_view(buf, static_cast<std::size_t>(n)), out);
            check_line(rate_before);
            deliver(out);
            if (dev.vanished) return false;
        }
    }

    // The line is not reset here: the host may already have opened it again
    // and set its new rate, which a reset would overwrite.
    void host_gone() {
        if (host_present) files.trace("host closed the port");
        host_present = false;
        last_fault.clear();
    }

    void loop() {
        using clock = std::chrono::steady_clock;
        const auto end = cfg.lifetime_s > 0 ? clock::now() + std::chrono::seconds(cfg.lifetime_s) : clock::time_point::max();
        int tick_ms = 0;
        while (stop_requested == 0 && clock::now() < end) {
            pollfd pfd{master, POLLIN, 0};
            const int wait_ms = tick_ms >= 0 ? tick_ms : 100;
            const int ready = poll(&pfd, 1, wait_ms);
            if (ready > 0 && (pfd.revents & POLLIN) != 0 && !receive()) return;
            if (ready > 0 && (pfd.revents & POLLHUP) != 0) {
                // No host has the port open: the master reports a hang-up until one opens it.
                host_gone();
                usleep(2000);
            }
            zuvsim::device_output out;
            tick_ms = zuvsim::device_tick(dev, out);
            deliver(out);
        }
    }
};

int hold_port(const std::string& slave_path) {
    const int fd = open(slave_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) fail("cannot hold " + slave_path);
    return fd;
}

}  // namespace

int main(int argc, char** argv) {
    const sim_config cfg = parse_args(argc, argv);
    std::signal(SIGTERM, on_stop_signal);
    std::signal(SIGINT, on_stop_signal);
    std::signal(SIGHUP, on_stop_signal);
    std::signal(SIGPIPE, SIG_IGN);

    std::string slave_path;
    const int master = open_master(slave_path);
    set_unconfigured_line(master);
    if (cfg.share && chmod(slave_path.c_str(), 0666) != 0) fail("cannot share " + slave_path);
    const int held = cfg.hold ? hold_port(slave_path) : -1;
    sim_files files(cfg);
    publish(cfg.link, slave_path);

    sim_run run{cfg, files, master, {}, {}, false};
    zuvsim::device_start(run.dev, cfg.device);
    std::printf("zuvsim: ready on %s as %s\n", slave_path.c_str(), cfg.link.c_str());
    std::fflush(stdout);

    run.loop();
    // What the host wrote before it went is still in the terminal: log it too.
    if (!run.dev.vanished) (void)run.receive();

    unpublish(cfg.link, slave_path);
    if (held >= 0) close(held);
    close(master);
    return 0;
}
