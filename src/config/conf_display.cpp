#include "config/conf_display.h"

#include <algorithm>
#include <string>

#include "config/conf_record.h"
#include "config/config_state.h"
#include "core/visible.h"
#include "core/version.h"

namespace zuv {

namespace {

const char* yes_no(std::uint16_t flag) { return flag != 0 ? "Yes" : "No"; }
const char* en_dis(std::uint16_t flag) { return flag != 0 ? "En" : "Dis"; }

const char* implicit_word(std::uint16_t action) {
    if (action == implicit_drop) return "Drop";
    if (action == implicit_pass) return "Pass";
    return "?";
}

void print_settings(config_state& st) {
    using namespace conf_field;
    const conf_record& c = st.conf;
    // The text fields are bounded copies, so a field without its zero byte
    // can never be read past its end.
    const std::string call = visible(st.out, c.text(station_call));
    const std::string comment = visible(st.out, c.text(beacon_comment));
    const std::string control = visible(st.out, c.text(control_call));
    const std::uint16_t icon_word = c.get(icon);
    st.out.print("Configuration %s\nStation Call\t%*s\tSSID %ld\t\tRun Mode %s\n"
                 "Base Lat %10.6f\tLon %11.5f    Altitude %ld meters\n"
                 "Host baud\t%lu\nGPS  baud\t%lu\nTNC  baud\t%lu\n"
                 "WIDE Max %u\tWIDE Total %u\n"
                 "Dupe Window %u sec.\tCall Rate Limit %u sec.\n"
                 "Beacon %u sec.\tIcon %c%c\n"
                 "Beacon Comment: %s\nControl Call: %s\n"
                 "NSR: %sabled\tRelay Drop: %sabled",
                 version_text, 6, call.c_str(), static_cast<long>(c.get(ssid)), c.get(run_mode) != 0 ? "On" : "Off",
                 static_cast<double>(c.get(latitude)), static_cast<double>(c.get(longitude)),
                 static_cast<long>(c.get(altitude)), static_cast<unsigned long>(c.get(host_baud)),
                 static_cast<unsigned long>(c.get(gps_baud)), static_cast<unsigned long>(c.get(tnc_baud)),
                 static_cast<unsigned>(c.get(wide_max)), static_cast<unsigned>(c.get(wide_total)),
                 static_cast<unsigned>(c.get(dupe_window)), static_cast<unsigned>(c.get(call_rate_limit)),
                 static_cast<unsigned>(c.get(beacon_interval)), static_cast<char>(icon_word >> 8),
                 static_cast<char>(icon_word & 0x7F), comment.c_str(), control.c_str(), en_dis(c.get(nsr)),
                 en_dis(c.get(relay_drop)));
}

void print_digi_path(config_state& st) {
    const int count = std::clamp<int>(st.digi_path_count, 0, static_cast<int>(conf_field::digi_path.count));
    st.out.print("\nDigi Path[%d]: ", static_cast<int>(st.digi_path_count));
    for (int n = 0; n < count; ++n) {
        const auto slot = st.conf.slot(conf_field::digi_path, static_cast<std::size_t>(n));
        const std::string element =
            visible(st.out, std::string_view(reinterpret_cast<const char*>(slot.data()), slot.size()));
        st.out.print("%s%s", element.c_str(), n + 1 < count ? "," : "");
    }
}

void print_flags(config_state& st) {
    using namespace conf_field;
    const conf_record& c = st.conf;
    st.out.print("\nLog Port: %s\nUITrace: %s\tHave GPS: %s\n"
                 "Fix Valid: %s\tPass packets without valid position: %s\n"
                 "Halt On Error: %s\tDrop Mangled Packet: %s\n"
                 "Rule count %u\tImplicit Rule Action: %s\n",
                 yes_no(c.get(log_port)), yes_no(c.get(ui_trace)), yes_no(c.get(have_gps)),
                 yes_no(c.get(fix_valid)), yes_no(c.get(non_aprs)), yes_no(c.get(halt_on_error)),
                 yes_no(c.get(drop_mangled)), static_cast<unsigned>(c.get(rule_count)),
                 implicit_word(c.get(implicit_action)));
}

}  // namespace

void conf_display(config_state& st) {
    print_settings(st);
    print_digi_path(st);
    print_flags(st);
}

}  // namespace zuv
