// A PulseAudio server of the test's own: system mode, a private socket in a fresh directory under
// the build tree (or /tmp, where the user pulse cannot reach the build tree), two null sinks
// ("test" at 48 kHz, "second"). Started by fork/exec, stopped by its pid and reaped.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace kestrel::testing {

class PulseServer {
 public:
  PulseServer() = default;
  ~PulseServer() { stop(); }
  PulseServer(const PulseServer&) = delete;
  PulseServer& operator=(const PulseServer&) = delete;

  // Starts the server and waits (at most `bound`) until its socket accepts connections. On
  // failure returns false with the reason (and the server's log) in `why`.
  bool start(std::string& why, std::chrono::milliseconds bound = std::chrono::seconds(20));
  // SIGTERM, then SIGKILL if it has not gone within a few seconds; reaped either way.
  void stop();
  // SIGKILL at once, as a crash would; reaped.
  void kill();

  bool running() const { return pid_ > 0; }
  // What libpulse takes as a server name (PULSE_SERVER).
  std::string address() const { return "unix:" + socket_.string(); }
  const std::filesystem::path& directory() const { return dir_; }

  // Runs pactl against this server; its exit status and output.
  int pactl(const std::string& args, std::string* output = nullptr) const;

 private:
  void reap(int signal, std::chrono::milliseconds bound);

  pid_t pid_ = -1;       // the server
  pid_t guardian_ = -1;  // its parent, which kills it should this program die
  int lifeline_[2] = {-1, -1};
  std::filesystem::path dir_;
  bool temporaryDir_ = false;  // dir_ is under /tmp and goes with the server
  std::filesystem::path socket_;
};

// The server the whole test program shares, started by the global environment.
PulseServer& sharedServer();
// True under CI (CI=true): a server that cannot be started is then a failure, never a skip.
bool underCi();

}  // namespace kestrel::testing
