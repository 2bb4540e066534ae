// Faults of the file system, met by the program as a whole: outputs that
// cannot be created, a data file that is not a file, a disk that fills up
// while a report is written, and a stop in the middle of a batch. Whatever
// happens, earlier runs' outputs stay complete, the console and (where it
// can still be written) the error file say what went wrong, the exit status
// is 1, and no report is left that looks complete when it is not.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/test_support.hpp"

namespace quorvel::testing {
namespace {

namespace fs = std::filesystem;

// A report is complete only with its closing banner.
bool complete(const std::string& report) {
  return report.find(" Version 10-26-2009") != std::string::npos &&
         report.find(" Date & Time ") != std::string::npos &&
         report.find(" Elapsed time =") != std::string::npos;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A white-noise table of 1024 rows sampled at 1000 Hz.
std::string white_data() {
  std::string data = "White noise\nrows = 1024 columns = 1 rate = 1000.0 unit=Hz format =(f12.6)\n";
  unsigned state = 2009;
  for (int i = 0; i < 1024; ++i) {
    state = state * 1103515245u + 12345u;
    char line[32];
    std::snprintf(line, sizeof line, "%12.6f\n", static_cast<double>((state >> 8) % 20000) / 10000.0 - 1.0);
    data += line;
  }
  return data;
}

// A control file for `datafile`: a narrow band and small outputs; with
// `prewhiten` the full band, a finer grid and an AR(3) fit with 12 resamples.
std::string control(const std::string& datafile, bool prewhiten = false, const std::string& quantile = "0.8") {
  return "Data file name =" + datafile + " * the data\n"
         "Column number = 1 *\n"
         "Sampling unit =Hz *\n" +
         std::string(prewhiten ? "Lower freq = 0.0 *\nUpper freq = 0.0 *\n" : "Lower freq = 100.0 *\nUpper freq = 300.0 *\n") +
         "% taper = 0.0 *\n"
         "Resolution bandwidth = " + std::string(prewhiten ? "15.625" : "31.25") + " *\n" +
         std::string(prewhiten ? "Prewhiten with AR(3) *\np threshold = 0.05 *\n" : "No whitening *\n") +
         "start = 1 *\n"
         "end = 0 *\n"
         "Resamples = " + std::string(prewhiten ? "12" : "0") + " *\n"
         "Quantile = " + quantile + " *\n"
         "#\n";
}

// A batch of runs `a` (plain) and then `b` (prewhitened, a longer report).
void write_batch(const TempDir& dir) {
  dir.write("Runquorvel.cnl", "Number of runs = 2 *\na.cnl*\nb.cnl*\n");
  dir.write("a.dat", white_data());
  dir.write("b.dat", white_data());
  dir.write("a.cnl", control("a.dat"));
  dir.write("b.cnl", control("b.dat", true));
}

// Runs the program in `dir` with files limited to `limit_bytes` (the signal
// of an exceeded limit left at its default, which kills a process that does
// not ignore it).
ProgramRun run_with_file_limit(const TempDir& dir, rlim_t limit_bytes) {
  ProgramRun r;
  const std::string out = (dir.path() / ".stdout").string(), err = (dir.path() / ".stderr").string();
  pid_t pid = fork();
  if (pid == 0) {
    int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int in = open("/dev/null", O_RDONLY);
    if (o < 0 || e < 0 || in < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0 || dup2(in, 0) < 0) _exit(120);
    if (chdir(dir.path().c_str()) != 0) _exit(121);
    signal(SIGXFSZ, SIG_DFL);
    rlimit limit{limit_bytes, limit_bytes};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(122);
    execl(QUORVEL_BINARY, QUORVEL_BINARY, static_cast<char*>(nullptr));
    _exit(123);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  r.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = dir.read(".stdout");
  r.err = dir.read(".stderr");
  return r;
}

TEST(FileSystem, BatchRunsCleanlyWithoutFaults) {
  TempDir dir;
  write_batch(dir);
  ProgramRun r = dir.run();
  ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
  EXPECT_TRUE(complete(dir.read("a_Quorvel.out")));
  EXPECT_TRUE(complete(dir.read("b_Quorvel.out")));
}

// A file size limit between the sizes of the two runs' outputs: the first
// run completes, the second run's report cannot be written in full.
TEST(FileSystem, FileSizeLimitStopsWithMessageAndLeavesNoCompleteLookingReport) {
  std::uintmax_t first_run = 0, second_report = 0;
  {
    TempDir probe;
    write_batch(probe);
    ASSERT_EQ(probe.run().exit_status, 0);
    for (const char* name : {"a_Quorvel.out", "a-k3+_quorvel.out", "a-k3-_quorvel.out", "Quorvel-error.out"}) {
      first_run = std::max(first_run, fs::file_size(probe.path() / name));
    }
    second_report = fs::file_size(probe.path() / "b_Quorvel.out");
  }
  ASSERT_LT(first_run + 256, second_report) << "the second run's report must be the largest output";
  const rlim_t limit = first_run + 128;

  TempDir dir;
  write_batch(dir);
  ProgramRun r = run_with_file_limit(dir, limit);
  EXPECT_EQ(r.exit_status, 1) << "killed by a signal if 128+: " << r.exit_status;
  const std::string message = "**** Error on writing b_Quorvel.out 27";
  EXPECT_TRUE(contains(r.out, message)) << r.out;
  EXPECT_TRUE(contains(dir.read("Quorvel-error.out"), message));
  // The first run's outputs are complete; the second report is cut short
  // and does not end with the banner.
  EXPECT_TRUE(complete(dir.read("a_Quorvel.out")));
  EXPECT_TRUE(contains(dir.read("a-k3+_quorvel.out"), "Version"));
  const std::string cut = dir.read("b_Quorvel.out");
  EXPECT_FALSE(complete(cut));
  EXPECT_LE(cut.size(), limit);
}

// A report or an error file on a device (always full here) is refused
// before anything is written: the report's run is abandoned, the batch
// without its error file goes on; neither ends as a success.
TEST(FileSystem, OutputsOnADeviceAreRefused) {
  {
    TempDir dir;
    write_batch(dir);
    fs::create_symlink("/dev/full", dir.path() / "b_Quorvel.out");
    ProgramRun r = dir.run();
    EXPECT_EQ(r.exit_status, 1);
    const std::string message = "**** Error on opening out file b_Quorvel.out -2";
    EXPECT_TRUE(contains(r.out, message + "\n b_Quorvel.out is not a regular file")) << r.out;
    EXPECT_TRUE(contains(dir.read("Quorvel-error.out"), message));
    EXPECT_TRUE(complete(dir.read("a_Quorvel.out")));
  }
  {
    TempDir dir;
    write_batch(dir);
    fs::create_symlink("/dev/full", dir.path() / "Quorvel-error.out");
    ProgramRun r = dir.run();
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_TRUE(contains(r.out, "**** Error on opening Quorvel-error.out -2")) << r.out;
    EXPECT_TRUE(complete(dir.read("a_Quorvel.out")));
    EXPECT_TRUE(complete(dir.read("b_Quorvel.out")));
  }
}

TEST(FileSystem, ErrorFileThatCannotBeCreated) {
  TempDir dir;
  write_batch(dir);
  fs::create_directory(dir.path() / "Quorvel-error.out");
  ProgramRun r = dir.run();
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_TRUE(contains(r.out, "**** Error on opening Quorvel-error.out 21")) << r.out;
  EXPECT_TRUE(complete(dir.read("a_Quorvel.out")));
  EXPECT_TRUE(complete(dir.read("b_Quorvel.out")));
}

// A folder in the way of a report: that run is abandoned, the next one runs.
TEST(FileSystem, ReportNameTakenByAFolderAbandonsThatRunOnly) {
  TempDir dir;
  write_batch(dir);
  fs::create_directory(dir.path() / "a_Quorvel.out");
  ProgramRun r = dir.run();
  EXPECT_EQ(r.exit_status, 1);
  const std::string message = "**** Error on opening out file a_Quorvel.out 21";
  EXPECT_TRUE(contains(r.out, message)) << r.out;
  EXPECT_TRUE(contains(dir.read("Quorvel-error.out"), message));
  EXPECT_TRUE(complete(dir.read("b_Quorvel.out")));
}

// Output names beyond the 50-character name field are refused, not cut:
// the run is abandoned after its title line, which does not look complete.
TEST(FileSystem, OutputNameTooLongAbandonsTheRun) {
  TempDir dir;
  write_batch(dir);
  const std::string stem(36, 'n');
  dir.write(stem + ".dat", white_data());
  dir.write("a.cnl", control(stem + ".dat"));
  ProgramRun r = dir.run();
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_TRUE(contains(r.out, "**** Error on opening " + stem + "-k3+_quorvel.out -1")) << r.out;
  EXPECT_FALSE(complete(dir.read(stem + "_Quorvel.out")));
  EXPECT_TRUE(complete(dir.read("b_Quorvel.out")));
}

// A folder named as the data file exists but cannot be read: the run is
// abandoned. A dangling link is a missing data file: the program stops.
TEST(FileSystem, DataFileThatIsAFolderOrADanglingLink) {
  {
    TempDir dir;
    write_batch(dir);
    fs::remove(dir.path() / "a.dat");
    fs::create_directory(dir.path() / "a.dat");
    ProgramRun r = dir.run();
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_TRUE(contains(r.out, "**** Error on opening data file 21")) << r.out;
    EXPECT_TRUE(contains(dir.read("Quorvel-error.out"), "**** Error on opening data file 21"));
    EXPECT_TRUE(complete(dir.read("b_Quorvel.out")));
  }
  {
    TempDir dir;
    write_batch(dir);
    fs::remove(dir.path() / "b.dat");
    fs::create_symlink(dir.path() / "gone.dat", dir.path() / "b.dat");
    ProgramRun r = dir.run();
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_TRUE(contains(r.out, "does not exist")) << r.out;
    EXPECT_TRUE(complete(dir.read("a_Quorvel.out")));
    EXPECT_FALSE(dir.exists("b_Quorvel.out"));
  }
}

// A data file without line ends (here an endless device) stops with the
// header message instead of filling memory.
TEST(FileSystem, EndlessDataFileStopsWithAMessage) {
  TempDir dir;
  write_batch(dir);
  fs::remove(dir.path() / "b.dat");
  fs::create_symlink("/dev/zero", dir.path() / "b.dat");
  ProgramRun r = dir.run();
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_TRUE(contains(r.out, "**** eof in read of data file header")) << r.out;
  EXPECT_TRUE(complete(dir.read("a_Quorvel.out")));
  EXPECT_FALSE(complete(dir.read("b_Quorvel.out")));
}

// A console piped into a reader that has gone: the batch still completes.
TEST(FileSystem, ConsoleOnABrokenPipe) {
  TempDir dir;
  write_batch(dir);
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  close(pipe_ends[0]);
  pid_t pid = fork();
  if (pid == 0) {
    int in = open("/dev/null", O_RDWR);
    if (in < 0 || dup2(pipe_ends[1], 1) < 0 || dup2(in, 2) < 0 || dup2(in, 0) < 0) _exit(120);
    if (chdir(dir.path().c_str()) != 0) _exit(121);
    signal(SIGPIPE, SIG_DFL);
    execl(QUORVEL_BINARY, QUORVEL_BINARY, static_cast<char*>(nullptr));
    _exit(123);
  }
  close(pipe_ends[1]);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(complete(dir.read("a_Quorvel.out")));
  EXPECT_TRUE(complete(dir.read("b_Quorvel.out")));
}

// A stop in a later run: everything the earlier runs wrote is on disk,
// their messages in the error file included, before the program ends.
TEST(FileSystem, StopInALaterRunKeepsEarlierRunsOnDisk) {
  TempDir dir;
  write_batch(dir);
  dir.write("Runquorvel.cnl", "Number of runs = 3 *\nb.cnl*\na.cnl*\nc.cnl*\n");
  // Run 1 writes the bootstrap notice to the error file; run 3 stops.
  std::string first = control("b.dat", true);
  first.replace(first.find("Resamples = 12"), 14, "Resamples = 5");
  dir.write("b.cnl", first);
  dir.write("c.dat", white_data());
  dir.write("c.cnl", control("c.dat", false, "x"));
  ProgramRun r = dir.run();
  EXPECT_EQ(r.exit_status, 1);
  const std::string errors = dir.read("Quorvel-error.out");
  EXPECT_TRUE(contains(errors, "Bootstrap is turned off if the number of resamples is less than 11")) << errors;
  EXPECT_TRUE(contains(errors, "Error 4 in read of quantile")) << errors;
  EXPECT_LT(errors.find("Bootstrap"), errors.find("Error 4"));
  EXPECT_TRUE(complete(dir.read("b_Quorvel.out")));
  EXPECT_TRUE(complete(dir.read("a_Quorvel.out")));
  EXPECT_TRUE(contains(dir.read("a-k3-_quorvel.out"), "Version"));
  // The stopped run's report holds its message and no banner.
  const std::string stopped = dir.read("c_Quorvel.out");
  EXPECT_TRUE(contains(stopped, "Error 4 in read of quantile")) << stopped;
  EXPECT_FALSE(complete(stopped));
}

// A data file name with a control character is refused before anything is
// opened: with a NUL the system would see a shorter name than the checks.
TEST(FileSystem, ControlCharacterInTheDataFileNameIsRefused) {
  for (const std::string& bad : {std::string("victim\0.x", 10), std::string("a\t.dat"), std::string("a\x7f.dat")}) {
    TempDir dir;
    write_batch(dir);
    dir.write("victim", "precious\n");
    dir.write("b.cnl", control(bad));
    ProgramRun r = dir.run();
    EXPECT_EQ(r.exit_status, 1);
    const std::string message = "Control character in the data file name of run 2, b.cnl";
    EXPECT_TRUE(contains(r.out, message)) << r.out;
    EXPECT_TRUE(contains(dir.read("Quorvel-error.out"), message));
    EXPECT_EQ(dir.read("victim"), "precious\n");
    EXPECT_FALSE(dir.exists("victim_Quorvel.out"));
    EXPECT_TRUE(complete(dir.read("a_Quorvel.out")));
  }
}

// However many separators a path holds, the outputs are named after its
// last component and land in the working directory.
TEST(FileSystem, OutputsOfADeepPathLandInTheWorkingDirectory) {
  TempDir dir;
  write_batch(dir);
  dir.write("out/g.dat", white_data());
  dir.write("e/f./keep", "");
  dir.write("e/f_Quorvel.out", white_data());
  dir.write("Runquorvel.cnl", "Runs = 2 *\na.cnl*\nb.cnl*\n");
  dir.write("a.cnl", control("/////" + (dir.path() / "out/g.dat").string()));
  dir.write("b.cnl", control("././././e/f./../f_Quorvel.out"));
  ProgramRun r = dir.run();
  ASSERT_EQ(r.exit_status, 0) << r.out;
  EXPECT_TRUE(complete(dir.read("g_Quorvel.out")));
  EXPECT_FALSE(dir.exists("out/g_Quorvel.out"));
  EXPECT_TRUE(complete(dir.read("f_Quorvel_Quorvel.out")));
  EXPECT_EQ(dir.read("e/f_Quorvel.out"), white_data());
}

// An output never destroys an input: an output path that is a link to the
// data or the control file, a hard link, a control file named like an
// output, or a FIFO (which would block) abandons that run only.
TEST(FileSystem, OutputsThatWouldDestroyAnInputAreRefused) {
  struct Case {
    const char* name;
    void (*arrange)(const TempDir&);
    std::string message, reason;
  };
  const Case cases[] = {
      {"link to the data", [](const TempDir& d) { fs::create_symlink("a.dat", d.path() / "a_Quorvel.out"); },
       "**** Error on opening out file a_Quorvel.out -3", "a_Quorvel.out is the same file as a.dat"},
      {"hard link to the data", [](const TempDir& d) { fs::create_hard_link(d.path() / "a.dat", d.path() / "a-k3+_quorvel.out"); },
       "**** Error on opening a-k3+_quorvel.out -3", "a-k3+_quorvel.out is the same file as a.dat"},
      {"link to the control file", [](const TempDir& d) { fs::create_symlink("a.cnl", d.path() / "a-k3-_quorvel.out"); },
       "**** Error on opening a-k3-_quorvel.out -3", "a-k3-_quorvel.out is the same file as a.cnl"},
      {"link to the batch list", [](const TempDir& d) { fs::create_symlink("Runquorvel.cnl", d.path() / "a_Quorvel.out"); },
       "**** Error on opening out file a_Quorvel.out -3", "a_Quorvel.out is the same file as Runquorvel.cnl"},
      {"control file named as the output", [](const TempDir& d) {
         d.write("Runquorvel.cnl", "Number of runs = 2 *\na_Quorvel.out*\nb.cnl*\n");
         fs::rename(d.path() / "a.cnl", d.path() / "a_Quorvel.out");
       },
       "**** Error on opening out file a_Quorvel.out -3", "a_Quorvel.out is the same file as a_Quorvel.out"},
      {"FIFO", [](const TempDir& d) { ASSERT_EQ(mkfifo((d.path() / "a_Quorvel.out").c_str(), 0644), 0); },
       "**** Error on opening out file a_Quorvel.out -2", "a_Quorvel.out is not a regular file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    write_batch(dir);
    c.arrange(dir);
    const std::string list = dir.read("Runquorvel.cnl"), data = dir.read("a.dat");
    ProgramRun r = dir.run();
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_TRUE(contains(r.out, c.message + "\n " + c.reason + "\n")) << r.out;
    EXPECT_TRUE(contains(dir.read("Quorvel-error.out"), c.message));
    EXPECT_EQ(dir.read("Runquorvel.cnl"), list);
    EXPECT_EQ(dir.read("a.dat"), data);
    if (fs::is_regular_file(dir.path() / "a_Quorvel.out")) {
      EXPECT_FALSE(complete(dir.read("a_Quorvel.out")));
    }
    EXPECT_TRUE(complete(dir.read("b_Quorvel.out")));
    // An abandoned run leaves no temporary files behind.
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      EXPECT_EQ(entry.path().filename().string().find(".out."), std::string::npos) << entry.path();
    }
  }
}

// An error file that is the batch list is not emptied: the batch runs
// without it.
TEST(FileSystem, ErrorFileLinkedToTheBatchListIsRefused) {
  TempDir dir;
  write_batch(dir);
  fs::create_symlink("Runquorvel.cnl", dir.path() / "Quorvel-error.out");
  ProgramRun r = dir.run();
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_TRUE(contains(r.out, "**** Error on opening Quorvel-error.out -3\n"
                              " Quorvel-error.out is the same file as Runquorvel.cnl")) << r.out;
  EXPECT_TRUE(contains(dir.read("Runquorvel.cnl"), "a.cnl*"));
  EXPECT_TRUE(complete(dir.read("a_Quorvel.out")));
  EXPECT_TRUE(complete(dir.read("b_Quorvel.out")));
}

// Two runs that write the same outputs (one data file name in two folders,
// or the same data twice): allowed, and the later run says so.
TEST(FileSystem, RunsWritingTheSameOutputsAreNamed) {
  TempDir dir;
  write_batch(dir);
  dir.write("sub/a.dat", "Other noise" + white_data().substr(11));
  dir.write("c.cnl", control("sub/a.dat"));
  dir.write("Runquorvel.cnl", "Number of runs = 3 *\na.cnl*\nb.cnl*\nc.cnl*\n");
  ProgramRun r = dir.run();
  EXPECT_EQ(r.exit_status, 0) << r.out;
  const std::string message = "Outputs a_Quorvel.out of run 1 (a.cnl) are written again by run 3 (c.cnl)";
  EXPECT_TRUE(contains(r.out, message)) << r.out;
  EXPECT_TRUE(contains(dir.read("Quorvel-error.out"), message));
  EXPECT_TRUE(contains(dir.read("a_Quorvel.out"), "Other noise"));
}

bool has_temporary_output(const TempDir& dir) {
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    if (entry.path().filename().string().find(".out.") != std::string::npos) return true;
  }
  return false;
}

// A signal during a bootstrap ends the program like a stop: the message on
// the console and in the error file, status 128 + N, the interrupted run's
// temporary files gone and its earlier outputs as they were.
TEST(FileSystem, SignalDuringABootstrapLeavesEarlierOutputsIntact) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    TempDir dir;
    write_batch(dir);
    std::string endless = control("b.dat", true);
    endless.replace(endless.find("Resamples = 12"), 14, "Resamples = 9999999");
    dir.write("b.cnl", endless);
    for (const char* name : {"b_Quorvel.out", "b-k3+_quorvel.out", "b-k3-_quorvel.out"}) dir.write(name, "earlier\n");

    const std::string out = (dir.path() / ".stdout").string();
    pid_t pid = fork();
    if (pid == 0) {
      int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int in = open("/dev/null", O_RDWR);
      if (o < 0 || in < 0 || dup2(o, 1) < 0 || dup2(in, 2) < 0 || dup2(in, 0) < 0) _exit(120);
      if (chdir(dir.path().c_str()) != 0) _exit(121);
      execl(QUORVEL_BINARY, QUORVEL_BINARY, static_cast<char*>(nullptr));
      _exit(123);
    }
    ASSERT_GT(pid, 0);
    // Wait for the second run's temporary files, then into its bootstrap.
    for (int i = 0; i < 2000 && !(complete(dir.read("a_Quorvel.out")) && has_temporary_output(dir)); ++i) usleep(10000);
    usleep(300000);
    kill(pid, signal);
    int status = 0;
    for (int i = 0; i < 3000 && waitpid(pid, &status, WNOHANG) == 0; ++i) usleep(10000);
    if (kill(pid, 0) == 0 && waitpid(pid, &status, WNOHANG) == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      FAIL() << "the program went on after the signal";
    }
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
    const std::string message = "Interrupted by signal " + std::to_string(signal);
    EXPECT_TRUE(contains(dir.read(".stdout"), message)) << dir.read(".stdout");
    EXPECT_TRUE(contains(dir.read("Quorvel-error.out"), message));
    for (const char* name : {"b_Quorvel.out", "b-k3+_quorvel.out", "b-k3-_quorvel.out"}) {
      EXPECT_EQ(dir.read(name), "earlier\n") << name;
    }
    EXPECT_FALSE(has_temporary_output(dir));
    EXPECT_TRUE(complete(dir.read("a_Quorvel.out")));
  }
}

// Standard descriptors closed by the caller (quorvel >&-) are made valid at
// start: console lines must not land in the first file opened.
TEST(FileSystem, ClosedStandardOutputTakesNoFile) {
  TempDir dir;
  write_batch(dir);
  pid_t pid = fork();
  if (pid == 0) {
    int in = open("/dev/null", O_RDWR);
    if (in < 0 || dup2(in, 0) < 0 || dup2(in, 2) < 0) _exit(120);
    close(1);
    if (chdir(dir.path().c_str()) != 0) _exit(121);
    execl(QUORVEL_BINARY, QUORVEL_BINARY, static_cast<char*>(nullptr));
    _exit(123);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(dir.read("Quorvel-error.out"), "");
  EXPECT_TRUE(complete(dir.read("a_Quorvel.out")));
}

// A header that announces far more rows than the file holds costs memory
// for the rows that exist only: the column grows as they arrive.
TEST(FileSystem, AnnouncedRowsAreNotTakenBeforeTheyArrive) {
  TempDir dir;
  write_batch(dir);
  std::string data = white_data();
  data.replace(data.find("rows = 1024"), 11, "rows = 9999999");
  dir.write("a.dat", data);
  dir.write("Runquorvel.cnl", "Number of runs = 1 *\na.cnl*\n");
  pid_t pid = fork();
  if (pid == 0) {
    int in = open("/dev/null", O_RDWR);
    if (in < 0 || dup2(in, 0) < 0 || dup2(in, 1) < 0 || dup2(in, 2) < 0) _exit(120);
    if (chdir(dir.path().c_str()) != 0) _exit(121);
    execl(QUORVEL_BINARY, QUORVEL_BINARY, static_cast<char*>(nullptr));
    _exit(123);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_TRUE(contains(dir.read("Quorvel-error.out"), "**** eof in read from data file \n t = 1025"))
      << dir.read("Quorvel-error.out");
  EXPECT_LT(usage.ru_maxrss, 80 * 1024) << "peak resident kilobytes";
}

}  // namespace
}  // namespace quorvel::testing
