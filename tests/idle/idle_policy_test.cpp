// The launcher's command line, where it finds the saver shell, and when it
// starts the saver.
#include "idle/idle_policy.h"

#include <gtest/gtest.h>

namespace veltrane::idle {
namespace {

using namespace std::chrono_literals;

struct OptionCase {
  const char* name;
  std::vector<std::string> args;
  long long seconds;  // -1: refused
};
// Test names and failures show the case by its name.
void PrintTo(const OptionCase& c, std::ostream* os) { *os << c.name; }


class IdleOptions : public ::testing::TestWithParam<OptionCase> {};
INSTANTIATE_TEST_SUITE_P(Table, IdleOptions,
                         ::testing::ValuesIn(std::vector<OptionCase>{
                             {"NoneMeansFiveMinutes", {}, 300},
                             {"TimeoutApart", {"--timeout", "2"}, 2},
                             {"TimeoutJoined", {"--timeout=600"}, 600},
                             {"ShortForm", {"-t", "45"}, 45},
                             {"LastOneWins", {"--timeout", "5", "--timeout", "7"}, 7},
                             {"LongestThatFits", {"--timeout", "4294967"}, 4294967},
                             {"PastThirtyTwoBitMilliseconds", {"--timeout", "4294968"}, -1},
                             {"Zero", {"--timeout", "0"}, -1},
                             {"Negative", {"--timeout", "-5"}, -1},
                             {"Fraction", {"--timeout", "1.5"}, -1},
                             {"WithUnit", {"--timeout", "5m"}, -1},
                             {"Empty", {"--timeout="}, -1},
                             {"Missing", {"--timeout"}, -1},
                             {"Unknown", {"--verbose"}, -1},
                             {"Stray", {"300"}, -1}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(IdleOptions, AreReadOrRefusedWithOneLine) {
  const auto parsed = ParseOptions(GetParam().args);
  if (GetParam().seconds < 0) {
    ASSERT_TRUE(std::holds_alternative<std::string>(parsed));
    EXPECT_EQ(std::get<std::string>(parsed).find('\n'), std::string::npos);
  } else {
    ASSERT_TRUE(std::holds_alternative<Options>(parsed)) << std::get<std::string>(parsed);
    EXPECT_EQ(std::get<Options>(parsed).timeout, std::chrono::seconds(GetParam().seconds));
  }
}

bool OnlyBuildTree(const std::string& path) { return path == "/build/bin/Veltrane.scr"; }

TEST(IdleSaverPath, BesideTheLauncherWhenThereElseWhereTheInstallPutIt) {
  EXPECT_EQ(SaverPath("/build/bin", "../libexec/veltrane", &OnlyBuildTree), "/build/bin/Veltrane.scr");
  EXPECT_EQ(SaverPath("/usr/bin", "../libexec/veltrane", &OnlyBuildTree), "/usr/libexec/veltrane/Veltrane.scr");
  EXPECT_EQ(SaverPath("/tmp/dest/usr/bin", "../libexec/veltrane", &OnlyBuildTree),
            "/tmp/dest/usr/libexec/veltrane/Veltrane.scr");
}

struct PolicyCase {
  const char* name;
  std::vector<Happening> happenings;
  std::vector<Action> actions;
};
// Test names and failures show the case by its name.
void PrintTo(const PolicyCase& c, std::ostream* os) { *os << c.name; }


class IdleDecisions : public ::testing::TestWithParam<PolicyCase> {};
INSTANTIATE_TEST_SUITE_P(
    Table, IdleDecisions,
    ::testing::ValuesIn(std::vector<PolicyCase>{
        {"IdleStartsTheSaver", {Happening::Idle}, {Action::StartSaver}},
        {"InhibitedIdleStartsNothing", {Happening::IdleInhibited, Happening::Active}, {Action::Nothing, Action::Nothing}},
        {"NoSecondSaverWhileOneRuns",
         {Happening::Idle, Happening::Active, Happening::Idle},
         {Action::StartSaver, Action::Nothing, Action::Nothing}},
        {"TheSaversEndCountsAgain",
         {Happening::Idle, Happening::SaverEnded, Happening::Idle},
         {Action::StartSaver, Action::CountAgain, Action::StartSaver}},
        {"AFailedStartCountsAgain",
         {Happening::Idle, Happening::SaverFailed, Happening::Idle},
         {Action::StartSaver, Action::CountAgain, Action::StartSaver}},
        {"AnEndWithoutASaverChangesNothing", {Happening::SaverEnded}, {Action::Nothing}},
        {"InhibitedThenFreeStarts",
         {Happening::IdleInhibited, Happening::Active, Happening::Idle},
         {Action::Nothing, Action::Nothing, Action::StartSaver}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_P(IdleDecisions, FollowTheOneSaverRule) {
  IdlePolicy policy;
  std::vector<Action> actions;
  for (Happening h : GetParam().happenings) actions.push_back(policy.On(h));
  EXPECT_EQ(actions, GetParam().actions);
}

}  // namespace
}  // namespace veltrane::idle
