#include "convert/EncoderProcess.h"

#include "settings/ProgramFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kv {
namespace {
using Clock = std::chrono::steady_clock;

// Larger than a block of the converter, so decoding the next block overlaps with encoding.
constexpr int kPipeBytes = 1 << 20;
// Enough of standard error for its last lines.
constexpr qsizetype kErrorTailBytes = 4096;

int millisecondsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

void closeFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// Blocks SIGPIPE on the calling thread while it lives: a write to a pipe whose reader is gone
// then fails with EPIPE instead of ending the program. A SIGPIPE raised meanwhile is taken
// back before the mask is restored, so it never arrives later.
class SigPipeGuard {
public:
    SigPipeGuard() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
    }
    ~SigPipeGuard() {
        if (raised_) {
            const timespec zero{};
            while (sigtimedwait(&pipe_, nullptr, &zero) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }
    void raised() { raised_ = true; }

private:
    sigset_t pipe_{}, old_{};
    bool raised_ = false;
};
} // namespace

EncoderProcess::EncoderProcess(std::chrono::milliseconds watchdog) : watchdog_(watchdog) {}

EncoderProcess::~EncoderProcess() {
    closeInput();
    if (pid_ > 0 && !reaped_)
        killNow();
    closeFd(errors_);
    closeFd(pidfd_);
}

QString EncoderProcess::Find(const QString& name) {
    const QFileInfo bundled(ProgramFolder() + QLatin1Char('/') + name);
    if (bundled.isFile() && bundled.isExecutable())
        return bundled.absoluteFilePath();
    return QStandardPaths::findExecutable(name);
}

bool EncoderProcess::start(const QString& program, const QStringList& arguments, int outputFd) {
    int in[2] = {-1, -1}, err[2] = {-1, -1};
    // Above the descriptors the child's set-up writes, so none of those steps closes it.
    int output = outputFd >= 0 ? ::fcntl(outputFd, F_DUPFD_CLOEXEC, 10) : -1;
    const std::shared_ptr<void> closeOutput(nullptr, [&output](void*) { closeFd(output); });
    if (outputFd >= 0 && output < 0) {
        errorText_ = QStringLiteral("no descriptor for %1's output: %2")
                         .arg(program, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        errorText_ = QStringLiteral("no pipe for %1: %2")
                         .arg(program, QString::fromLocal8Bit(std::strerror(errno)));
        closeFd(in[0]);
        closeFd(in[1]);
        return false;
    }
    ::fcntl(in[1], F_SETPIPE_SZ, kPipeBytes); // a smaller pipe only costs overlap
    ::fcntl(in[1], F_SETFL, O_NONBLOCK);
    ::fcntl(err[0], F_SETFL, O_NONBLOCK);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    if (output >= 0)
        posix_spawn_file_actions_adddup2(&actions, output, 3);
    // The encoder starts with no blocked signals and SIGPIPE at its default, whatever this
    // thread has, in a process group of its own: Ctrl+C in a terminal stops the batch through
    // us and the encoder then finishes the file, rather than dying with it half-written.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, pipe;
    sigemptyset(&none);
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &pipe);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                        POSIX_SPAWN_SETPGROUP);

    std::vector<QByteArray> bytes;
    bytes.push_back(QFile::encodeName(program));
    for (const QString& a : arguments)
        bytes.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);

    const int rc =
        posix_spawn(&pid_, bytes.front().constData(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    closeFd(in[0]);
    closeFd(err[1]);
    if (rc != 0) {
        pid_ = -1;
        closeFd(in[1]);
        closeFd(err[0]);
        errorText_ = QStringLiteral("%1 cannot be started: %2")
                         .arg(program, QString::fromLocal8Bit(std::strerror(rc)));
        return false;
    }
    input_ = in[1];
    errors_ = err[0];
    pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    return true;
}

EncoderProcess::WriteResult EncoderProcess::write(const char* data, std::size_t bytes) {
    if (input_ < 0)
        return WriteResult::Closed;
    SigPipeGuard guard;
    auto deadline = Clock::now() + watchdog_;
    while (bytes > 0) {
        const ssize_t n = ::write(input_, data, bytes);
        if (n > 0) {
            data += n;
            bytes -= static_cast<std::size_t>(n);
            deadline = Clock::now() + watchdog_;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            if (errno == EPIPE)
                guard.raised();
            closeInput();
            return WriteResult::Closed;
        }
        // The pipe is full: wait for room, and keep its standard error flowing meanwhile so it
        // never blocks on that.
        const int wait = millisecondsUntil(deadline);
        if (wait == 0) {
            killNow();
            closeInput();
            return WriteResult::Stalled;
        }
        pollfd fds[2] = {{input_, POLLOUT, 0}, {errors_, POLLIN, 0}};
        if (::poll(fds, errors_ >= 0 ? 2 : 1, wait) > 0 && fds[1].revents != 0)
            drainErrors();
    }
    return WriteResult::Written;
}

EncoderProcess::Exit EncoderProcess::finish() {
    closeInput();
    if (pid_ > 0 && !reaped_ && !reap(Clock::now() + watchdog_)) {
        killNow();
        exit_.timedOut = true;
    }
    drainErrors();
    return exit_;
}

QString EncoderProcess::lastErrorLine() const {
    QByteArray tail = errorTail_;
    tail.replace('\r', '\n');
    const QList<QByteArray> lines = tail.split('\n');
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        const QByteArray line = it->trimmed();
        if (!line.isEmpty())
            return QString::fromLocal8Bit(line);
    }
    return QString();
}

void EncoderProcess::drainErrors() {
    char buffer[4096];
    while (errors_ >= 0) {
        const ssize_t n = ::read(errors_, buffer, sizeof buffer);
        if (n > 0) {
            errorTail_.append(buffer, n);
            if (errorTail_.size() > kErrorTailBytes)
                errorTail_.remove(0, errorTail_.size() - kErrorTailBytes);
        } else if (n == 0 || errno != EINTR) {
            if (n == 0)
                closeFd(errors_);
            return;
        }
    }
}

void EncoderProcess::closeInput() {
    closeFd(input_);
}

bool EncoderProcess::reap(Clock::time_point deadline) {
    for (;;) {
        int status = 0;
        const pid_t got = ::waitpid(pid_, &status, WNOHANG);
        if (got == pid_) {
            reaped_ = true;
            exit_.exited = WIFEXITED(status);
            exit_.status = exit_.exited ? WEXITSTATUS(status) : -1;
            exit_.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
            return true;
        }
        if (got < 0 && errno != EINTR) {
            reaped_ = true; // someone else took it; nothing left to wait for
            return true;
        }
        const int wait = millisecondsUntil(deadline);
        if (wait == 0)
            return false;
        // Without a process descriptor, look again every few milliseconds.
        pollfd fds[2];
        nfds_t count = 0;
        if (pidfd_ >= 0)
            fds[count++] = {pidfd_, POLLIN, 0};
        if (errors_ >= 0)
            fds[count++] = {errors_, POLLIN, 0};
        ::poll(fds, count, pidfd_ >= 0 ? wait : std::min(wait, 10));
        drainErrors();
    }
}

void EncoderProcess::killNow() {
    if (pid_ <= 0 || reaped_)
        return;
    ::kill(pid_, SIGKILL);
    reap(Clock::time_point::max());
}

} // namespace kv
