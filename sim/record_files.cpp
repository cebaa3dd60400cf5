#include "record_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "intel_hex.h"

namespace zuvsim {

namespace {

void make_dirs(const std::string& dir) {
    for (std::size_t at = dir.find('/', 1); at != std::string::npos; at = dir.find('/', at + 1))
        (void)mkdir(dir.substr(0, at).c_str(), 0755);
    (void)mkdir(dir.c_str(), 0755);
}

std::string write_all(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::strerror(errno);
        done += static_cast<std::size_t>(n);
    }
    return "";
}

std::string write_file(const std::string& dir, const std::string& name, const std::string& bytes) {
    const std::string path = dir + "/" + name;
    const std::string temp = dir + "/." + name + ".zuvsim." + std::to_string(getpid());
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return "cannot write " + temp + ": " + std::strerror(errno);
    std::string error = write_all(fd, bytes);
    if (close(fd) != 0 && error.empty()) error = std::strerror(errno);
    if (error.empty() && rename(temp.c_str(), path.c_str()) != 0) error = std::strerror(errno);
    if (error.empty()) return "";
    (void)unlink(temp.c_str());
    return "cannot write " + path + ": " + error;
}

std::string write_or_remove(const std::string& dir, const std::string& name, const std::optional<std::string>& bytes) {
    if (bytes) return write_file(dir, name, *bytes);
    (void)unlink((dir + "/" + name).c_str());
    return "";
}

}  // namespace

std::string write_download(const std::string& dir, const download_record& record) {
    make_dirs(dir);
    std::string error = write_or_remove(dir, "conf.bin", record.conf);
    if (error.empty()) error = write_or_remove(dir, "rules.bin", record.rules);
    if (error.empty()) error = write_file(dir, "received.txt", record.view);
    return error;
}

std::string write_loader_image(const std::string& dir, const std::vector<std::string>& records) {
    make_dirs(dir);
    const hex_image image = lay_out_image(records);
    std::string error = image.error.empty()
                            ? write_file(dir, "image.bin", std::string(image.bytes.begin(), image.bytes.end()))
                            : "no image.bin: " + image.error;
    if (!image.error.empty()) (void)unlink((dir + "/image.bin").c_str());
    std::string lines;
    for (const std::string& r : records) lines += r + "\n";
    const std::string records_error = write_file(dir, "records.txt", lines);
    return error.empty() ? records_error : error;
}

}  // namespace zuvsim
