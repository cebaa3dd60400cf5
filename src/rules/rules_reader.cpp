#include "rules/rules_reader.h"

#include <climits>
#include <cstring>
#include <string>

#include "core/args.h"
#include "core/visible.h"
#include "core/text_lines.h"
#include "rules/rule_line.h"
#include "rules/rules_state.h"

namespace zuv {

const std::array<rule_action_entry, 3> rule_action_table{{
    {"drop", action_drop},
    {"pass", action_pass},
    {"implicit", action_implicit},
}};

const std::array<keyword_entry, 12> rule_keyword_table{{
    {"implicit", kw_implicit},
    {"pass", kw_pass},
    {"drop", kw_drop},
    {"destin", kw_destin},
    {"dst", kw_destin},
    {"source", kw_source},
    {"src", kw_source},
    {"circle", kw_circle},
    {"compass", kw_compass},
    {"rectangle", kw_rectangle},
    {"sector", kw_sector},
    {"digi", kw_digi},
}};

rule_line::rule_line(rules_state& state, std::string_view name, int line_number, std::string_view line_text)
    : st(state), file_name(name), number(line_number), text(line_text),
      comment_at(line_text.find_first_of(comment_chars)), cursor(line_text) {}

void line_error_head(const rule_line& ln) {
    ln.st.out.print("\a\aError: %s[%d]: ", visible(ln.st.out, ln.file_name).c_str(), ln.number);
}

int line_error_tail(const rule_line& ln, int code) {
    ln.st.out.print(":\n%s\n", visible(ln.st.out, ln.text).c_str());
    return code;
}

int line_error(const rule_line& ln, const char* text, int code) {
    line_error_head(ln);
    ln.st.out.put(text);
    return line_error_tail(ln, code);
}

namespace {

struct rules_read_state {
    int line_number = 0;
    int accepted = 0;  // rule lines and implicit lines
    int implicit = 0;  // implicit lines
    // The line of each stored rule in full, for the duplicate message; the
    // record itself holds at most 32767.
    std::array<int, max_rules> rule_lines{};

