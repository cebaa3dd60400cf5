#pragma once
// What the device received, written where a test can read it: each file
// under a temporary name first and then renamed, so a reader never sees half
// a file. The last file written of each set is the one to wait for.

#include <string>
#include <vector>

#include "device.h"

namespace zuvsim {

// DIR/conf.bin, DIR/rules.bin, then DIR/received.txt. A transfer that did not
// come leaves no file (an older one is removed). Returns "" or what failed.
std::string write_download(const std::string& dir, const download_record& record);

// DIR/image.bin, then DIR/records.txt (the accepted records, one a line).
std::string write_loader_image(const std::string& dir, const std::vector<std::string>& records);

}  // namespace zuvsim
