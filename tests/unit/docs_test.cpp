// The README and the manual page describe the same program: every command,
// configuration keyword and rule keyword the program knows is named in both.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "config/conf_reader.h"
#include "rules/rules_reader.h"
#include "shell/commands.h"

namespace zuv {
namespace {

std::string read_source_file(const std::string& name) {
    std::ifstream in(std::string(ZUV_SOURCE_DIR) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// roff writes a hyphen as \- and sets words in bold or italic with escapes;
// the plain words are what a reader sees.
std::string roff_words(std::string page) {
    page = std::regex_replace(page, std::regex(R"(\\f[BIPR])"), "");
    return std::regex_replace(page, std::regex(R"(\\-)"), "-");
}

bool names_word(const std::string& text, const std::string& word) {
    const std::regex whole("(^|[^A-Za-z0-9_-])" + std::regex_replace(word, std::regex(R"([.?*])"), R"(\$&)") +
                           "($|[^A-Za-z0-9_-])");
    return std::regex_search(text, whole);
}

class Documentation : public ::testing::Test {
protected:
    const std::string readme = read_source_file("README.md");
    const std::string manual = roff_words(read_source_file("doc/zuvdigi.1.in"));

    void expect_in_both(const std::string& word, const char* what) {
        EXPECT_NE(readme.find("`" + word), std::string::npos) << what << " " << word << " is not in README.md";
        EXPECT_TRUE(names_word(manual, word)) << what << " " << word << " is not in zuvdigi(1)";
    }
};

TEST_F(Documentation, NamesEveryCommand) {
    for (const command_entry& row : command_table) expect_in_both(row.name, "the command");
}

TEST_F(Documentation, NamesEveryConfigurationKeyword) {
    for (const keyword_entry& row : conf_keyword_table) expect_in_both(row.text, "the configuration keyword");
}

TEST_F(Documentation, NamesEveryRuleKeywordAndAction) {
    for (const keyword_entry& row : rule_keyword_table) expect_in_both(row.text, "the rule keyword");
    for (const rule_action_entry& row : rule_action_table) expect_in_both(row.text, "the rule action");
}

}  // namespace
}  // namespace zuv
