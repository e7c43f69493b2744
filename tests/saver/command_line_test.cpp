// The command-line rules of Veltrane.scr: the mode letter, the preview handle as
// it is read from the argument string, and the argument string itself.
#include <gtest/gtest.h>

#include "saver/command_line.h"
#include "saver/runtime/application.h"
#include "saver/runtime/runtime_error.h"

namespace veltrane {
namespace {

TEST(ModeLetter, SecondCharacterUpperCased) {
  for (const char* args : {"/S", "/s", "-s", "/s 1234", "xs", "/scr"}) EXPECT_EQ(ModeLetter(args), "S") << args;
  for (const char* args : {"/p 1234", "/P 1234", "/p:1234", "/p1234", "/p"}) EXPECT_EQ(ModeLetter(args), "P") << args;
  for (const char* args : {"/C", "/c", "/C:1234", "/c 99"}) EXPECT_EQ(ModeLetter(args), "C") << args;
  EXPECT_EQ(ModeLetter("/a"), "A");
  EXPECT_EQ(ModeLetter("/x"), "X");
}

TEST(ModeLetter, ShortArgumentsHaveNoLetter) {
  EXPECT_EQ(ModeLetter(""), "");
  // A lone "s" is an unrecognised switch, not saver mode.
  EXPECT_EQ(ModeLetter("s"), "");
  EXPECT_EQ(ModeLetter("S"), "");
}

TEST(ModeLetter, CountsCharactersNotBytes) {
  // A multi-byte first character does not shift the second one.
  EXPECT_EQ(ModeLetter("\xC3\xA9s"), "S");
  EXPECT_EQ(ModeLetter("/\xC3\xA9"), "\xC3\xA9");
}

TEST(PreviewHandle, ReadFromTheFourthCharacter) {
  EXPECT_EQ(ReadPreviewHandle("/p 1234"), 1234);
  EXPECT_EQ(ReadPreviewHandle("/P 1234"), 1234);
  EXPECT_EQ(ReadPreviewHandle("/p:1234"), 1234);
  // Exactly one separator stands between letter and handle; without it the
  // handle loses its first digit.
  EXPECT_EQ(ReadPreviewHandle("/p1234"), 234);
  EXPECT_EQ(ReadPreviewHandle("/p  77"), 77);
  EXPECT_EQ(ReadPreviewHandle("/p 4194310 extra"), 4194310);
}

TEST(PreviewHandle, NoNumberGivesZero) {
  EXPECT_EQ(ReadPreviewHandle("/p"), 0);
  EXPECT_EQ(ReadPreviewHandle("/p "), 0);
  EXPECT_EQ(ReadPreviewHandle("/p abc"), 0);
  EXPECT_EQ(ReadPreviewHandle(""), 0);
}

TEST(PreviewHandle, FractionsRoundHalfToEvenAndOverflowRaises) {
  EXPECT_EQ(ReadPreviewHandle("/p 12.5"), 12);
  EXPECT_EQ(ReadPreviewHandle("/p 13.5"), 14);
  EXPECT_EQ(ReadPreviewHandle("/p -2"), -2);
  try {
    ReadPreviewHandle("/p 99999999999");
    FAIL() << "no overflow";
  } catch (const vb::RuntimeError& e) {
    EXPECT_EQ(e.number(), vb::kErrOverflow);
  }
}

TEST(Val, SkipsBlanksAndStopsAtTheFirstNonNumber) {
  EXPECT_EQ(Val("1234"), 1234);
  EXPECT_EQ(Val(" \t12 34"), 1234);
  EXPECT_EQ(Val("12abc"), 12);
  EXPECT_EQ(Val("0x12"), 0);
  EXPECT_EQ(Val("1.5e2"), 150);
  EXPECT_EQ(Val("2.5.3"), 2.5);
  EXPECT_EQ(Val("-7"), -7);
  EXPECT_EQ(Val("e5"), 0);
  EXPECT_EQ(Val("&H10"), 16);
  EXPECT_EQ(Val("&HFFFF"), -1);  // four hex digits are a 16-bit integer
  EXPECT_EQ(Val("&H10000"), 65536);
  EXPECT_EQ(Val("&O17"), 15);
}

TEST(MidFrom, CountsFromOne) {
  EXPECT_EQ(MidFrom("/p 1234", 4), "1234");
  EXPECT_EQ(MidFrom("/p", 4), "");
  EXPECT_EQ(MidFrom("abc", 1), "abc");
  EXPECT_THROW(MidFrom("abc", 0), vb::RuntimeError);
}

TEST(ArgumentString, ArgumentsJoinedBySingleBlanks) {
  const char* none[] = {"Veltrane.scr"};
  const char* preview[] = {"Veltrane.scr", "/p", "1234"};
  const char* blank[] = {"Veltrane.scr", "a b", ""};
  EXPECT_EQ(vb::JoinArguments(1, none), "");
  EXPECT_EQ(vb::JoinArguments(3, preview), "/p 1234");
  EXPECT_EQ(vb::JoinArguments(3, blank), "a b ");
  vb::SetCommandLine(3, preview);
  EXPECT_EQ(vb::Command(), "/p 1234");
}

TEST(AppPath, FolderWithoutTrailingSeparator) {
  EXPECT_EQ(vb::FolderOf("/opt/veltrane/Veltrane.scr"), "/opt/veltrane");
  EXPECT_EQ(vb::FolderOf("/Veltrane.scr"), "/");
  std::string here = vb::AppPath();
  ASSERT_FALSE(here.empty());
  EXPECT_NE(here.back(), '/');
  EXPECT_EQ(here.front(), '/');
}

}  // namespace
}  // namespace veltrane
