#include "config/conf_record.h"

#include "config/config_state.h"

namespace zuv {

namespace {

constexpr conf_record make_defaults() {
    using namespace conf_field;
    conf_record r{};
    r.set(host_baud, std::uint32_t{19200});
    r.set(gps_baud, std::uint32_t{9600});
    r.set(tnc_baud, std::uint32_t{19200});
    r.set(altitude, std::int32_t{0});
    r.set(latitude, default_latitude);
    r.set(longitude, default_longitude);
    const char call[] = "NOTSET";
    for (std::size_t i = 0; i < sizeof call - 1; ++i)
        r.bytes[station_call.off + i] = static_cast<std::uint8_t>(call[i]);
    r.set(wide_max, std::uint16_t{3});
    r.set(wide_total, std::uint16_t{6});
    r.set(dupe_window, std::uint16_t{28});
    r.set(beacon_interval, std::uint16_t{600});
    r.set(icon, std::uint16_t{0x2F23});
    r.set(log_port, std::uint16_t{1});
    r.set(drop_mangled, std::uint16_t{1});
    r.set(fix_valid, std::uint16_t{1});
    r.set(run_mode, std::uint16_t{112});
    return r;
}

constexpr conf_record factory_image = make_defaults();

std::string_view bounded_text(const std::uint8_t* p, std::size_t width) {
    std::size_t n = 0;
    while (n < width && p[n] != 0) ++n;
    return {reinterpret_cast<const char*>(p), n};
}

}  // namespace

std::string_view conf_record::text(text_at t) const { return bounded_text(bytes.data() + t.off, t.width); }

std::string_view conf_record::text(slots_at s, std::size_t n) const {
    return bounded_text(bytes.data() + s.slot(n), s.stride);
}

const conf_record& conf_defaults() { return factory_image; }

void conf_load_defaults(config_state& st) {
    st.conf = factory_image;
    st.digi_path_count = 0;
}

long configured_link_rate(const conf_record& conf) {
    return conf.get(conf_field::have_gps) != 0 ? static_cast<long>(conf.get(conf_field::gps_baud))
                                                 : static_cast<long>(conf.get(conf_field::host_baud));
}

}  // namespace zuv
