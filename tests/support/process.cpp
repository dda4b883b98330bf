#include "support/process.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

extern char **environ;

namespace hvtest {

ProcessResult run_process(const std::string &program, const std::vector<std::string> &args,
                          const ProcessOptions &options) {
  ProcessResult result;
#ifndef _WIN32
  int out_pipe[2], err_pipe[2];
  if (pipe(out_pipe) != 0) return result;
  if (pipe(err_pipe) != 0) {
    close(out_pipe[0]);
    close(out_pipe[1]);
    return result;
  }
  // Everything the child needs is built before the fork: after it, the
  // child only makes system calls.
  std::vector<std::string> all = {program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char *> argv;
  for (std::string &a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_strings = options.extra_env;
  std::vector<char *> envp;
  for (std::string &e : env_strings) envp.push_back(e.data());
  for (char **e = environ; *e; ++e) envp.push_back(*e);
  envp.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out_pipe[1], 1);
    dup2(options.merge_err ? out_pipe[1] : err_pipe[1], 2);
    close(out_pipe[0]);
    close(err_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(127);
    if (options.file_size_limit >= 0) {
      // A write past the limit then fails with EFBIG instead of a signal.
      struct sigaction ignore = {};
      ignore.sa_handler = SIG_IGN;
      sigaction(SIGXFSZ, &ignore, nullptr);
      const rlimit limit = {static_cast<rlim_t>(options.file_size_limit),
                            static_cast<rlim_t>(options.file_size_limit)};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
    }
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (pid > 0) {
    // Read both pipes until both close, so neither can fill up and block.
    pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
    std::string *sinks[2] = {&result.out, &result.err};
    int open_count = 2;
    while (open_count > 0) {
      if (poll(fds, 2, -1) < 0) break;
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
        char buf[4096];
        const ssize_t n = read(fds[i].fd, buf, sizeof buf);
        if (n > 0) {
          sinks[i]->append(buf, static_cast<size_t>(n));
        } else {
          fds[i].fd = -1;
          --open_count;
        }
      }
    }
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status))
      result.exit_code = WEXITSTATUS(status);
  }
  close(out_pipe[0]);
  close(err_pipe[0]);
#else
  (void)program;
  (void)args;
  (void)options;
#endif
  return result;
}

}  // namespace hvtest
