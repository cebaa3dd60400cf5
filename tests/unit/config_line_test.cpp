// The reader's line record and its tokenizer.

#include <gtest/gtest.h>

#include <string>

#include "config/conf_line.h"

namespace zuv {
namespace {

TEST(NextToken, CutsInPlaceAndContinuesFromTheRest) {
    char text[] = ",, host\t19200;x";
    char* rest = nullptr;
    char* tok = next_token(text, " \t,", &rest);
    ASSERT_NE(tok, nullptr);
    EXPECT_STREQ(tok, "host");
    EXPECT_EQ(tok, text + 3);
    EXPECT_EQ(text[7], '\0') << "the delimiter is overwritten";
    EXPECT_EQ(rest, text + 8);
    tok = next_token(rest, "#/; \t,", &rest);
    EXPECT_STREQ(tok, "19200");
    EXPECT_STREQ(rest, "x");
    tok = next_token(rest, " ", &rest);
    EXPECT_STREQ(tok, "x");
    EXPECT_EQ(*rest, '\0') << "a token at the end leaves the rest at the end";
}

TEST(NextToken, NoTokenLeavesTheRestAlone) {
    char* const untouched = reinterpret_cast<char*>(0x1);
    char* rest = untouched;
    char only_delims[] = " ,\t";
    char empty[] = "";
    EXPECT_EQ(next_token(nullptr, " ", &rest), nullptr);
    EXPECT_EQ(next_token(empty, " ", &rest), nullptr);
    EXPECT_EQ(next_token(only_delims, " ,\t", &rest), nullptr);
    EXPECT_EQ(rest, untouched);
}

TEST(ConfLine, CountsEachLineAndFindsTheFirstCommentCharacter) {
    struct comment_case {
        std::string text;
        int comment_start;
    } cases[] = {{"host 19200", no_comment}, {"host 19200 ; fast", 11}, {"a/b#c", 1}, {"#", 0}, {"", no_comment},
                 {std::string("call x\0# hidden", 15), no_comment}};
    conf_line_context ctx;
    for (const comment_case& c : cases) {
        const int before = ctx.line_number;
        conf_line_begin(ctx, c.text);
        EXPECT_EQ(ctx.line_number, before + 1);
        EXPECT_EQ(ctx.comment_start, c.comment_start) << c.text;
        EXPECT_STREQ(ctx.line_text, c.text.c_str());
        EXPECT_STREQ(ctx.work, c.text.c_str());
    }
}

TEST(ConfLine, NeverHoldsMoreThan255Characters) {
    conf_line_context ctx;
    conf_line_begin(ctx, std::string(400, 'a'));
    EXPECT_EQ(std::string(ctx.line_text).size(), 255u);
    EXPECT_EQ(std::string(ctx.work).size(), 255u);
}

}  // namespace
}  // namespace zuv
