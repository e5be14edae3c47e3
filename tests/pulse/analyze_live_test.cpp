// kestrel-analyze live, end to end through the real binary and the test server: the device list,
// capture from a device and from the default, Ctrl-C, the server going away, no server at all;
// and the two mixer stand-ins when their programs are missing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "player.h"
#include "pulse_server.h"
#include "tools/tool_runner.h"

namespace kestrel::testing {
namespace {

const std::string kTool = KESTREL_ANALYZE_PATH;
const std::string kMixerDir = KESTREL_MIXER_DIR;

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

ToolRun analyze(const std::string& server, const std::string& args, const char* name) {
  return runTool("env", "PULSE_SERVER='" + server + "' '" + kTool + "' " + args,
                 testOutputDir(std::string("analyze-live/") + name));
}

TEST(AnalyzeLive, ListDevicesPrintsIdTabNameForEveryInput) {
  const ToolRun run = analyze(sharedServer().address(), "--list-devices", "list");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> lines = linesOf(run.out);
  ASSERT_GE(lines.size(), 2u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].substr(0, lines[i].find('\t')), std::to_string(i)) << lines[i];
  }
  EXPECT_NE(run.out.find("\tMonitor of KestrelTest\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\tMonitor of KestrelSecond\n"), std::string::npos) << run.out;
}

TEST(AnalyzeLive, DeviceCapturesTheGivenNumberOfBlocks) {
  Player player(sharedServer().address(), "test", 48000,
                [](std::int16_t* out, int frames, std::uint64_t position) {
                  for (int k = 0; k < frames; ++k) {
                    out[2 * k] = out[2 * k + 1] = static_cast<std::int16_t>(std::lround(
                        8000 * std::sin(2 * M_PI * 1500.0 * double(position + k) / 48000.0)));
                  }
                });
  std::string why;
  ASSERT_TRUE(player.opened(why)) << why;
  const ToolRun list = analyze(sharedServer().address(), "--list-devices", "device-list");
  const std::size_t at = list.out.find("\tMonitor of KestrelTest\n");
  ASSERT_NE(at, std::string::npos);
  const std::string id =
      list.out.substr(list.out.rfind('\n', at) + 1, at - (list.out.rfind('\n', at) + 1));
  for (const std::string& device : {id, std::string("default")}) {
    const ToolRun run = analyze(sharedServer().address(),
                                "--device " + device + " --rate 48000 --blocks 4", "device");
    ASSERT_EQ(run.status, 0) << device << ": " << run.err;
    const std::vector<std::string> lines = linesOf(run.out);
    ASSERT_EQ(lines.size(), 4u) << device;
    for (const std::string& line : lines) EXPECT_EQ(line.front(), '{') << line;
    EXPECT_EQ(run.out.back(), '\n');
  }
}

TEST(AnalyzeLive, WithoutAServerListAndDeviceFailWithTheDriversText) {
  const std::string missing = "unix:" + (sharedServer().directory() / "none.sock").string();
  const std::string text =
      "kestrel-analyze: No sound server is reachable: start PulseAudio or PipeWire, or check "
      "PULSE_SERVER.\n";
  for (const char* args : {"--list-devices", "--device 0 --blocks 1", "--device default"}) {
    const ToolRun run = analyze(missing, args, "no-server");
    EXPECT_EQ(run.status, 1) << args;
    EXPECT_EQ(run.out, "") << args;
    EXPECT_EQ(run.err, text) << args;
  }
  const ToolRun bad = analyze(sharedServer().address(), "--device 999 --blocks 1", "bad-id");
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("no input device with this number"), std::string::npos) << bad.err;
}

// The binary running in the background, its output read through a pipe as it comes.
class Running {
 public:
  Running(const std::string& server, const std::vector<std::string>& args,
          const std::filesystem::path& errors) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(fds[1], STDOUT_FILENO);
      const int err = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (err >= 0) ::dup2(err, STDERR_FILENO);
      ::close(fds[0]);
      ::setenv("PULSE_SERVER", server.c_str(), 1);
      std::vector<char*> argv{const_cast<char*>(kTool.c_str())};
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(fds[1]);
    out_ = fds[0];
  }
  ~Running() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }

  // Reads until the output holds `lines` lines or ends; each wait for more is bounded.
  bool readLines(std::size_t lines) {
    while (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) < lines) {
      if (!readSome()) return false;
    }
    return true;
  }
  void readToEnd() {
    while (readSome()) {
    }
  }
  void interrupt() { ::kill(pid_, SIGINT); }
  // The exit status once it has ended (the output read to its end first).
  int wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  std::string text;

 private:
  bool readSome() {
    pollfd p{out_, POLLIN, 0};
    if (::poll(&p, 1, 10000) <= 0) return false;  // ten seconds without a line: stuck
    char chunk[4096];
    const ssize_t n = ::read(out_, chunk, sizeof(chunk));
    if (n <= 0) return false;
    text.append(chunk, static_cast<std::size_t>(n));
    return true;
  }

  pid_t pid_ = -1;
  int out_ = -1;
};

TEST(AnalyzeLive, CtrlCStopsTheCaptureAndKeepsWholeLines) {
  const auto errors = testOutputDir("analyze-live/ctrl-c") / "stderr.txt";
  // Lines reach the pipe when stdout's buffer fills (or at the end), so ask for small blocks in
  // csv (shorter than jsonl) and wait for enough of them.
  Running tool(sharedServer().address(),
               {"--device", "default", "--rate", "48000", "--fft", "1024", "--format", "csv"},
               errors);
  ASSERT_TRUE(tool.readLines(3)) << "no output from the live capture: " << readFile(errors);
  tool.interrupt();
  tool.readToEnd();
  EXPECT_EQ(tool.wait(), 0) << readFile(errors);
  EXPECT_EQ(tool.text.back(), '\n');
  EXPECT_EQ(readFile(errors), "");
}

TEST(AnalyzeLive, TheServerGoingAwayEndsTheCaptureWithOneLine) {
  PulseServer server;
  std::string why;
  ASSERT_TRUE(server.start(why)) << why;
  const auto errors = testOutputDir("analyze-live/lost") / "stderr.txt";
  Running tool(server.address(), {"--device", "default", "--fft", "1024", "--format", "csv"},
               errors);
  ASSERT_TRUE(tool.readLines(2)) << readFile(errors);
  server.kill();
  tool.readToEnd();
  EXPECT_EQ(tool.wait(), 1);
  const std::vector<std::string> lines = linesOf(readFile(errors));
  ASSERT_EQ(lines.size(), 1u) << readFile(errors);
  EXPECT_EQ(lines[0].rfind("kestrel-analyze: the input stopped after ", 0), 0u) << lines[0];
  // It was the server that went, not the device.
  EXPECT_NE(lines[0].find("No sound server is reachable"), std::string::npos) << lines[0];
}

TEST(MixerStandIns, EachExitsNonZeroWithOneLineWhenItsProgramIsMissing) {
  const auto dir = testOutputDir("mixers");
  for (const char* name : {"kestrel-recording-mixer", "kestrel-terminal-mixer"}) {
    const ToolRun run =
        runTool("env", "PATH='" + dir.string() + "' '" + kMixerDir + "/" + name + "' -R -D0", dir);
    EXPECT_NE(run.status, 0) << name;
    EXPECT_EQ(linesOf(run.err).size(), 1u) << name << ": " << run.err;
    EXPECT_EQ(run.err.rfind(std::string(name) + ": ", 0), 0u) << run.err;
  }
}

}  // namespace
}  // namespace kestrel::testing
