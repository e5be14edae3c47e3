// Runs a command-line tool of the build and collects its exit status, output and errors.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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

}  // namespace kestrel::testing
