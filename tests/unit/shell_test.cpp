#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/args.h"
#include "serial/baud.h"
#include "shell/commands.h"
#include "shell/shell.h"
#include "test_state.h"

namespace zuv {
namespace {

std::vector<std::string> tokens(std::string_view line, std::string_view seps) {
    arg_cursor cur(line);
    std::vector<std::string> got;
    while (auto t = cur.next(seps)) got.emplace_back(*t);
    return got;
}

TEST(ArgCursor, NumbersSplitOnCommasBlanksAndTabs) {
    EXPECT_EQ(tokens("connect, 3\t 19200 ", number_separators),
              (std::vector<std::string>{"connect", "3", "19200"}));
    EXPECT_EQ(tokens(" ,\t", number_separators), std::vector<std::string>{});
}

TEST(ArgCursor, FileNameStartsRightAfterTheSeparatorThatEndedTheCommandWord) {
    struct file_case {
        const char* line;
        const char* name;  // nullptr: no name
    } cases[] = {
        {"configure my file.cfg", "my file.cfg"},
        {"configure  two.cfg", " two.cfg"},  // the second blank is part of the name
        {"configure,\t,a.cfg,b.cfg", "a.cfg"},
        {"configure\tc d.cfg\tignored", "c d.cfg"},
        {"configure", nullptr},
        {"configure ", nullptr},
    };
    for (const file_case& c : cases) {
        arg_cursor cur(c.line);
        ASSERT_TRUE(cur.next_number());
        const auto name = cur.next_file_name();
        if (c.name == nullptr) {
            EXPECT_FALSE(name) << c.line;
        } else {
            ASSERT_TRUE(name) << c.line;
            EXPECT_EQ(*name, c.name) << c.line;
        }
    }
}

TEST(DecimalValue, ReadsLikeAtol) {
    EXPECT_EQ(decimal_value("  -12x"), -12);
    EXPECT_EQ(decimal_value("+7"), 7);
    EXPECT_EQ(decimal_value("abc"), 0);
    EXPECT_EQ(decimal_value(""), 0);
    EXPECT_EQ(decimal_value("99999999999999999999999"), LONG_MAX);
    EXPECT_EQ(decimal_value("-99999999999999999999999"), LONG_MIN);
    EXPECT_EQ(decimal_int("99999999999"), INT_MAX);
}

TEST(PortArg, AcceptsNumbersAndComNames) {
    for (const char* token : {"3", "com3", "COM3", "Com3", " 3"}) {
        testing::console_fixture con;
        EXPECT_EQ(port_arg(con.st().out, token), 3) << token;
        EXPECT_EQ(con.out.text, "");
    }
    testing::console_fixture con;
    EXPECT_EQ(port_arg(con.st().out, "20"), 20);
    EXPECT_EQ(port_arg(con.st().out, "com1"), 1);
}

TEST(PortArg, RefusesNumbersOutsideOneToTwentyQuotingTheToken) {
    for (const char* token : {"0", "21", "comx", "com", "co3", "-1", "com21"}) {
        testing::console_fixture con;
        EXPECT_FALSE(port_arg(con.st().out, token)) << token;
        EXPECT_EQ(con.out.text, std::string("\a\aError: invalid COM port number (1..20): ") + token + "\n");
    }
}

TEST(RateArg, AcceptsOnlyTheFiveLinkRates) {
    for (long rate : valid_bauds) {
        testing::console_fixture con;
        EXPECT_EQ(rate_arg(con.st().out, std::to_string(rate)), rate);
        EXPECT_EQ(con.out.text, "");
    }
    struct refused {
        const char* token;
        const char* message;
    } cases[] = {
        {"115200", "\a\aError: invalid baud rate: 115200\n"},
        {"2400", "\a\aError: invalid baud rate: 2400\n"},
        {"fast", "\a\aError: invalid baud rate: 0\n"},
        {"-9600", "\a\aError: invalid baud rate: -9600\n"},
    };
    for (const refused& c : cases) {
        testing::console_fixture con;
        EXPECT_FALSE(rate_arg(con.st().out, c.token));
        EXPECT_EQ(con.out.text, c.message);
    }
}

TEST(FindCommand, ResolvesAbbreviationsAndReportsAmbiguity) {
    struct lookup_case {
        const char* word;
        lookup_status status;
        const char* name;
    } cases[] = {
        {"d", lookup_status::ambiguous, nullptr},
        {"c", lookup_status::ambiguous, nullptr},
        {"co", lookup_status::ambiguous, nullptr},
        {"con", lookup_status::ambiguous, nullptr},
        {"conf", lookup_status::found, "configure"},
        {"conn", lookup_status::found, "connect"},
        {"di", lookup_status::found, "disconnect"},
        {"do", lookup_status::found, "download"},
        {"e", lookup_status::found, "exit"},
        {"q", lookup_status::found, "quit"},
        {"h", lookup_status::found, "help"},
        {"HELP", lookup_status::found, "help"},
        {"Help", lookup_status::found, "help"},
        {"?", lookup_status::found, "?"},
        {"x", lookup_status::found, "x"},
        {".", lookup_status::found, "."},
        {"helpme", lookup_status::unknown, nullptr},
        {"configurex", lookup_status::unknown, nullptr},
        {"zzz", lookup_status::unknown, nullptr},
        {"\xe9", lookup_status::unknown, nullptr},
        {"s", lookup_status::found, "serialtest"},
        {"r", lookup_status::found, "rules"},
    };
    for (const lookup_case& c : cases) {
        const command_lookup got = find_command(c.word);
        EXPECT_EQ(got.status, c.status) << c.word;
        if (c.name != nullptr && got.entry != nullptr) {
            EXPECT_STREQ(got.entry->name, c.name) << c.word;
        }
    }
}

TEST(CmdSummary, BracketsTheConfiguredRateOrNone) {
    struct rate_case {
        std::uint32_t host;
        std::uint16_t have_gps;
        const char* line;
    } cases[] = {
        {19200, 0, "           Valid Baud Rates:\t4800 9600 [19200] 38400 57600 \n"},
        {19200, 1, "           Valid Baud Rates:\t4800 [9600] 19200 38400 57600 \n"},
        {2400, 0, "           Valid Baud Rates:\t4800 9600 19200 38400 57600 \n"},
    };
    for (const rate_case& c : cases) {
        testing::console_fixture con;
        con.st().config.conf.set(conf_field::host_baud, c.host);
        con.st().config.conf.set(conf_field::have_gps, c.have_gps);
        cmd_summary(con.st());
        EXPECT_NE(con.out.text.find(c.line), std::string::npos) << con.out.text;
    }
}

TEST(GetBaud, FindsKnownRatesOnly) {
    string_output out;
    EXPECT_EQ(get_baud(out, 56000), 56000);
    EXPECT_EQ(get_baud(out, 57600), 57600);
    EXPECT_EQ(get_baud(out, 115200), 115200);
    EXPECT_EQ(get_baud(out, 110), 110);
    EXPECT_FALSE(get_baud(out, 28800));
    EXPECT_FALSE(get_baud(out, -9600));
    EXPECT_EQ(out.text, "");
    for (long rate : valid_bauds) EXPECT_EQ(get_baud(out, rate), rate);
    EXPECT_FALSE(get_baud(out, 0));
    EXPECT_EQ(out.text, "get_baud: Error: invalid baud: 0\n");
}

// The shell loop on scripted input: what matters here is the state it
// leaves; the exact transcripts are the golden tests' job.
TEST(RunShell, RepeatKeepsTheLastLineThatDidNotStartWithAPeriod) {
    testing::console_fixture con("help me\n\n.again\n   \n");
    EXPECT_EQ(run_shell(con.st()), 1);
    EXPECT_STREQ(con.st().prev_line, "   ");
}

TEST(RunShell, ExitCommandsEndWithStatusZero) {
    for (const char* script : {"exit\n", "quit\n", "x\n", "E\n", "Q\n", "exit now\n"}) {
        testing::console_fixture con(script);
        EXPECT_EQ(run_shell(con.st()), 0) << script;
    }
}

TEST(RunShell, SurvivesNulAndHighBytesAndEndlessWords) {
    std::string script = std::string("he\0lp\n", 6) + "\xff\xfe\x80\n" + std::string(5000, 'w') + "\n";
    testing::console_fixture con(script);
    EXPECT_EQ(run_shell(con.st()), 1);
    EXPECT_NE(con.out.text.find("\a\aError: unknown command: \xff\xfe\x80\n"), std::string::npos);
}

}  // namespace
}  // namespace zuv
