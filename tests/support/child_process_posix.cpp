#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace testsupport {
namespace {

std::vector<char*> CStrings(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

void CloseIfOpen(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

}  // namespace

ChildResult RunChild(const ChildOptions& options) {
    ChildResult result;
    int out_pipe[2], err_pipe[2], in_pipe[2];
    if (pipe2(out_pipe, O_CLOEXEC) != 0) return result;
    if (pipe2(err_pipe, O_CLOEXEC) != 0) return result;
    if (pipe2(in_pipe, O_CLOEXEC) != 0) return result;

    // Everything the child needs is prepared before fork.
    std::vector<std::string> argv_strings{options.program};
    argv_strings.insert(argv_strings.end(), options.args.begin(), options.args.end());
    std::vector<std::string> env_strings = options.env;
    std::vector<char*> argv = CStrings(argv_strings);
    std::vector<char*> envp = CStrings(env_strings);
    const char* cwd = options.cwd.empty() ? nullptr : options.cwd.c_str();

    pid_t pid = fork();
    if (pid < 0) return result;
    if (pid == 0) {
        dup2(in_pipe[0], STDIN_FILENO);
        dup2(out_pipe[1], STDOUT_FILENO);
        dup2(err_pipe[1], STDERR_FILENO);
        if (cwd != nullptr && chdir(cwd) != 0) _exit(126);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    int in_fd = in_pipe[1];
    int out_fd = out_pipe[0];
    int err_fd = err_pipe[0];
    if (!options.stdin_data.empty()) {
        // Small inputs only: a pipe buffer holds 64 KiB.
        ssize_t ignored = write(in_fd, options.stdin_data.data(), options.stdin_data.size());
        (void)ignored;
    }
    CloseIfOpen(in_fd);

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    auto elapsed_ms = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    };
    auto send_signal = [&] {
        if (!result.signal_sent && options.signal != 0) {
            kill(pid, options.signal);
            result.signal_sent = true;
        }
    };

    while (out_fd >= 0 || err_fd >= 0) {
        if (options.signal_after_ms >= 0 && elapsed_ms() >= options.signal_after_ms) send_signal();
        if (elapsed_ms() >= options.timeout_ms) {
            kill(pid, SIGKILL);
            result.timed_out = true;
            break;
        }
        pollfd fds[2];
        int count = 0;
        if (out_fd >= 0) fds[count++] = {out_fd, POLLIN, 0};
        if (err_fd >= 0) fds[count++] = {err_fd, POLLIN, 0};
        int ready = poll(fds, static_cast<nfds_t>(count), 10);
        if (ready < 0 && errno != EINTR) break;
        for (int i = 0; i < count; ++i) {
            if (fds[i].revents == 0) continue;
            char buffer[4096];
            ssize_t n = read(fds[i].fd, buffer, sizeof(buffer));
            bool is_out = fds[i].fd == out_fd;
            if (n <= 0) {
                if (n < 0 && errno == EINTR) continue;
                CloseIfOpen(is_out ? out_fd : err_fd);
                continue;
            }
            (is_out ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
            if (is_out && !options.signal_when_stdout_has.empty() &&
                result.out.find(options.signal_when_stdout_has) != std::string::npos) {
                send_signal();
            }
        }
    }
    CloseIfOpen(out_fd);
    CloseIfOpen(err_fd);

    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.term_signal = WTERMSIG(status);
    return result;
}

}  // namespace testsupport
