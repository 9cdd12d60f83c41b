// reliability-peak OUTPUT PROGRAM [ARGUMENTS...]
//
// Runs PROGRAM with this process's standard streams and environment, writes
// its peak resident set size in kilobytes to the file OUTPUT, and ends the way
// PROGRAM ended: the same exit status, or the same signal. A host that talks
// to this process therefore talks to PROGRAM, and a test learns how much
// memory PROGRAM took without polling it while it runs.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) return 64;
  // Whatever the host does to this process's pipes must reach PROGRAM alone:
  // this process writes nothing to them.
  signal(SIGPIPE, SIG_IGN);
  const pid_t pid = fork();
  if (pid < 0) return 126;
  if (pid == 0) {
    // A test that gives up on a hung run kills this process; PROGRAM goes too.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    signal(SIGPIPE, SIG_DFL);
    execv(argv[2], argv + 2);
    _exit(127);
  }
  // Holding the pipes open would only hide PROGRAM's end of them.
  for (int fd = 0; fd <= 2; ++fd) close(fd);
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  if (std::FILE* out = std::fopen(argv[1], "w")) {
    std::fprintf(out, "%ld\n", usage.ru_maxrss);
    std::fclose(out);
  }
  if (WIFSIGNALED(status)) {
    signal(WTERMSIG(status), SIG_DFL);
    raise(WTERMSIG(status));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 125;
}
