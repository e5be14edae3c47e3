// Starting, waiting for and stopping the test's own PulseAudio server, and the global
// environment that runs one for every test of this program.
#include "pulse_server.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "tools/tool_runner.h"

namespace kestrel::testing {
namespace {

// True when every directory above dir lets other users through: the server drops to the user
// pulse, which must reach its socket. A build tree under /root (mode 700) does not.
bool othersCanReach(const std::filesystem::path& dir) {
  for (auto p = std::filesystem::absolute(dir).parent_path(); !p.empty(); p = p.parent_path()) {
    struct stat info {};
    if (::stat(p.c_str(), &info) == 0 && (info.st_mode & S_IXOTH) == 0) return false;
    if (p == p.root_path()) break;
  }
  return true;
}

// A fresh directory for one server: under the build tree where the user pulse can reach it and
// the socket path fits, else a private one under /tmp that stop() removes again.
std::filesystem::path freshDirectory(bool& temporary) {
  static std::atomic<int> serial{0};
  auto dir = testOutputDir("pulse") /
             (std::to_string(::getpid()) + "-" + std::to_string(serial.fetch_add(1)));
  temporary = false;
  // A unix socket path is limited to about 100 bytes.
  if ((dir / "pulse.sock").string().size() > 100 || !othersCanReach(dir)) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kestrel-pulse-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
      dir = pattern;
      temporary = true;
    }
  }
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  // The server drops to the user pulse and must create its socket here.
  ::chmod(dir.c_str(), 01777);
  return dir;
}

bool socketAccepts(const std::filesystem::path& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

bool underCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string(ci) == "true";
}

bool PulseServer::start(std::string& why, std::chrono::milliseconds bound) {
  dir_ = freshDirectory(temporaryDir_);
  socket_ = dir_ / "pulse.sock";
  const std::filesystem::path log = dir_ / "server.log";
  std::vector<std::string> args = {
      "pulseaudio",
      "--system",
      "--daemonize=no",
      "--disallow-exit",
      "--exit-idle-time=-1",
      "--disable-shm",
      "--use-pid-file=no",
      "--realtime=no",
      "--high-priority=no",
      "-n",
      "-L",
      "module-native-protocol-unix auth-anonymous=1 socket=" + socket_.string(),
      "-L",
      "module-null-sink sink_name=test rate=48000 format=s16le channels=2 "
      "sink_properties=device.description=KestrelTest",
      "-L",
      "module-null-sink sink_name=second sink_properties=device.description=KestrelSecond",
  };
  // Everything the children need is made before fork: after it only async-signal-safe calls.
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int nullFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  int pidPipe[2];
  if (::pipe2(lifeline_, O_CLOEXEC) != 0 || ::pipe2(pidPipe, O_CLOEXEC) != 0) {
    why = "pipe failed: " + std::string(std::strerror(errno));
    return false;
  }
  const pid_t guardian = ::fork();
  if (guardian < 0) {
    why = "fork failed: " + std::string(std::strerror(errno));
    return false;
  }
  if (guardian == 0) {
    // The guardian: the server's parent, which lives until the server ends or the test program
    // goes (its end of the lifeline closes, also when it crashes) and then kills the server, so
    // no daemon outlives the test. The server itself cannot be tied to us directly: it changes
    // its user, which clears a parent-death signal.
    ::close(lifeline_[1]);
    const pid_t server = ::fork();
    if (server == 0) {
      if (logFd >= 0) {
        ::dup2(logFd, STDOUT_FILENO);
        ::dup2(logFd, STDERR_FILENO);
      }
      if (nullFd >= 0) ::dup2(nullFd, STDIN_FILENO);
      ::execvp(argv[0], argv.data());
      ::_exit(127);
    }
    if (server < 0) ::_exit(126);
    [[maybe_unused]] const auto written = ::write(pidPipe[1], &server, sizeof server);
    pollfd life{lifeline_[0], POLLIN, 0};
    for (;;) {
      int status = 0;
      if (::waitpid(server, &status, WNOHANG) == server) ::_exit(0);
      if (::poll(&life, 1, 50) > 0) {  // nothing is ever written: this is the lifeline closing
        ::kill(server, SIGKILL);
        ::waitpid(server, &status, 0);
        ::_exit(0);
      }
    }
  }
  if (logFd >= 0) ::close(logFd);
  if (nullFd >= 0) ::close(nullFd);
  ::close(lifeline_[0]);
  lifeline_[0] = -1;
  ::close(pidPipe[1]);
  pid_t server = -1;
  const bool gotPid = ::read(pidPipe[0], &server, sizeof server) == sizeof server;
  ::close(pidPipe[0]);
  guardian_ = guardian;
  if (!gotPid) {
    reap(SIGKILL, std::chrono::seconds(5));
    why = "the server could not be started (fork failed)";
    return false;
  }
  pid_ = server;
  // A module that fails to load leaves the server running without a socket: wait for the socket
  // to accept, bounded, and watch for the server ending early. There is no event to wait on
  // here, so the socket is tried every few milliseconds.
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (::waitpid(guardian_, &status, WNOHANG) == guardian_) {  // the server has ended
      guardian_ = -1;
      reap(SIGKILL, std::chrono::seconds(1));
      why = "pulseaudio exited early; its log:\n" + readFile(log);
      return false;
    }
    if (socketAccepts(socket_)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  why = "pulseaudio did not open its socket in time; its log:\n" + readFile(log);
  kill();
  return false;
}

void PulseServer::reap(int signal, std::chrono::milliseconds bound) {
  if (pid_ > 0) ::kill(pid_, signal);
  if (guardian_ > 0) {
    // The guardian ends as soon as the server has.
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
      int status = 0;
      const pid_t done = ::waitpid(guardian_, &status, WNOHANG);
      if (done == guardian_ || (done < 0 && errno == ECHILD)) break;
      if (std::chrono::steady_clock::now() >= deadline) {
        if (pid_ > 0) ::kill(pid_, SIGKILL);
        ::kill(guardian_, SIGKILL);
        ::waitpid(guardian_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  for (int& fd : lifeline_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  pid_ = -1;
  guardian_ = -1;
}

void PulseServer::stop() {
  reap(SIGTERM, std::chrono::seconds(5));
  if (temporaryDir_) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
    temporaryDir_ = false;
  }
}

void PulseServer::kill() {
  reap(SIGKILL, std::chrono::seconds(5));
}

int PulseServer::pactl(const std::string& args, std::string* output) const {
  const auto out = dir_ / "pactl.out";
  const std::string command =
      "PULSE_SERVER='" + address() + "' pactl " + args + " >'" + out.string() + "' 2>&1 </dev/null";
  const int raw = std::system(command.c_str());
  if (output != nullptr) *output = readFile(out);
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

namespace {

PulseServer* shared = nullptr;

class PulseEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    std::string why;
    if (server_.start(why)) {
      shared = &server_;
      return;
    }
    if (underCi()) {
      // Not FAIL(): a failure here makes gtest skip every test, and CTest counts skipped tests
      // as passed. Exiting makes each test of this program fail.
      std::fprintf(stderr, "could not start the test's PulseAudio server: %s\n", why.c_str());
      std::exit(1);
    }
    GTEST_SKIP() << "no PulseAudio server could be started: " << why;
  }
  void TearDown() override {
    shared = nullptr;
    server_.stop();
  }

 private:
  PulseServer server_;
};

// Registered before main runs (gtest_main), so every test of the program has the server.
[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new PulseEnvironment);

}  // namespace

PulseServer& sharedServer() {
  return *shared;
}

}  // namespace kestrel::testing
