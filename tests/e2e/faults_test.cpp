// The program meets a folder it may not write, output that cannot be written,
// and a kill in the middle of a run: each time it stops with a message and a
// non-zero status, and "korvan.ok" (the success signal of the callers) is
// absent afterwards.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "core/run.hpp"
#include "support/test_run.hpp"

namespace korvan {
namespace {

namespace fs = std::filesystem;
using testing::copyExample;
using testing::TempDir;

// The korvan program started in the folder on the run identifier, its console
// to /dev/null; with a file-size limit (bytes) when one is given, so that a
// write beyond it fails as on a full disk (EFBIG instead of SIGXFSZ).
pid_t startProgram(const fs::path& dir, const std::string& id, rlim_t fileSizeLimit = 0) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  if (::chdir(dir.c_str()) != 0) ::_exit(127);
  const int null = ::open("/dev/null", O_WRONLY);
  ::dup2(null, STDOUT_FILENO);
  ::dup2(null, STDERR_FILENO);
  if (fileSizeLimit > 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{fileSizeLimit, fileSizeLimit};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ::execl(KORVAN_BINARY, "korvan", id.c_str(), static_cast<char*>(nullptr));
  ::_exit(127);
}

int waitFor(pid_t pid) {
  int raw = 0;
  ::waitpid(pid, &raw, 0);
  return raw;
}

const char* const kMarker = "Run succesfully terminated!\n";

// A stop with the status and the text on the console, and no success marker.
// A run that could not create its error file stops before it starts, with
// the message on the console only.
void expectStop(const TempDir& dir, const testing::ProgramResult& result, int status,
                std::string printed = "") {
  EXPECT_EQ(result.status, status);
  if (status == kExitEarlyStop)
    printed = "Cannot create file " + dir.path().string() + "/constant_ditch.err";
  EXPECT_NE(result.output.find(printed), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("An error occurred - program stopped"), std::string::npos);
  EXPECT_FALSE(fs::is_regular_file(dir.path() / "korvan.ok"));
}

TEST(FaultsFolder, ReadOnlyFolderStopsWithMessageAndNonZeroStatus) {
  TempDir dir;
  copyExample(dir, "constant_ditch");
  fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
  const bool writable = std::ofstream(dir.path() / "probe").good();
  if (writable) {
    fs::permissions(dir.path(), fs::perms::owner_all);
    GTEST_SKIP() << "the tests run with a user (root) for whom a folder without write "
                    "permission can still be written; the folders below stand in for it";
  }
  const auto result = testing::runProgram(dir.path(), {"constant_ditch"});
  fs::permissions(dir.path(), fs::perms::owner_all);
  expectStop(dir, result, kExitEarlyStop);
}

// A folder that holds files stands where a file of the run belongs: it can be
// neither removed nor opened, as a file of a read-only folder. Without an
// error file the console is the only place for the message.
TEST(FaultsFolder, FileThatCannotBeCreatedStopsTheRun) {
  for (const std::string file : {"constant_ditch.out", "constant_ditch.err", "korvan.ok"}) {
    SCOPED_TRACE(file);
    TempDir dir;
    copyExample(dir, "constant_ditch");
    if (file != "korvan.ok") dir.write("korvan.ok", kMarker);
    fs::create_directories(dir.path() / file / "kept");
    const auto result = testing::runProgram(dir.path(), {"constant_ditch"});
    if (file == "constant_ditch.err") {
      expectStop(dir, result, kExitEarlyStop);
    } else if (file == "korvan.ok") {
      expectStop(dir, result, kExitError, " The success marker korvan.ok could not be written");
    } else {
      expectStop(dir, result, kExitError);
      EXPECT_EQ(dir.lines("constant_ditch.err"),
                (std::vector<std::string>{
                    "Cannot create file constant_ditch.out",
                    "Check that the disk is not full and that the folder may be written"}));
    }
  }
}

TEST(FaultsOutput, SymbolicLinkInPlaceOfAnOutputFileIsReplacedNotFollowed) {
  // Output files are created new: a link left where one belongs (here to
  // /dev/full, where every write fails) is removed, and the run writes a
  // file of its own.
  TempDir dir;
  copyExample(dir, "constant_ditch");
  fs::create_symlink("/dev/full", dir.path() / "constant_ditch.out");
  const auto result = testing::runProgram(dir.path(), {"constant_ditch"});
  EXPECT_EQ(result.status, kExitNormal) << dir.read("constant_ditch.err");
  EXPECT_FALSE(fs::is_symlink(dir.path() / "constant_ditch.out"));
  EXPECT_TRUE(fs::is_regular_file(dir.path() / "constant_ditch.out"));
  EXPECT_EQ(dir.read("korvan.ok"), kMarker);
}

TEST(FaultsOutput, FullDiskStopsWithMessageAndNoMarker) {
  // A limit of 64 kB on the size of every file: the copy of the weather of
  // the year into the work file and the output file both grow beyond it.
  TempDir dir;
  copyExample(dir, "ditch");
  dir.write("korvan.ok", kMarker);
  const int raw = waitFor(startProgram(dir.path(), "ditch", 64 * 1024));
  ASSERT_TRUE(WIFEXITED(raw)) << "the run died of signal " << WTERMSIG(raw);
  EXPECT_EQ(WEXITSTATUS(raw), kExitError);
  const auto err = dir.lines("ditch.err");
  ASSERT_EQ(err.size(), 2u);
  EXPECT_EQ(err[0].rfind("Cannot write file ", 0), 0u) << err[0];
  EXPECT_EQ(err[1], "Check that the disk is not full and that the folder may be written");
  EXPECT_FALSE(dir.exists("korvan.ok"));
}

TEST(FaultsKill, RunKilledMidwayLeavesNoMarker) {
  // The year of hourly steps of the ditch runs long enough to be killed in
  // the middle; the marker of an earlier run must be gone by then.
  TempDir dir;
  copyExample(dir, "ditch");
  dir.write("korvan.ok", kMarker);
  const pid_t pid = startProgram(dir.path(), "ditch");
  // Wait for the run to be under way: the output file exists after start-up.
  for (int i = 0; i < 200 && !dir.exists("ditch.out"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ::kill(pid, SIGKILL);
  const int raw = waitFor(pid);
  if (!WIFSIGNALED(raw)) GTEST_SKIP() << "the run ended before it could be killed";
  EXPECT_TRUE(dir.exists("ditch.out"));
  EXPECT_FALSE(dir.exists("korvan.ok"));
}

}  // namespace
}  // namespace korvan
