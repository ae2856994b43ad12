#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

namespace kv {

// One window per user and settings folder: a second launch hands its paths to the window that
// runs and ends, so "Open with" in a file manager adds to the list already open. The channel
// is a local socket in the user's runtime folder that only the user can open.
class InstanceChannel : public QObject {
    Q_OBJECT
public:
    // The socket of the window that keeps its settings in `configFolder`.
    static QString SocketPath(const QString& runtimeFolder, const QString& configFolder);
    // The socket for this process's user and settings.
    static QString DefaultSocketPath();

    explicit InstanceChannel(const QString& socketPath, QObject* parent = nullptr);
    ~InstanceChannel() override;

    // Hands `paths` to the window listening on the socket, which may also be none; true once
    // that window has taken them. Otherwise this process claims the socket and listens. Two
    // launches at once take turns, so exactly one of them ends up listening.
    bool HandOverOrListen(const QStringList& paths);
    bool isListening() const;

    // The sending side alone: true when a window listening on `socketPath` took the paths.
    static bool HandOver(const QString& socketPath, const QStringList& paths, int timeoutMs);

    // How long a launch waits for the running window to answer.
    static constexpr int kAnswerTimeoutMs = 30000;

Q_SIGNALS:
    // Paths handed over by a later launch; possibly none (it only asks to be shown).
    void pathsReceived(const QStringList& paths);

private:
    void serve();

    QString path_;
    QLocalServer* server_ = nullptr;
};

} // namespace kv
