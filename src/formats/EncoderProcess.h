#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstddef>
#include <functional>
#include <sys/types.h>

namespace kv {

// The path by which an encoder opens the file handed to it (see EncoderProcess::start): the
// very file held, even after its name was removed or now leads to another file.
inline constexpr char kEncoderOutputPath[] = "/proc/self/fd/3";

// How long an encoder may neither read nor end before it is killed.
inline constexpr std::chrono::milliseconds kEncoderWatchdog{60000};
// How long the encoder of a stopped file may take to end once its input has ended: a Stop
// never waits out the watchdog on an encoder that has stopped reading.
inline constexpr std::chrono::milliseconds kEncoderStopGrace{3000};

// A command-line encoder as a child process: started with an argument vector (no shell),
// fed on its standard input through a pipe, its standard error kept for the last line. Never
// waits forever: an encoder that neither reads nor ends within the watchdog is killed. A
// closed pipe is reported, never raised as SIGPIPE. The kernel kills an encoder when the
// program ends, however it ends (SIGKILL included), so none goes on writing a file nobody
// will report.
class EncoderProcess {
public:
    enum class WriteResult {
        Written,
        Closed,  // the encoder no longer reads (it ended, or closed its input)
        Stalled, // it read nothing within the watchdog and was killed
        Stopped, // a stop was asked while it read nothing; it still runs
    };
    struct Exit {
        bool exited = false;   // ended by itself; false when a signal ended it
        int status = -1;       // exit status when it exited
        int signal = 0;        // the signal that ended it
        bool timedOut = false; // killed by the watchdog while finishing
        bool success() const { return exited && status == 0; }
    };

    explicit EncoderProcess(std::chrono::milliseconds watchdog = kEncoderWatchdog);
    ~EncoderProcess(); // kills and reaps an encoder still running
    EncoderProcess(const EncoderProcess&) = delete;
    EncoderProcess& operator=(const EncoderProcess&) = delete;

    // The program of that name: in the program folder first, then on PATH. "" when there is
    // none.
    static QString Find(const QString& name);

    // False, with errorText() saying why, when the program cannot be started. With
    // `outputFd`, the encoder gets that file as its descriptor 3, which kEncoderOutputPath
    // opens.
    bool start(const QString& program, const QStringList& arguments, int outputFd = -1);
    // `stop`, asked while the encoder reads nothing, ends the wait with Stopped.
    WriteResult write(const char* data, std::size_t bytes, const std::function<bool()>& stop = {});
    // Tells the encoder its input has ended and waits for it to end (within the watchdog, or
    // `grace` when given).
    Exit finish(std::chrono::milliseconds grace = std::chrono::milliseconds::zero());

    QString errorText() const { return errorText_; }
    // The last non-empty line the encoder wrote to its standard error.
    QString lastErrorLine() const;

private:
    void drainErrors();
    void closeInput();
    // Waits for the child until `deadline`; true when it was reaped.
    bool reap(std::chrono::steady_clock::time_point deadline);
    void killNow();

    std::chrono::milliseconds watchdog_;
    pid_t pid_ = -1;
    int input_ = -1;  // our end of its standard input
    int errors_ = -1; // our end of its standard error
    int pidfd_ = -1;  // readable once the child has ended (-1 where the kernel has none)
    bool reaped_ = false;
    Exit exit_;
    QByteArray errorTail_;
    QString errorText_;
};

} // namespace kv
