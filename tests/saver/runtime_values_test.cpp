// Value rules and process services of the form runtime that need no display:
// rounding, the file test of the start-up, sequential files, starting a program,
// the clock and the random generator.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "saver/runtime/animated_rects.h"
#include "saver/runtime/clock_random.h"
#include "saver/runtime/file_io.h"
#include "saver/runtime/process.h"
#include "saver/runtime/runtime_error.h"
#include "saver/runtime/vb_types.h"
#include "saver/saver_main.h"
#include "support/child_process.h"

namespace veltrane {
namespace {

int ErrorOf(auto&& f) {
  try {
    f();
  } catch (const vb::RuntimeError& e) {
    return e.number();
  }
  return 0;
}

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(vb::CInt(2.5), 2);
  EXPECT_EQ(vb::CInt(3.5), 4);
  EXPECT_EQ(vb::CInt(-2.5), -2);
  EXPECT_EQ(vb::CInt(2.6), 3);
  EXPECT_EQ(vb::CLng(1e9 + 0.5), 1000000000);
  EXPECT_EQ(vb::CByte(254.5), 254);
  // The preview's twips: 152 x 112 pixels at 15 twips each.
  EXPECT_EQ(vb::CInt(152 * 15.0), 2280);
  EXPECT_EQ(vb::CInt(112 * 15.0), 1680);
}

TEST(Rounding, OutOfRangeIsOverflow) {
  EXPECT_EQ(ErrorOf([] { vb::CInt(32767.5); }), vb::kErrOverflow);  // rounds to 32768
  EXPECT_EQ(vb::CInt(-32768.5), -32768);                            // rounds to the even -32768
  EXPECT_EQ(ErrorOf([] { vb::CInt(2185 * 15.0); }), vb::kErrOverflow);  // a preview wider than 2184 px
  EXPECT_EQ(ErrorOf([] { vb::CLng(2147483647.5); }), vb::kErrOverflow);
  EXPECT_EQ(ErrorOf([] { vb::CByte(-0.6); }), vb::kErrOverflow);
  EXPECT_EQ(ErrorOf([] { vb::CInt(std::nan("")); }), vb::kErrOverflow);
}

TEST(Rounding, IntegerDivisionTruncatesTowardZero) {
  EXPECT_EQ(vb::IntDiv(7, 2), 3);
  EXPECT_EQ(vb::IntDiv(-7, 2), -3);
  EXPECT_EQ(vb::IntDiv(7.5, 2), 4);  // operands are rounded first: 8 \ 2
  EXPECT_EQ(vb::IntDiv(6.5, 2), 3);  // 6 \ 2
  EXPECT_EQ(ErrorOf([] { vb::IntDiv(1, 0.4); }), vb::kErrDivisionByZero);
}

TEST(ResumeNext, AFailingStepIsSkippedAndItsNumberKept) {
  std::vector<int> ran;
  vb::Err() = 0;
  vb::ResumeNext([&] { ran.push_back(1); }, [&] { throw vb::RuntimeError(vb::kErrFileNotFound); },
                 [&] { ran.push_back(3); });
  EXPECT_EQ(ran, (std::vector<int>{1, 3}));
  EXPECT_EQ(vb::Err(), vb::kErrFileNotFound);
  vb::Err() = 0;
}

class FileTest : public ::testing::Test {
 protected:
  // The folder lies in /tmp, not in the build tree: the unprivileged user below
  // must reach it, and the checkout may sit under a folder only its owner can enter.
  void SetUp() override {
    char templ[] = "/tmp/veltrane-fileexists-XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    dir_ = templ;
    chmod(dir_.c_str(), 0755);
    file_ = dir_ + "/Veltrane.dll";
    std::ofstream(file_) << "x";
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  std::string dir_, file_;
};

TEST_F(FileTest, FileExistsForReadableFilesOnly) {
  EXPECT_EQ(Lumora_B::FileExists(file_), vb::True);
  EXPECT_EQ(Lumora_B::FileExists(dir_ + "/missing.dll"), vb::False);
  EXPECT_EQ(Lumora_B::FileExists(""), vb::False);
  // A folder is not a file that can be read.
  EXPECT_EQ(Lumora_B::FileExists(dir_), vb::False);
  mkdir((dir_ + "/Folder.dll").c_str(), 0755);
  EXPECT_EQ(Lumora_B::FileExists(dir_ + "/Folder.dll"), vb::False);
  // A FIFO neither counts nor hangs the test.
  mkfifo((dir_ + "/fifo").c_str(), 0644);
  EXPECT_EQ(Lumora_B::FileExists(dir_ + "/fifo"), vb::False);
  // The test leaves no error pending and file number 1 free.
  EXPECT_EQ(vb::Err(), 0);
  EXPECT_FALSE(vb::IsOpen(1));
}

TEST_F(FileTest, FileExistsDropsOneTrailingSeparator) {
  EXPECT_EQ(Lumora_B::FileExists(file_ + "/"), vb::True);
  EXPECT_EQ(Lumora_B::FileExists(file_ + "//"), vb::False);
}

TEST_F(FileTest, FileExistsFalseForAFileThatCannotBeRead) {
  chmod(file_.c_str(), 0000);
  if (geteuid() != 0) {
    EXPECT_EQ(Lumora_B::FileExists(file_), vb::False);
    return;
  }
  // Root reads everything, so the check runs as an unprivileged user in a child.
  std::string readable = dir_ + "/readable.dll";
  std::ofstream(readable) << "x";
  chmod(readable.c_str(), 0644);
  pid_t pid = fork();
  if (pid == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
    bool unreadableMissing = Lumora_B::FileExists(file_) == vb::False;
    bool readableFound = Lumora_B::FileExists(readable) == vb::True;
    _exit(unreadableMissing && readableFound ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "3: could not drop privileges; 1: wrong result";
}

TEST_F(FileTest, SequentialFileNumbers) {
  EXPECT_EQ(ErrorOf([&] { vb::OpenForInput(1, dir_ + "/none"); }), vb::kErrFileNotFound);
  EXPECT_EQ(ErrorOf([&] { vb::OpenForInput(1, dir_ + "/none/deeper"); }), vb::kErrFileNotFound);
  EXPECT_EQ(ErrorOf([&] { vb::OpenForInput(0, file_); }), vb::kErrBadFileNumber);
  EXPECT_EQ(ErrorOf([&] { vb::OpenForInput(1, dir_); }), vb::kErrPathFileAccess);
  vb::OpenForInput(2, file_);
  EXPECT_TRUE(vb::IsOpen(2));
  EXPECT_EQ(ErrorOf([&] { vb::OpenForInput(2, file_); }), vb::kErrFileAlreadyOpen);
  vb::Close(2);
  vb::Close(2);  // closing a closed number is no error
  EXPECT_FALSE(vb::IsOpen(2));
}

// The renderer is started by its path alone: no shell, so a folder whose name
// holds blanks, quotes and a command separator runs that one file and nothing else.
TEST(StartProgram, RunsExactlyThePathWithNoShellAndNoArguments) {
  std::string base = testing::MakeTempDir("spawn");
  std::string folder = base + "/Program Files \"x\" ; touch INJECTED ; '";
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  std::string program = folder + "/Veltrane.dll";
  std::string marker = base + "/marker";
  {
    std::ofstream s(program);
    s << "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$0\" > '" << marker << "'\n";
  }
  chmod(program.c_str(), 0755);
  pid_t pid = vb::StartProgram(program, vb::kWindowNormalFocus);
  ASSERT_GT(pid, 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  std::stringstream got;
  got << std::ifstream(marker).rdbuf();
  EXPECT_EQ(got.str(), "0|" + program);
  struct stat st {};
  EXPECT_NE(stat((base + "/INJECTED").c_str(), &st), 0);
  EXPECT_NE(stat("INJECTED", &st), 0);
}

TEST(StartProgram, FailsWithARunTimeErrorWhenTheFileCannotStart) {
  std::string base = testing::MakeTempDir("spawnfail");
  EXPECT_EQ(ErrorOf([&] { vb::StartProgram(base + "/Veltrane.dll"); }), vb::kErrFileNotFound);
  std::string plain = base + "/plain.dll";
  std::ofstream(plain) << "not a program";
  chmod(plain.c_str(), 0644);
  if (geteuid() != 0) {
    EXPECT_EQ(ErrorOf([&] { vb::StartProgram(plain); }), vb::kErrPathFileAccess);
  }
  // Executable but no program format: no fallback to a shell.
  chmod(plain.c_str(), 0755);
  EXPECT_EQ(ErrorOf([&] { vb::StartProgram(plain); }), vb::kErrPathFileAccess);
}

TEST(Clock, SecondsSinceMidnight) {
  float t = vb::SecondsSinceMidnight();
  EXPECT_GE(t, 0.0f);
  EXPECT_LT(t, 86401.0f);
}

TEST(Random, UniformInUnitInterval) {
  vb::Randomize(1234.5);
  double sum = 0;
  for (int i = 0; i < 20000; ++i) {
    float r = vb::Rnd();
    ASSERT_GE(r, 0.0f);
    ASSERT_LT(r, 1.0f);
    sum += r;
  }
  EXPECT_NEAR(sum / 20000, 0.5, 0.02);
}

TEST(Random, TheSameSeedRepeatsTheSequenceAndAnotherDoesNot) {
  auto draw = [](double seed) {
    vb::Randomize(seed);
    std::vector<float> v;
    for (int i = 0; i < 8; ++i) v.push_back(vb::Rnd());
    return v;
  };
  EXPECT_EQ(draw(50000.125f), draw(50000.125f));
  EXPECT_NE(draw(50000.125f), draw(50000.140625f));
}

TEST(ZoomAnimation, FramesRunFromOneRectangleToTheOther) {
  vb::Rect point{100, 50, 100, 50}, window{200, 150, 700, 450};
  EXPECT_EQ(vb::InterpolateRect(point, window, 0, 9), point);
  EXPECT_EQ(vb::InterpolateRect(point, window, 9, 9), window);
  vb::Rect mid = vb::InterpolateRect(point, window, 1, 2);
  EXPECT_EQ(mid, (vb::Rect{150, 100, 400, 250}));
}

}  // namespace
}  // namespace veltrane
