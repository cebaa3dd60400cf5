// The Intel HEX check: each fault in its order with its message and code,
// what is passed over, the line ends and the long-line pieces, read errors,
// and files written by objcopy and srec_cat.

#include "firmware/inhexverify.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/output.h"
#include "failing_stream.h"
#include "temp_dir_test.h"

namespace zuv {
namespace {

using namespace std::string_literals;

// A record line from its length, address, type and data pairs, with the
// checksum that makes the sum of every pair 0.
std::string record(const std::string& body) {
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < body.size(); i += 2) sum += std::stoul(body.substr(i, 2), nullptr, 16);
    char checksum[3];
    std::snprintf(checksum, sizeof checksum, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return ":" + body + checksum;
}

std::string repeat(const std::string& pair, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += pair;
    return s;
}

struct check_result {
    int rc;
    std::string out;
};

check_result check_text(std::string text) {
    std::FILE* fp = text.empty() ? std::tmpfile() : fmemopen(text.data(), text.size(), "r");
    string_output out;
    const int rc = inhexverify(out, fp);
    std::fclose(fp);
    return {rc, out.text};
}

// The lines of a file joined with ending after each.
std::string file_of(const std::vector<std::string>& lines, const std::string& ending) {
    std::string text;
    for (const std::string& line : lines) text += line + ending;
    return text;
}

constexpr const char* sample_record = ":10010000214601360121470136007EFE09D2190140";
constexpr const char* eof_record = ":00000001FF";

struct hex_case {
    const char* what;
    std::vector<std::string> lines;
    int rc;
    std::string out;
};

std::vector<hex_case> hex_cases() {
    return {
        {"an end-of-file record alone", {eof_record}, 1, ""},
        {"16 data bytes at 0x0100", {sample_record, eof_record}, 2, ""},
        {"lower-case digits", {":10010000214601360121470136007efe09d2190140"}, 1, ""},
        {"checksum one too high",
         {":10010000214601360121470136007EFE09D2190141"},
         hex_bad_checksum,
         "\a\aError: checksum mismatch (0x01) for line 1 in Firmware file!\n"},
        {"checksum one too low",
         {eof_record, ":10010000214601360121470136007EFE09D219013F"},
         hex_bad_checksum,
         "\a\aError: checksum mismatch (0xff) for line 2 in Firmware file!\n"},
        {"a last unpaired character is a pair of its own",
         {":00000001FFA"},
         hex_bad_checksum,
         "\a\aError: checksum mismatch (0x0a) for line 1 in Firmware file!\n"},
        {"type 06", {record("00000006")}, hex_bad_type, "\a\aError: invalid type (06) for line 1 in Firmware file!\n"},
        {"type 10", {record("00000010")}, hex_bad_type, "\a\aError: invalid type (10) for line 1 in Firmware file!\n"},
        {"a line too short for a type shows what it has",
         {":"},
         hex_bad_type,
         "\a\aError: invalid type () for line 1 in Firmware file!\n"},
        {"a line that ends inside the type",
         {":0000000"},
         hex_bad_type,
         "\a\aError: invalid type (0) for line 1 in Firmware file!\n"},
        {"the type check comes before the length check",
         {record("0200000600")},
         hex_bad_type,
         "\a\aError: invalid type (06) for line 1 in Firmware file!\n"},
        {"length 0x10 with 15 data bytes",
         {record("10010000" + repeat("11", 15))},
         hex_bad_length,
         "\a\aError: invalid record length (16) for line 1 in Firmware file!\n"},
        {"an unpaired 0 after a good record",
         {":00000001FF0"},
         hex_bad_length,
         "\a\aError: invalid record length (0) for line 1 in Firmware file!\n"},
        {"129 data bytes",
         {record("81000000" + repeat("00", 129))},
         hex_too_long,
         "\a\aError: record length > 128 (129) for line 1 in Firmware file!\n"},
        {"128 data bytes", {record("80000000" + repeat("5A", 128))}, 1, ""},
        {"a data record at 0x0102",
         {record("0401020001020304")},
         hex_misaligned,
         "\a\aError: data record offset boundary error for line 1 in Firmware file!\n"},
        {"data records at 0x...0, 4, 8, C and c",
         {record("04000000DEADBEEF"), record("04000400DEADBEEF"), record("04000800DEADBEEF"),
          record("04000C00DEADBEEF"), record("04000c00deadbeef")},
         5,
         ""},
        {"an extended linear address record at 0x0102", {record("020102040001")}, 1, ""},
        {"an address record of any data length", {record("06000002001122334455"), record("00000005")}, 2, ""},
        {"records after the end-of-file record count",
         {eof_record, sample_record},
         2,
         ""},
        {"lines that are not records are passed over but numbered",
         {"# made by hand", "", sample_record, "; a comment", "  :indented is no record", record("00000006")},
         hex_bad_type,
         "\a\aError: invalid type (06) for line 6 in Firmware file!\n"},
        {"an empty file", {}, hex_empty, "\a\aError: Firmware file is empty!\n"},
        {"a file without records", {"# nothing", "", "00000001FF"}, hex_empty, "\a\aError: Firmware file is empty!\n"},
        {"a blank inside a pair reads as a number but is refused",
         {eof_record, ":01000000 1FE"},
         hex_not_hex,
         "\a\aError: invalid hexadecimal digit (0x20) at position 9 for line 2 in Firmware file!\n"},
        {"0G reads as 0 but is refused",
         {":010000000GFF"},
         hex_not_hex,
         "\a\aError: invalid hexadecimal digit (0x47) at position 10 for line 1 in Firmware file!\n"},
        {"a negative length that fits the line is refused",
         {":-1010000"},
         hex_not_hex,
         "\a\aError: invalid hexadecimal digit (0x2d) at position 1 for line 1 in Firmware file!\n"},
    };
}

TEST(InHexVerify, EachFaultWithItsMessageAndCodeWithEitherLineEnd) {
    for (const hex_case& c : hex_cases()) {
        for (const std::string ending : {"\n", "\r\n"}) {
            const check_result got = check_text(file_of(c.lines, ending));
            EXPECT_EQ(got.rc, c.rc) << c.what << (ending == "\n" ? " (LF)" : " (CR LF)");
            EXPECT_EQ(got.out, c.out) << c.what << (ending == "\n" ? " (LF)" : " (CR LF)");
        }
    }
}

TEST(InHexVerify, LastLineNeedsNoLineEnd) {
    EXPECT_EQ(check_text("# firmware\n"s + sample_record + "\n" + eof_record).rc, 2);
    EXPECT_EQ(check_text("\r\n"s + eof_record + "\r\n").rc, 1) << "an empty CR LF line is no record";
}

// A line is read in pieces of 511 characters, each a line of its own; a line
// of exactly 511 characters before its line end is one line.
TEST(InHexVerify, LongLinesArriveInPiecesOf511) {
    const std::string bad = record("00000006");
    struct piece_case {
        const char* what;
        std::string text;
        int rc;
        std::string out;
    } cases[] = {
        {"511 characters then LF", std::string(511, 'x') + "\n" + bad + "\n", hex_bad_type,
         "\a\aError: invalid type (06) for line 2 in Firmware file!\n"},
        {"511 characters then CR LF", std::string(511, 'x') + "\r\n" + bad + "\n", hex_bad_type,
         "\a\aError: invalid type (06) for line 2 in Firmware file!\n"},
        {"512 characters", std::string(512, 'x') + "\n" + bad + "\n", hex_bad_type,
         "\a\aError: invalid type (06) for line 3 in Firmware file!\n"},
        {"a record that begins a second piece is checked as one", std::string(511, 'x') + eof_record + "\n", 1, ""},
        {"a record line of 511 characters is one piece, too long", ":FA" + std::string(506, '0') + "06\n", hex_too_long,
         "\a\aError: record length > 128 (250) for line 1 in Firmware file!\n"},
    };
    for (const piece_case& c : cases) {
        const check_result got = check_text(c.text);
        EXPECT_EQ(got.rc, c.rc) << c.what;
        EXPECT_EQ(got.out, c.out) << c.what;
    }
}

TEST(InHexVerify, ReadsFromTheStartWhereverTheFileStands) {
    std::string text = "# two records\n"s + sample_record + "\n" + eof_record + "\n";
    std::FILE* fp = fmemopen(text.data(), text.size(), "r");
    string_output out;
    EXPECT_EQ(inhexverify(out, fp), 2);
    EXPECT_EQ(inhexverify(out, fp), 2) << "the second check rewinds";
    std::fclose(fp);
}

TEST(InHexVerify, NoFileAndAFileThatBreaksOff) {
    string_output out;
    EXPECT_EQ(inhexverify(out, nullptr), hex_no_file);
    EXPECT_EQ(out.text, "inhexverify: Error: param fp is invalid\n");

    // Records read so far must not pass for the whole file.
    std::FILE* fp = testing::failing_stream(std::string(sample_record) + "\n" + eof_record + "\n");
    ASSERT_NE(fp, nullptr);
    string_output broken;
    EXPECT_EQ(inhexverify(broken, fp), hex_cannot_read);
    EXPECT_EQ(broken.text, "\a\aError: cannot read line 3 in Firmware file!\n");
    std::fclose(fp);
}

TEST(HexPair, ReadsUpToTwoDigitsAfterBlanksAndASign) {
    struct pair_case {
        const char* field;
        int value;
    } cases[] = {
        {"00", 0}, {"7E", 126}, {"ff", 255}, {"A", 10}, {"", 0},   {"0G", 0},  {"G0", 0},
        {" 1", 1}, {"\t1", 1},  {"-1", -1}, {"-", 0}, {" -", 0}, {"1 ", 1},
    };
    for (const pair_case& c : cases) EXPECT_EQ(hex_pair(c.field), c.value) << '"' << c.field << '"';
}

// Files written by the tools firmware is built with pass whole, their record
// count being every record the tool wrote.
class InHexVerifyToolFiles : public testing::temp_dir_test {};

TEST_F(InHexVerifyToolFiles, ObjcopyAndSrecCatFilesPass) {
    const std::string command =
        "bash '" ZUV_SOURCE_DIR "/tests/firmware/make_firmware.sh' '" + dir_.string() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << "make_firmware.sh needs objcopy, srec_cat and python3";
    struct tool_case {
        const char* file;
        int records;  // data records, plus the address record and the end-of-file record the tool adds
    } cases[] = {
        {"objcopy.hex", 4096 / 16 + 1},
        {"srec16.hex", 1 + 2000 / 16 + 1},
        {"srec32.hex", 1 + (2000 + 31) / 32 + 1},
        {"srec128.hex", 1 + (2000 + 127) / 128 + 1},
        {"big64k.hex", 65536 / 16 + 1},
    };
    for (const tool_case& c : cases) {
        std::FILE* fp = open_text_file((dir_ / c.file).string().c_str());
        ASSERT_NE(fp, nullptr) << c.file;
        string_output out;
        EXPECT_EQ(inhexverify(out, fp), c.records) << c.file;
        EXPECT_EQ(out.text, "") << c.file;
        std::fclose(fp);
    }
}

}  // namespace
}  // namespace zuv
