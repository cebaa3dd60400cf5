// --check: what a reader printed becomes FILE:LINE: error: message, and a
// file gets the verdict its console command would give it.
#include "shell/file_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_dir_test.h"

namespace zuv {

void PrintTo(const reader_fault& f, std::ostream* os) {
    *os << (f.line ? std::to_string(*f.line) : std::string("-")) << ": \"" << f.text << "\"";
}

namespace {

TEST(FileKind, ComesFromTheExtensionInAnyLetterCase) {
    struct kind_case {
        const char* name;
        std::optional<file_kind> kind;
    } cases[] = {
        {"station.cfg", file_kind::configuration},
        {"STATION.CFG", file_kind::configuration},
        {"dir/filters.rules", file_kind::rules},
        {"digi.hex", file_kind::firmware},
        {"digi.Ihx", file_kind::firmware},
        {"station.cfg.bak", std::nullopt},
        {"station", std::nullopt},
        {"rules", std::nullopt},
        {".cfg", std::nullopt},
        {"", std::nullopt},
    };
    for (const kind_case& c : cases) EXPECT_EQ(kind_from_extension(c.name), c.kind) << c.name;
}

struct fault_case {
    const char* what;
    const char* name;
    std::string printed;
    std::vector<reader_fault> faults;
};

TEST(ReaderFaults, EachMessageBecomesOneLocatedLine) {
    const fault_case cases[] = {
        {"a configuration fault", "my.cfg",
         "\a\aError: my.cfg[12]: invalid SSID argument range [0..15]: 16: ssid 16\n",
         {{12, "invalid SSID argument range [0..15]: 16: ssid 16"}}},
        {"a rules fault repeats its line on a line of its own", "my.rules",
         "\a\aError: my.rules[3]: missing Latitude:\npass circle 10\n",
         {{3, "missing Latitude: pass circle 10"}}},
        {"an angle's complaint comes first and is about the same line", "my.rules",
         "\a\aError: Dotted format: must have 2 periods: [s][D]DD.MM.[F*]\n"
         "\tor DMC format must have at least one of [DdMmCc] identifiers\n"
         "\a\aError: my.rules[7]: invalid Latitude range [-90..90]: 1.0:\npass circle 10 39.5, -105d\n",
         {{7, "Dotted format: must have 2 periods: [s][D]DD.MM.[F*] or DMC format must have at least one of "
              "[DdMmCc] identifiers"},
          {7, "invalid Latitude range [-90..90]: 1.0: pass circle 10 39.5, -105d"}}},
        {"a message that names no line", "my.cfg", "\a\aError: cannot open my.cfg\n", {{std::nullopt, "cannot open my.cfg"}}},
        {"a line of the file that starts with BEL stays in its message", "my.rules",
         "\a\aError: my.rules[2]: action \adrop invalid:\n\adrop x\n",
         {{2, "action \adrop invalid: \adrop x"}}},
        {"another file's name in brackets is text", "my.cfg", "\a\aError: other.cfg[4]: x\n", {{std::nullopt, "other.cfg[4]: x"}}},
        {"more digits than a line number has are text", "my.cfg", "\a\aError: my.cfg[12345678901]: x\n",
         {{std::nullopt, "my.cfg[12345678901]: x"}}},
        {"a line beyond the 16-bit count as the reader printed it", "my.cfg", "\a\aError: my.cfg[-32768]: x\n",
         {{-32768, "x"}}},
        {"a path edit's message ends with its line", "my.cfg",
         "\a\aError: my.cfg[5]: argument(s) missing: Digi Match\nsubstitutepath 1\n",
         {{5, "argument(s) missing: Digi Match substitutepath 1"}}},
        {"a NUL byte of the file passes on, with what follows it", "my.cfg",
         std::string("\a\aError: my.cfg[6]: Digi Match: Digi X- invalid SSID range [0..15]: \0\ndeletepath 1 X- 1\n", 88),
         {{6, std::string("Digi Match: Digi X- invalid SSID range [0..15]: \0 deletepath 1 X- 1", 67)}}},
        {"a firmware fault names its line at the end", "fw.hex",
         "\a\aError: checksum mismatch (0x01) for line 17 in Firmware file!\n",
         {{17, "checksum mismatch (0x01) for line 17 in Firmware file!"}}},
        {"a firmware fault without a line", "fw.hex", "\a\aError: Firmware file is empty!\n",
         {{std::nullopt, "Firmware file is empty!"}}},
        {"a function's own complaint without BEL", "my.cfg", "conf_process: Error: param conf_fp is invalid\n",
         {{std::nullopt, "conf_process: Error: param conf_fp is invalid"}}},
        {"nothing printed", "my.cfg", "", {}},
    };
    for (const fault_case& c : cases) EXPECT_EQ(reader_faults(c.printed, c.name), c.faults) << c.what;
}

class FileCheck : public testing::temp_dir_test {
protected:
    int check(std::vector<check_item> items) {
        out.text.clear();
        return check_files(items, out);
    }
    string_output out;
};

TEST_F(FileCheck, GoodFilesGetOneSummaryLineEach) {
    const std::string cfg = write("good.cfg", "call N0CALL\nssid 3\n# comment\n");
    const std::string rules = write("good.rules", "drop destin APZ*\npass source N0CALL-9\nimplicit drop\n");
    const std::string one = write("one.rules", "pass source N0CALL\n");
    const std::string hex = write("end.hex", "# only the end\n:00000001FF\n");
    EXPECT_EQ(check({{std::nullopt, cfg}, {std::nullopt, rules}, {std::nullopt, one}, {std::nullopt, hex}}), 0);
    EXPECT_EQ(out.text, cfg + ": ok: 2 configuration items\n" + rules + ": ok: 2 rules, implicit action drop\n" + one +
                            ": ok: 1 rule, implicit action pass\n" + hex + ": ok: 1 record\n");
}

TEST_F(FileCheck, OneBadFileFailsTheWholeCheckButEveryFileIsRead) {
    const std::string bad = write("bad.cfg", "call N0CALL\nssid 16\n");
    const std::string good = write("good.cfg", "call N0CALL\n");
    EXPECT_EQ(check({{std::nullopt, bad}, {std::nullopt, good}}), 1);
    EXPECT_EQ(out.text, bad + ":2: error: invalid SSID argument range [0..15]: 16: ssid 16\n" + good +
                            ": ok: 1 configuration item\n");
}

TEST_F(FileCheck, AKindGivenInFrontOfANameOverridesItsExtension) {
    const std::string rules = write("filters.txt", "drop destin APZ*\n");
    const std::string cfg_named_rules = write("station.rules", "call N0CALL\n");
    EXPECT_EQ(check({{file_kind::rules, rules}, {file_kind::configuration, cfg_named_rules}}), 0);
    EXPECT_EQ(check({{std::nullopt, rules}}), 1);
    EXPECT_NE(out.text.find(": error: unknown kind of file"), std::string::npos) << out.text;
}

TEST_F(FileCheck, ControlBytesFromAFileAreShownOnlyAtATerminal) {
    const std::string name = write("osc.cfg", "\x1b]0;PWNED\a call N0CALL\n");
    EXPECT_EQ(check({{std::nullopt, name}}), 1);
    EXPECT_EQ(out.text, name + ":1: error: command \x1b]0;PWNED\a invalid: \x1b]0;PWNED\a call N0CALL\n");
    out.terminal = true;
    EXPECT_EQ(check({{std::nullopt, name}}), 1);
    EXPECT_EQ(out.text, name + ":1: error: command ^[]0;PWNED^G invalid: ^[]0;PWNED^G call N0CALL\n");
}

}  // namespace
}  // namespace zuv
