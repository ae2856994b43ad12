#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QSaveFile;

namespace kv {

// Whether the system reports a network at all. Tests replace it.
class NetworkStatus {
public:
    virtual ~NetworkStatus() = default;
    virtual bool connected() = 0;
};

// The system's answer: the network manager's when it knows one (QNetworkInformation); with
// no manager to ask, or one that cannot tell, whether the routing tables offer a way off this
// machine (HasUsableRoute). Only when neither can tell does it count as connected.
class SystemNetworkStatus : public NetworkStatus {
public:
    enum class Manager { Unknown, Disconnected, Connected };
    // The manager's answer and the route check's files; the defaults ask the system.
    explicit SystemNetworkStatus(std::function<Manager()> manager = {},
                                 QString ipv4Routes = QStringLiteral("/proc/net/route"),
                                 QString ipv6Routes = QStringLiteral("/proc/net/ipv6_route"),
                                 QString interfaces = QStringLiteral("/sys/class/net"));
    bool connected() override;

private:
    std::function<Manager()> manager_;
    QString ipv4Routes_, ipv6Routes_, interfaces_;
};

// False when the system has no network (SystemNetworkStatus, unless a test replaced it).
bool NetworkConnected();
// Replaces the status (nullptr restores the system's). The caller keeps ownership.
void SetNetworkStatus(NetworkStatus* status);

enum class DownloadOutcome { Running, Done, Failed, Cancelled, NotConnected };

// Fetches one file from an http or https address into a local path. The file is written
// beside the destination under a temporary name and renamed into place only when the whole
// file has arrived, so a failed or cancelled download never leaves a half file under the
// final name (an older file there stays until then). Redirects are followed, never from
// https to http; an interrupted transfer is not resumed.
class FileDownload : public QObject {
    Q_OBJECT
public:
    FileDownload(const QUrl& url, const QString& destination, QObject* parent = nullptr);
    ~FileDownload() override;

    void start();
    // Ends a running download as cancelled; nothing is left behind.
    void cancel();

    DownloadOutcome outcome() const { return outcome_; }
    // Why a download failed, in words.
    QString errorText() const { return error_; }

Q_SIGNALS:
    // `total` is -1 while the size is not known.
    void progress(qint64 received, qint64 total);
    // Once, when the outcome is settled.
    void finished(kv::DownloadOutcome outcome);

private:
    void onReadyRead();
    void onFinished();
    void finish(DownloadOutcome outcome, const QString& error = QString());

    QUrl url_;
    QString destination_;
    QNetworkAccessManager* manager_ = nullptr;
    QNetworkReply* reply_ = nullptr;
    std::unique_ptr<QSaveFile> file_;
    qint64 received_ = 0;
    bool cancelled_ = false;
    QString writeError_;
    QString error_;
    DownloadOutcome outcome_ = DownloadOutcome::Running;
};

} // namespace kv

Q_DECLARE_METATYPE(kv::DownloadOutcome)
