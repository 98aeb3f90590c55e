#include <gtest/gtest.h>

#include "cli/args.h"
#include "cli/dates.h"
#include "cli/errors.h"

namespace tlcli {
namespace {

using Arity = FlagSpec::Arity;

const std::vector<FlagSpec> kSpecs = {
    {"--since", Arity::Value, "DATE", ""},
    {"--json", Arity::None, "", ""},
    {"--sim", Arity::Optional, "PROFILE", ""},
    {"--output", Arity::Value, "FILE", "", "-o"},
};

TEST(ParseArgs, ValuesInBothFormsAliasesAndPositionals) {
    const Args a =
        ParseArgs({"show", "--since", "2011-01-01", "-o", "x.html", "--json", "42"}, kSpecs);
    EXPECT_EQ(a.positional, (std::vector<std::string>{"show", "42"}));
    EXPECT_EQ(a.Get("--since", ""), "2011-01-01");
    EXPECT_EQ(a.Get("--output", ""), "x.html");
    EXPECT_TRUE(a.Has("--json"));
    const Args b = ParseArgs({"--since=2011-02-02", "--output="}, kSpecs);
    EXPECT_EQ(b.Get("--since", ""), "2011-02-02");
    EXPECT_TRUE(b.Has("--output"));
    EXPECT_EQ(b.Get("--output", "unset"), "");
}

TEST(ParseArgs, NegativeNumbersAndDoubleDashArePositional) {
    const Args a = ParseArgs({"set", "-1", "--", "--json"}, kSpecs);
    EXPECT_EQ(a.positional, (std::vector<std::string>{"set", "-1", "--json"}));
    EXPECT_FALSE(a.Has("--json"));
}

TEST(ParseArgs, OptionalValueTakesOnlyAcceptedWords) {
    auto notCommand = [](const std::string& w) { return w != "info"; };
    EXPECT_EQ(ParseArgs({"--sim", "tft", "info"}, kSpecs, notCommand).Get("--sim", "?"), "tft");
    const Args a = ParseArgs({"--sim", "info"}, kSpecs, notCommand);
    EXPECT_EQ(a.Get("--sim", "?"), "");
    EXPECT_EQ(a.positional, std::vector<std::string>{"info"});
    EXPECT_EQ(ParseArgs({"--sim", "--json"}, kSpecs, notCommand).Get("--sim", "?"), "");
}

TEST(ParseArgs, RejectsUnknownFlagsAndMissingOrStrayValues) {
    EXPECT_THROW(ParseArgs({"--bogus"}, kSpecs), UsageError);
    EXPECT_THROW(ParseArgs({"--since"}, kSpecs), UsageError);
    EXPECT_THROW(ParseArgs({"--json=1"}, kSpecs), UsageError);
}

TEST(ParseInt, StrictDecimalWithinRange) {
    std::string err;
    EXPECT_EQ(ParseInt("42", 0, 100, &err), 42);
    EXPECT_EQ(ParseInt("-7", -10, 0, &err), -7);
    EXPECT_FALSE(ParseInt("4x", 0, 100, &err));
    EXPECT_NE(err.find("not a whole number"), std::string::npos);
    EXPECT_FALSE(ParseInt("", 0, 100, &err));
    EXPECT_FALSE(ParseInt("101", 0, 100, &err));
    EXPECT_NE(err.find("out of range"), std::string::npos);
    EXPECT_FALSE(ParseInt("99999999999999999999", 0, 100, &err));
    const Args a = ParseArgs({"--since", "x"}, kSpecs);
    EXPECT_THROW(a.Int("--since", 0, 0, 10), UsageError);
    EXPECT_EQ(a.Int("--json", 5, 0, 10), 5);
}

TEST(ParseDateTime, AcceptsDateWithOptionalTime) {
    std::string err;
    auto t = ParseDateTime("2011-04-15 08:30:05", false, &err);
    ASSERT_TRUE(t);
    EXPECT_EQ(FormatDateTime(*t), "2011-04-15 08:30:05");
    t = ParseDateTime("2011-04-15T08:30", false, &err);
    ASSERT_TRUE(t);
    EXPECT_EQ(FormatDateTime(*t), "2011-04-15 08:30:00");
}

TEST(ParseDateTime, DateAloneIsStartOrEndOfDay) {
    std::string err;
    EXPECT_EQ(FormatDateTime(*ParseDateTime("2011-04-15", false, &err)), "2011-04-15 00:00:00");
    EXPECT_EQ(FormatDateTime(*ParseDateTime("2011-04-15", true, &err)), "2011-04-15 23:59:59");
    // An explicit time is kept as given, also for an end.
    EXPECT_EQ(FormatDateTime(*ParseDateTime("2011-04-15 12:00", true, &err)),
              "2011-04-15 12:00:00");
    auto today = ParseDateTime("today", true, &err);
    ASSERT_TRUE(today);
    EXPECT_EQ(today->hour, 23);
    EXPECT_TRUE(ParseDateTime("yesterday", false, &err));
}

TEST(ParseDateTime, RejectsImpossibleDatesAndMalformedText) {
    std::string err;
    for (const char* bad : {"2011-02-29", "2011-13-01", "2011-00-10", "2011-04-31",
                            "2011-04-15 24:00", "2011-04-15 10:60", "2011-4-15", "15.04.2011",
                            "2011-04-15 08:30:05x", "2011-04-15x08:30", ""}) {
        EXPECT_FALSE(ParseDateTime(bad, false, &err)) << bad;
        EXPECT_FALSE(err.empty());
    }
    EXPECT_TRUE(ParseDateTime("2012-02-29", false, &err));  // leap year
}

TEST(OrderKey, OrdersFieldByFieldIncludingTerminalOnlyDates) {
    const DateTime a{2011, 2, 30, 0, 0, 0};  // the terminal's calendar has 31-day months
    const DateTime b{2011, 3, 1, 0, 0, 0};
    const DateTime c{2011, 3, 1, 0, 0, 1};
    EXPECT_LT(OrderKey(a), OrderKey(b));
    EXPECT_LT(OrderKey(b), OrderKey(c));
}

}  // namespace
}  // namespace tlcli
