// Runs a command-line tool of the build and collects its exit status, output and errors.
#pragma once

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kestrel::testing {

inline std::filesystem::path testOutputDir(const std::string& name) {
  const char* base = std::getenv("KESTREL_TEST_OUTPUT");
  std::filesystem::path dir = base ? base : std::filesystem::temp_directory_path() / "kestrel";
  dir /= name;
  std::filesystem::create_directories(dir);
  return dir;
}

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct ToolRun {
  int status = -1;
  std::string out, err;
};

// Runs "program args" through the shell; args are passed as written (quote them yourself).
inline ToolRun runTool(const std::string& program, const std::string& args,
                       const std::filesystem::path& dir) {
  const auto outPath = dir / "stdout.txt";
  const auto errPath = dir / "stderr.txt";
  const std::string command = "'" + program + "' " + args + " >'" + outPath.string() + "' 2>'" +
                              errPath.string() + "' </dev/null";
  const int raw = std::system(command.c_str());
  ToolRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  run.out = readFile(outPath);
  run.err = readFile(errPath);
  return run;
}

// A command line that must fail: the exit status and a text its one error line contains.
struct ToolError {
  std::string args;
  int status;
  std::string inErr;
};

// Each failing run prints nothing on stdout; a run error (status 1) is one line on stderr.
inline void expectToolErrors(const std::string& program, const std::vector<ToolError>& cases,
                             const std::filesystem::path& dir) {
  for (const ToolError& c : cases) {
    SCOPED_TRACE(c.args);
    const auto run = runTool(program, c.args, dir);
    EXPECT_EQ(run.status, c.status);
    EXPECT_NE(run.err.find(c.inErr), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
    if (c.status == 1) {
      EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    }
  }
}

// Writes a 16-bit WAV file of interleaved samples, `channels` per frame.
inline std::string writeWav(const std::filesystem::path& path, int rate, int channels,
                            const std::vector<std::int16_t>& samples) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
  if (file != nullptr) {
    sf_writef_short(file, samples.data(), static_cast<sf_count_t>(samples.size() / channels));
    sf_close(file);
  }
  return path.string();
}

}  // namespace kestrel::testing
