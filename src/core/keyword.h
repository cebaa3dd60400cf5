#pragma once
// The one keyword numbering shared by the command table, the configuration
// keyword table and the rule keyword table. The rule-type codes 53 to 59 are
// stored in rule records and travel to the device, so every value is fixed.

#include <string_view>

namespace zuv {

enum keyword_code : int {
    kw_download = 0,
    kw_firmware = 1,
    kw_gps = 2,
    kw_tnc = 3,
    kw_host = 4,
    kw_baud = 5,
    kw_exit = 8,  // exit, quit, x
    kw_call = 9,
    kw_ssid = 10,
    kw_position = 11,  // position, base
    kw_lat = 12,
    kw_lon = 13,
    kw_widemax = 14,
    kw_widetotal = 15,
    kw_haltonerr = 16,
    kw_dropmangld = 17,
    kw_fixvalid = 18,
    kw_relaydrop = 19,
    kw_nsr = 20,
    kw_nonaprs = 21,
    kw_help = 22,  // help, ?
    kw_dconfigure = 23,
    kw_drules = 24,
    kw_angles = 26,
    kw_havegps = 27,
    kw_configure = 28,
    kw_rules = 29,
    kw_connect = 30,
    kw_disconnect = 31,
    kw_log = 32,
    kw_repeat = 33,  // "."
    kw_dupewin = 34,
    kw_ratelimcall = 35,
    kw_digipath = 36,
    kw_beacon = 37,
    kw_bcomment = 38,
    kw_icon = 39,
    kw_controlcall = 40,
    kw_uitrace = 42,
    kw_altitude = 43,
    kw_serialtest = 44,
    kw_substitutepath = 46,
    kw_deletepath = 47,
    kw_deditpath = 49,
    kw_implicit = 50,
    kw_pass = 51,
    kw_drop = 52,
    kw_destin = 53,  // destin, dst
    kw_source = 54,  // source, src
    kw_circle = 55,
    kw_compass = 56,
    kw_rectangle = 57,
    kw_sector = 58,
    kw_digi = 59,
};

struct keyword_entry {
    const char* text;  // lower case
    keyword_code code;
};

// True when word, ignoring the case of ASCII letters, is the whole of name or
// its beginning. An empty word or one longer than name never matches.
bool keyword_prefix_match(std::string_view word, std::string_view name);

}  // namespace zuv
