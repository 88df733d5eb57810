// tovalin-route as a child process, measured from outside: wall and processor time, peak
// resident memory (rusage), the bytes it read and wrote (/proc/PID/io: rchar and wchar, what it
// asked of the file system; read_bytes and write_bytes, what reached the disk), and the
// reading, routing and writing times and the subreach-steps its summary prints.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace tovalin::bench {

struct EngineRun {
  double wall = 0, read = 0, route = 0, write = 0, cpu = 0;
  long peakKiB = 0;
  long long rchar = 0, wchar = 0, readBytes = 0, writeBytes = 0;
  long long subreachSteps = 0;
};

// A figure of /proc/PID/io, read while the child is a zombie (waited for, not reaped).
inline long long IoFigure(pid_t pid, const char* name) {
  std::ifstream io("/proc/" + std::to_string(pid) + "/io");
  std::string key;
  long long value = 0;
  while (io >> key >> value)
    if (key == std::string(name) + ":") return value;
  return -1;
}

// Runs args (the command first) with its standard output into log, and measures it; ends the
// benchmark when the command cannot be started or exits above 1 (1: a reach failed, results
// written all the same).
inline EngineRun RunRoute(std::vector<std::string> args, const std::string& log) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    std::perror("posix_spawn");
    std::exit(1);
  }
  siginfo_t info{};
  waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT);
  EngineRun r;
  r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.rchar = IoFigure(pid, "rchar"), r.wchar = IoFigure(pid, "wchar");
  r.readBytes = IoFigure(pid, "read_bytes"), r.writeBytes = IoFigure(pid, "write_bytes");
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  posix_spawn_file_actions_destroy(&actions);
  r.peakKiB = usage.ru_maxrss;
  r.cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec +
          usage.ru_stime.tv_usec * 1e-6;
  std::ifstream in(log);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("time:", 0) == 0)
      std::sscanf(line.c_str(), "time: read %lf s, route %lf s, write %lf s", &r.read, &r.route,
                  &r.write);
    if (line.rfind("work:", 0) == 0) std::sscanf(line.c_str(), "work: %lld", &r.subreachSteps);
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) {
    std::fprintf(stderr, "tovalin-route failed (status %d)\n", status);
    std::exit(1);
  }
  return r;
}

}  // namespace tovalin::bench
