#pragma once

#include <QLocalSocket>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <vector>

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
    // The listening window turned the paths of HandOverOrListen away: it failed to start.
    bool handOverRefused() const { return refused_; }

    // A listening window answers no hand-over until its start is over: Open takes those
    // waiting and all later ones (pathsReceived); Refuse, for a start that failed, turns them
    // away so that their launches can say so.
    void Open();
    void Refuse();

    // The sending side alone: true when a window listening on `socketPath` took the paths.
    static bool HandOver(const QString& socketPath, const QStringList& paths, int timeoutMs);

    // How long a launch waits for the running window to answer.
    static constexpr int kAnswerTimeoutMs = 30000;

Q_SIGNALS:
    // Paths handed over by a later launch; possibly none (it only asks to be shown).
    void pathsReceived(const QStringList& paths);

private:
    enum class Start { Pending, Open, Failed };
    struct Waiting {
        QPointer<QLocalSocket> socket;
        QStringList paths;
    };
    void serve();
    void answer(QLocalSocket* socket, const QStringList& paths);
    void answerWaiting();

    QString path_;
    QLocalServer* server_ = nullptr;
    Start start_ = Start::Pending;
    std::vector<Waiting> waiting_;
    bool refused_ = false;
};

} // namespace kv
