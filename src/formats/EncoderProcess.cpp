#include "formats/EncoderProcess.h"

#include "settings/ProgramFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/prctl.h>
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

// What the spawning thread is asked to start, and its answer.
struct SpawnRequest {
    const char* path;
    char* const* argv;
    int input;  // becomes the child's standard input
    int errors; // becomes the child's standard error
    int output; // the claimed output, the child's descriptor 3; -1 for none
    pid_t pid = -1;
    int error = 0; // errno of a start that failed
    bool done = false;
};

// Starts encoders from one thread that lives as long as the process. The kernel's "kill me
// when my parent goes" follows the thread that forked the child, and the batch's workers end
// while the program goes on; this thread ends only with the process, so an encoder never
// outlives the program that feeds it, not even one killed by SIGKILL. Never destroyed: the
// process may end while a worker still waits for it.
class Spawner {
public:
    static Spawner& Instance() {
        static Spawner* const spawner = new Spawner;
        return *spawner;
    }

    void run(SpawnRequest& request) {
        std::unique_lock lock(mutex_);
        queue_.push_back(&request);
        wake_.notify_all();
        done_.wait(lock, [&] { return request.done; });
    }

private:
    Spawner() {
        // Signals go to the other threads; the child starts from this mask, so none can reach
        // a handler of ours in it before exec.
        sigset_t all, old;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &old);
        std::thread([this] { loop(); }).detach();
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
    }

    void loop() {
        for (;;) {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return !queue_.empty(); });
            SpawnRequest* request = queue_.front();
            queue_.pop_front();
            lock.unlock();
            spawn(*request);
            lock.lock();
            request->done = true;
            done_.notify_all();
        }
    }

    // fork, then in the child only calls that are safe after a fork.
    static void spawn(SpawnRequest& r) {
        // The child's ends above 2, so moving them to 0 and 2 never meets one of them there.
        const int input = ::fcntl(r.input, F_DUPFD_CLOEXEC, 3);
        const int errors = ::fcntl(r.errors, F_DUPFD_CLOEXEC, 3);
        int report[2] = {-1, -1}; // the child's errno when exec fails; closed by a good exec
        if (input < 0 || errors < 0 || ::pipe2(report, O_CLOEXEC) != 0) {
            r.error = errno;
            closeFd(report[0]);
            closeFd(report[1]);
            ::close(input);
            ::close(errors);
            return;
        }
        const pid_t parent = ::getpid();
        const pid_t pid = ::fork();
        if (pid == 0)
            child(r, input, errors, report[1], parent);
        const int forkError = errno;
        ::close(report[1]);
        ::close(input);
        ::close(errors);
        if (pid < 0) {
            r.error = forkError;
            ::close(report[0]);
            return;
        }
        int childError = 0;
        ssize_t n = 0;
        while ((n = ::read(report[0], &childError, sizeof childError)) < 0 && errno == EINTR) {
        }
        ::close(report[0]);
        if (n == static_cast<ssize_t>(sizeof childError)) {
            r.error = childError;
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
            return;
        }
        r.pid = pid;
    }

    [[noreturn]] static void child(const SpawnRequest& r, int input, int errors, int report,
                                   pid_t parent) {
        // Ends with this thread, hence with the process; a parent gone already is caught by
        // the check after it.
        if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent)
            ::_exit(127);
        // A process group of its own: Ctrl+C in a terminal stops the batch through us, and the
        // encoder then finishes the file rather than dying with it half-written.
        ::setpgid(0, 0);
        const int null = ::open("/dev/null", O_WRONLY);
        if (::dup2(input, STDIN_FILENO) < 0 || null < 0 || ::dup2(null, STDOUT_FILENO) < 0 ||
            ::dup2(errors, STDERR_FILENO) < 0)
            fail(report);
        // Above 9 (see start), so the moves before never met it.
        if (r.output >= 0 && ::dup2(r.output, 3) < 0)
            fail(report);
        if (null != STDOUT_FILENO)
            ::close(null);
        // Every signal at its default (SIGPIPE too), none blocked, whatever this program has.
        for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
            struct sigaction action {};
            if (::sigaction(signalNumber, nullptr, &action) == 0 &&
                (action.sa_handler != SIG_IGN || signalNumber == SIGPIPE) &&
                action.sa_handler != SIG_DFL) {
                action = {};
                action.sa_handler = SIG_DFL;
                ::sigaction(signalNumber, &action, nullptr);
            }
        }
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execve(r.path, r.argv, environ);
        fail(report);
    }

    [[noreturn]] static void fail(int report) {
        const int error = errno;
        [[maybe_unused]] const ssize_t n = ::write(report, &error, sizeof error);
        ::_exit(127);
    }

    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::deque<SpawnRequest*> queue_;
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

    std::vector<QByteArray> bytes;
    bytes.push_back(QFile::encodeName(program));
    for (const QString& a : arguments)
        bytes.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);

    SpawnRequest request{bytes.front().constData(), argv.data(), in[0], err[1], output};
    Spawner::Instance().run(request);
    closeFd(in[0]);
    closeFd(err[1]);
    pid_ = request.pid;
    if (request.error != 0) {
        pid_ = -1;
        closeFd(in[1]);
        closeFd(err[0]);
        errorText_ = QStringLiteral("%1 cannot be started: %2")
                         .arg(program, QString::fromLocal8Bit(std::strerror(request.error)));
        return false;
    }
    input_ = in[1];
    errors_ = err[0];
    pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    return true;
}

EncoderProcess::WriteResult EncoderProcess::write(const char* data, std::size_t bytes,
                                                  const std::function<bool()>& stop) {
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
        if (stop && stop())
            return WriteResult::Stopped;
        pollfd fds[2] = {{input_, POLLOUT, 0}, {errors_, POLLIN, 0}};
        // A stop is looked for every tenth of a second meanwhile.
        if (::poll(fds, errors_ >= 0 ? 2 : 1, stop ? std::min(wait, 100) : wait) > 0 &&
            fds[1].revents != 0)
            drainErrors();
    }
    return WriteResult::Written;
}

EncoderProcess::Exit EncoderProcess::finish(std::chrono::milliseconds grace) {
    closeInput();
    if (pid_ > 0 && !reaped_ && !reap(Clock::now() + (grace > grace.zero() ? grace : watchdog_))) {
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
