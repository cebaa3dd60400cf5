#pragma once
// Scripted answers: what the device says to the K-th packet of a download or
// the K-th record of a firmware upload instead of its own verdict. K counts
// from 1 and stays the same for a resend, so "the first N arrivals" of K are
// the first try and its resends.

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zuvsim {

struct scripted_reply {
    enum class action { send_byte, silent, hang_up };
    action what = action::send_byte;
    unsigned char byte = 0;
    std::string extra;  // bytes sent right after `byte`: a device that says more than one byte
    int arrivals = 0;   // the first `arrivals` arrivals of K; 0: every arrival
};

using reply_script = std::map<long, scripted_reply>;

// The scripted reply for the given arrival (from 1) of number, if any.
const scripted_reply* script_reply(const reply_script& script, long number, int arrival);

// "K:ACTION,..." with the download's actions: nakN, byte=HH (or several
// pairs, byte=HHHH...: those bytes together), nul, silent, hangup.
// On a bad script: nullopt, and why in error.
std::optional<reply_script> parse_download_script(std::string_view text, std::string& error);

// "K:ACTION,..." with the boot loader's actions: CODExN, CODE (or several
// codes, CODECODE...: those bytes together), silent, hangup.
std::optional<reply_script> parse_loader_script(std::string_view text, std::string& error);

}  // namespace zuvsim
