// Runs quorvel-card as a child process and reads its output line by line:
// "serve" on 127.0.0.1 with a free port, or "watch" on a card folder.
#pragma once
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <string>
#include <vector>

namespace quorvel::test {

class CardProcess {
 public:
  CardProcess(const std::string& dir, const std::vector<std::string>& extra = {})
      : CardProcess({"serve", "--dir", dir, "--port", "0"}, extra) {
    std::string first = Line();
    if (first.rfind("port ", 0) == 0) port = std::stoi(first.substr(5));
  }
#ifdef _WIN32
  CardProcess(std::vector<std::string> args, const std::vector<std::string>& extra) {
    std::string line = std::string("\"") + QUORVEL_CARD + "\"";
    for (const auto& a : args) line += " \"" + a + "\"";
    for (const auto& a : extra) line += " \"" + a + "\"";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE write = nullptr;
    if (!CreatePipe(&out_, &write, &inherit, 0)) return;
    SetHandleInformation(out_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = write;
    start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start,
                       &process_))
      CloseHandle(process_.hThread);
    CloseHandle(write);
  }
  ~CardProcess() {
    if (process_.hProcess) {
      TerminateProcess(process_.hProcess, 0);
      WaitForSingleObject(process_.hProcess, 5000);
      CloseHandle(process_.hProcess);
    }
    if (out_) CloseHandle(out_);
  }
  CardProcess(const CardProcess&) = delete;
  CardProcess& operator=(const CardProcess&) = delete;

  // The next log line; empty when none came within timeoutMs.
  std::string Line(int timeoutMs = 5000) {
    const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    for (;;) {
      std::size_t nl = buf_.find('\n');
      if (nl != std::string::npos) {
        std::string line = buf_.substr(0, nl);
        buf_.erase(0, nl + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
      }
      DWORD ready = 0;
      if (!out_ || !PeekNamedPipe(out_, nullptr, 0, nullptr, &ready, nullptr)) return "";
      if (ready == 0) {
        if (GetTickCount64() >= until) return "";
        Sleep(10);
        continue;
      }
      char chunk[512];
      DWORD n = 0;
      if (!ReadFile(out_, chunk, sizeof chunk, &n, nullptr) || n == 0) return "";
      buf_.append(chunk, n);
    }
  }

#else
  CardProcess(std::vector<std::string> args, const std::vector<std::string>& extra) {
    int fds[2];
    if (pipe(fds) != 0) return;
    args.insert(args.begin(), QUORVEL_CARD);
    args.insert(args.end(), extra.begin(), extra.end());
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], 1);
      close(fds[0]);
      close(fds[1]);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(fds[1]);
    out_ = fds[0];
  }
  ~CardProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }
  CardProcess(const CardProcess&) = delete;
  CardProcess& operator=(const CardProcess&) = delete;

  // The next log line; empty when none came within timeoutMs.
  std::string Line(int timeoutMs = 5000) {
    for (;;) {
      std::size_t nl = buf_.find('\n');
      if (nl != std::string::npos) {
        std::string line = buf_.substr(0, nl);
        buf_.erase(0, nl + 1);
        return line;
      }
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, timeoutMs) <= 0) return "";
      char chunk[512];
      ssize_t n = read(out_, chunk, sizeof chunk);
      if (n <= 0) return "";
      buf_.append(chunk, static_cast<std::size_t>(n));
    }
  }

#endif
  std::string Target() const { return "127.0.0.1"; }
  int port = 0;

 private:
#ifdef _WIN32
  PROCESS_INFORMATION process_{};
  HANDLE out_ = nullptr;
#else
  pid_t pid_ = -1;
  int out_ = -1;
#endif
  std::string buf_;
};

}  // namespace quorvel::test
