#include "config/conf_reader.h"

#include <string>

#include "config/conf_items.h"
#include "config/conf_line.h"
#include "config/conf_record.h"
#include "config/config_state.h"
#include "core/args.h"
#include "core/visible.h"
#include "core/text_lines.h"

namespace zuv {

const std::array<keyword_entry, 30> conf_keyword_table{{
    {"call", kw_call},
    {"ssid", kw_ssid},
    {"position", kw_position},
    {"base", kw_position},
    {"lat", kw_lat},
    {"lon", kw_lon},
    {"altitude", kw_altitude},
    {"havegps", kw_havegps},
    {"log", kw_log},
    {"dropmangld", kw_dropmangld},
    {"haltonerr", kw_haltonerr},
    {"fixvalid", kw_fixvalid},
    {"host", kw_host},
    {"tnc", kw_tnc},
    {"gps", kw_gps},
    {"nsr", kw_nsr},
    {"relaydrop", kw_relaydrop},
    {"widemax", kw_widemax},
    {"widetotal", kw_widetotal},
    {"dupewin", kw_dupewin},
    {"ratelimcall", kw_ratelimcall},
    {"nonaprs", kw_nonaprs},
    {"digipath", kw_digipath},
    {"beacon", kw_beacon},
    {"icon", kw_icon},
    {"bcomment", kw_bcomment},
    {"controlcall", kw_controlcall},
    {"substitutepath", kw_substitutepath},
    {"deletepath", kw_deletepath},
    {"uitrace", kw_uitrace},
}};

namespace {

constexpr std::string_view keyword_delims = " \t,";

// A configuration file starts from the factory image but keeps what the
// rules file set; the implicit action is always a valid one afterwards.
void start_from_defaults(config_state& st) {
    const std::uint16_t rules = st.conf.get(conf_field::rule_count);
    const std::uint16_t implicit = st.conf.get(conf_field::implicit_action);
    conf_load_defaults(st);
    st.conf.set(conf_field::rule_count, rules);
    const bool valid = implicit == implicit_drop || implicit == implicit_pass;
    st.conf.set(conf_field::implicit_action, valid ? implicit : implicit_pass);
}

// Every row is tried, so an abbreviation that fits two keywords is refused.
const keyword_entry* find_conf_keyword(std::string_view word, int& matches) {
    const keyword_entry* found = nullptr;
    matches = 0;
    for (const keyword_entry& row : conf_keyword_table) {
        if (!keyword_prefix_match(word, row.text)) continue;
        ++matches;
        found = &row;
    }
    return found;
}

// One line already in ctx. 0 when it was handled or skipped.
int conf_line(config_state& st, conf_line_context& ctx, int& items) {
    char* rest = ctx.work;
    const char* word = next_token(rest, keyword_delims, &rest);
    if (word == nullptr || comment_chars.find(word[0]) != std::string_view::npos) return 0;
    int matches = 0;
    const keyword_entry* row = find_conf_keyword(word, matches);
    if (matches > 1) {
        st.out.print("\a\aError: %s[%d]: Ambiguous command: %s: %s\n", visible(st.out, ctx.file_name).c_str(),
                     ctx.line_number, visible(st.out, word).c_str(), visible(st.out, ctx.line_text).c_str());
        return -7;
    }
    if (row == nullptr) {
        st.out.print("\a\aError: %s[%d]: command %s invalid: %s\n", visible(st.out, ctx.file_name).c_str(),
                     ctx.line_number, visible(st.out, word).c_str(), visible(st.out, ctx.line_text).c_str());
        return -7;
    }
    ++items;
    return conf_item(st, ctx, *row, rest);
}

}  // namespace

int conf_process_stream(config_state& st, std::FILE* conf_file, const char* file_name) {
    conf_line_context ctx;
    ctx.file_name = file_name;
    start_from_defaults(st);
    int items = 0;
    text_line_source src{conf_file};
    for (;;) {
        std::string_view text;
        const line_read got = read_text_line(src, text);
        if (got == line_read::end) break;
        if (got == line_read::failed) {
            // A file that breaks off part way must not pass for a whole one.
            st.out.print("\a\aError: cannot read %s\n", visible(st.out, file_name).c_str());
            return -2;
        }
        conf_line_begin(ctx, text);
        if (const int rc = conf_line(st, ctx, items); rc != 0) return rc;
    }
    st.conf_processed = 1;
    st.out.print("Configuration items processed %d\n", items);
    return 0;
}

int conf_process(config_state& st, const char* conf_fp) {
    if (conf_fp == nullptr) {
        st.out.put("conf_process: Error: param conf_fp is invalid\n");
        return -1;
    }
    std::FILE* fp = open_text_file(conf_fp);
    if (fp == nullptr) {
        st.out.print("\a\aError: cannot open %s\n", visible(st.out, conf_fp).c_str());
        return -2;
    }
    const int rc = conf_process_stream(st, fp, conf_fp);
    std::fclose(fp);
    return rc;
}

void configure_command(config_state& st, arg_cursor& args) {
    const auto name = args.next_file_name();
    if (!name) {
        st.out.put("\a\aError: missing argument: file_name\n");
        return;
    }
    const std::string file_name(*name);
    if (conf_process(st, file_name.c_str()) != 0) st.out.put("\a\aError: Configuration processing failed\n");
}

}  // namespace zuv
