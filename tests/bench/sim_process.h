#pragma once
// zuvsim, the emulated device, started for a benchmark: published as COM1 in
// a private port map (XDG_CONFIG_HOME is pointed at it), with the caller's
// options, and stopped when the object goes.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "wire_time.h"

namespace zuv::bench {

// Where the build put zuvsim.
inline const char* sim_path() { return ZUV_SIM_PATH; }

class sim_process {
public:
    explicit sim_process(const std::vector<std::string>& options) {
        char tmpl[] = "/tmp/zuv_bench_sim_XXXXXX";
        if (mkdtemp(tmpl) == nullptr) std::abort();
        dir_ = tmpl;
        std::filesystem::create_directories(dir_ / "zuvdigi");
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
        int ready[2];
        if (pipe(ready) != 0) std::abort();
        std::vector<std::string> args{sim_path(), "--link", (dir_ / "zuvdigi" / "com1").string()};
        args.insert(args.end(), options.begin(), options.end());
        pid_ = fork();
        if (pid_ < 0) std::abort();
        if (pid_ == 0) {
            dup2(ready[1], 1);
            close(ready[0]);
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(ready[1]);
        // One line, "zuvsim: ready ...", once the port is published.
        char c = 0;
        while (read(ready[0], &c, 1) == 1 && c != '\n') {
        }
        close(ready[0]);
        if (c != '\n') std::abort();
    }
    ~sim_process() {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        std::filesystem::remove_all(dir_);
    }
    sim_process(const sim_process&) = delete;
    sim_process& operator=(const sim_process&) = delete;

    // A folder of the run's own, for what the emulator writes.
    const std::filesystem::path& dir() const { return dir_; }

private:
    std::filesystem::path dir_;
    pid_t pid_ = -1;
};

}  // namespace zuv::bench