    int stored() const { return accepted - implicit; }
};

std::int16_t stored_line_number(int number) {
    return static_cast<std::int16_t>(number > INT16_MAX ? INT16_MAX : number);
}

bool is_comment_char(char c) { return comment_chars.find(c) != std::string_view::npos; }

// A prefix lookup that counts every matching row and keeps the last one.
template <class Row>
struct row_lookup {
    int matches = 0;
    const Row* row = nullptr;
};

template <class Row, std::size_t N>
row_lookup<Row> lookup_prefix(const std::array<Row, N>& rows, std::string_view token) {
    row_lookup<Row> hit;
    for (const Row& r : rows) {
        if (!keyword_prefix_match(token, r.text)) continue;
        ++hit.matches;
        hit.row = &r;
    }
    return hit;
}

int token_error(const rule_line& ln, const char* before, std::string_view token, const char* after, int code) {
    line_error_head(ln);
    ln.st.out.put(before);
    put_visible(ln.st.out, token);
    ln.st.out.put(after);
    return line_error_tail(ln, code);
}

void reset_rules(rules_state& st) {
    st.rule_table = rule_array{};
    st.conf.set(conf_field::rule_count, std::uint16_t{0});
    st.conf.set(conf_field::implicit_action, implicit_pass);
    st.rules_processed = 0;
}

void set_implicit_rule(rules_state& st, keyword_code code, std::uint8_t action) {
    const bool drop = code == kw_drop || (code == kw_implicit && action == action_drop);
    st.conf.set(conf_field::implicit_action, drop ? implicit_drop : implicit_pass);
}

int build_rule(rules_read_state& rs, rule_line& ln, keyword_code code, std::uint8_t action) {
    const int index = rs.stored();
    rule_record& rec = ln.st.rule_table[static_cast<std::size_t>(index)];
    rec.set(rule_field::flags, action);
    rec.set(rule_field::command, static_cast<std::uint8_t>(code));
    rec.set(rule_field::line, stored_line_number(ln.number));
    if (const int rc = read_rule_arguments(ln, code, rec); rc != 0) return rc;

    const int dupe = find_rule_dupe(ln.st.rule_table, index, rec);
    if (dupe >= 0) {
        ln.st.out.print("\a\aError: %s[%d]: Duplicate Rule on line %d\n", visible(ln.st.out, ln.file_name).c_str(),
                        ln.number, rs.rule_lines[static_cast<std::size_t>(dupe)]);
        return rules_duplicate;
    }
    rs.rule_lines[static_cast<std::size_t>(index)] = ln.number;
    ++rs.accepted;
    return 0;
}

int process_line(rules_read_state& rs, rule_line& ln) {
    const auto first = ln.cursor.next(word_separators);
    if (!first || is_comment_char((*first)[0])) return 0;
    const auto action = lookup_prefix(rule_action_table, *first);
    if (action.matches == 0) return token_error(ln, "action ", *first, " invalid", rules_bad_action);
    if (action.matches > 1) return token_error(ln, "action ", *first, " ambiguous", rules_bad_action);

    const auto second = ln.cursor.next(word_separators);
    if (!second) return line_error(ln, "missing arguments", rules_missing_arguments);
    if (is_comment_char((*second)[0])) return line_error(ln, "missing command", rules_missing_command);
    if (rs.accepted >= static_cast<int>(max_rules)) {
        line_error_head(ln);
        ln.st.out.print("rule limit (%d) exceeded", static_cast<int>(max_rules));
        return line_error_tail(ln, rules_limit_exceeded);
    }
    const auto keyword = lookup_prefix(rule_keyword_table, *second);
    if (keyword.matches > 1) return token_error(ln, "Ambiguous command: ", *second, "", rules_bad_keyword);
    if (keyword.matches == 0) return token_error(ln, "command ", *second, " invalid", rules_bad_keyword);

    switch (keyword.row->code) {
    case kw_implicit:
    case kw_pass:
    case kw_drop:
        set_implicit_rule(ln.st, keyword.row->code, action.row->value);
        ++rs.accepted;
        ++rs.implicit;
        return 0;
    default:
        return build_rule(rs, ln, keyword.row->code, action.row->value);
    }
}

}  // namespace

int rules_read(rules_state& st, std::FILE* fp, std::string_view file_name) {
    reset_rules(st);
    rules_read_state rs;
    text_line_source src{fp};
    for (;;) {
        std::string_view text;
        const line_read got = read_text_line(src, text);
        if (got == line_read::end) break;
        if (got == line_read::failed) {
            st.out.print("\a\aError: cannot read %s\n", visible(st.out, file_name).c_str());
            return rules_cannot_read;
        }
        if (rs.line_number < INT_MAX) ++rs.line_number;
        rule_line ln(st, file_name, rs.line_number, text);
        if (const int rc = process_line(rs, ln); rc != 0) return rc;
    }
    st.conf.set(conf_field::rule_count, static_cast<std::uint16_t>(rs.stored()));
    st.rules_processed = 1;
    st.out.print("Rules processed %d, implicit %d\n", rs.stored(), rs.implicit);
    return 0;
}

int rules_process(rules_state& st, const char* rfp) {
    if (rfp == nullptr) {
        st.out.put("rules_process: Error: param rfp is invalid\n");
        return rules_no_file_name;
    }
    std::FILE* fp = open_text_file(rfp);
    if (fp == nullptr) {
        st.out.print("\a\aError: cannot open %s\n", visible(st.out, rfp).c_str());
        return rules_cannot_open;
    }
    const int rc = rules_read(st, fp, rfp);
    std::fclose(fp);
    return rc;
}

int find_rule_dupe(const rule_array& table, int count, const rule_record& rep) {
    if (count > static_cast<int>(table.size())) count = static_cast<int>(table.size());
    for (int i = 0; i < count; ++i) {
        const rule_record& r = table[static_cast<std::size_t>(i)];
        // command and flags tell most rules apart, so they are compared first.
        if (r.get(rule_field::command) != rep.get(rule_field::command) ||
            r.get(rule_field::flags) != rep.get(rule_field::flags))
            continue;
        if (std::memcmp(r.bytes.data(), rep.bytes.data(), rule_field::command.off) == 0) return i;
    }
    return -1;
}

int check_rule_dupe(rules_state& st, int count, const rule_record* rep) {
    if (rep == nullptr) {
        st.out.put("check_rule_dupe: Error: param rep is invalid\n");
        return -1;
    }
    const int i = find_rule_dupe(st.rule_table, count, *rep);
    return i < 0 ? 0 : st.rule_table[static_cast<std::size_t>(i)].get(rule_field::line);
}

void rules_command(rules_state& st, arg_cursor& args) {
    const auto name = args.next_file_name();
    if (!name) {
        st.out.put("\a\aError: missing argument: file_name\n");
        return;
    }
    const std::string rfp(*name);
    if (rules_process(st, rfp.c_str()) != 0) st.out.put("\a\aError: Rule processing failed\n");
}

}  // namespace zuv
