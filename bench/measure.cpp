// Runs a program and prints "ELAPSED_MS PEAK_RSS_KIB EXIT_CODE": the wall
// time from fork to the end of the wait, and the program's peak resident set
// (the kernel's high-water mark, VmHWM, as wait4 reports it). The program's
// standard streams go to /dev/null.
//   bench_measure PROGRAM [ARGUMENTS...]
// A small process of its own forks the program, so the peak is the
// program's: a child forked (or vforked) by a large process such as a Python
// interpreter starts its high-water mark at its parent's size.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_measure PROGRAM [ARGUMENTS...]\n");
    return 2;
  }
  timespec start{}, end{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  const pid_t child = fork();
  if (child < 0) return 1;
  if (child == 0) {
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
    }
    execvp(argv[1], argv + 1);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return 1;
  clock_gettime(CLOCK_MONOTONIC, &end);
  const double ms = (end.tv_sec - start.tv_sec) * 1e3 + (end.tv_nsec - start.tv_nsec) / 1e6;
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::printf("%.3f %ld %d\n", ms, usage.ru_maxrss, code);
  return 0;
}
