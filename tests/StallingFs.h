#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <memory>
#include <thread>

namespace kvtest {

// A FUSE file system of one read-only file, served from memory by a thread of this process and
// mounted in a temporary folder: a file whose reads block in the kernel, as on a network share
// that stopped answering. Every read at or past `holdFrom` is held until release().
class StallingFs {
public:
    StallingFs(const QString& name, QByteArray bytes, qint64 holdFrom);
    // Releases held reads, unmounts and ends the thread; nothing may have the file open then.
    ~StallingFs();
    StallingFs(const StallingFs&) = delete;
    StallingFs& operator=(const StallingFs&) = delete;

    bool mounted() const { return thread_.joinable(); }
    QString path() const; // the file's path
    // Waits until a read is being held; false when none came within `limit`.
    bool waitHeld(std::chrono::milliseconds limit);
    int held() const; // reads held now
    // Answers the held reads and serves every later one at once.
    void release();

    struct State;

private:
    QTemporaryDir dir_;
    std::unique_ptr<State> state_;
    std::thread thread_;
};

} // namespace kvtest
