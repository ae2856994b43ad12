#include "net/FileDownload.h"
#include "net/NetworkRoutes.h"

#include <QNetworkAccessManager>
#include <QNetworkInformation>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>

namespace kv {

namespace {

// A transfer that stalls this long fails instead of waiting for ever.
constexpr int kTransferTimeoutMs = 60000;

SystemNetworkStatus::Manager askManager() {
    if (QNetworkInformation::instance() == nullptr)
        QNetworkInformation::loadDefaultBackend();
    const QNetworkInformation* info = QNetworkInformation::instance();
    if (info == nullptr)
        return SystemNetworkStatus::Manager::Unknown;
    switch (info->reachability()) {
    case QNetworkInformation::Reachability::Disconnected:
        return SystemNetworkStatus::Manager::Disconnected;
    case QNetworkInformation::Reachability::Unknown:
        return SystemNetworkStatus::Manager::Unknown;
    default:
        return SystemNetworkStatus::Manager::Connected;
    }
}

NetworkStatus*& installed() {
    static NetworkStatus* status = nullptr;
    return status;
}

} // namespace

SystemNetworkStatus::SystemNetworkStatus(std::function<Manager()> manager, QString ipv4Routes,
                                         QString ipv6Routes, QString interfaces)
    : manager_(manager ? std::move(manager) : askManager), ipv4Routes_(std::move(ipv4Routes)),
      ipv6Routes_(std::move(ipv6Routes)), interfaces_(std::move(interfaces)) {}

bool SystemNetworkStatus::connected() {
    switch (manager_()) {
    case Manager::Disconnected:
        return false;
    case Manager::Connected:
        return true;
    case Manager::Unknown:
        break;
    }
    return HasUsableRoute(ipv4Routes_, ipv6Routes_, interfaces_).value_or(true);
}

bool NetworkConnected() {
    static SystemNetworkStatus system;
    NetworkStatus* status = installed() ? installed() : &system;
    return status->connected();
}

void SetNetworkStatus(NetworkStatus* status) {
    installed() = status;
}

FileDownload::FileDownload(const QUrl& url, const QString& destination, QObject* parent)
    : QObject(parent), url_(url), destination_(destination) {
    qRegisterMetaType<kv::DownloadOutcome>("kv::DownloadOutcome");
}

FileDownload::~FileDownload() {
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

void FileDownload::start() {
    if (outcome_ != DownloadOutcome::Running || reply_)
        return;
    const QString scheme = url_.scheme().toLower();
    if (!url_.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        finish(DownloadOutcome::Failed,
               QStringLiteral("Not a web address: %1").arg(url_.toString()));
        return;
    }
    file_ = std::make_unique<QSaveFile>(destination_);
    if (!file_->open(QIODevice::WriteOnly)) {
        finish(DownloadOutcome::Failed, file_->errorString());
        return;
    }
    manager_ = new QNetworkAccessManager(this);
    QNetworkRequest request(url_);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(kTransferTimeoutMs);
    reply_ = manager_->get(request);
    connect(reply_, &QIODevice::readyRead, this, &FileDownload::onReadyRead);
    connect(reply_, &QNetworkReply::downloadProgress, this, &FileDownload::progress);
    connect(reply_, &QNetworkReply::finished, this, &FileDownload::onFinished);
}

void FileDownload::cancel() {
    if (outcome_ != DownloadOutcome::Running)
        return;
    cancelled_ = true;
    if (reply_)
        reply_->abort(); // finished follows
    else
        finish(DownloadOutcome::Cancelled);
}

void FileDownload::onReadyRead() {
    // The body of a redirect or an error page is not the file.
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status >= 300 || !writeError_.isEmpty()) {
        reply_->readAll();
        return;
    }
    const QByteArray bytes = reply_->readAll();
    if (file_->write(bytes) != bytes.size()) {
        writeError_ = file_->errorString();
        reply_->abort();
        return;
    }
    received_ += bytes.size();
}

void FileDownload::onFinished() {
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    reply->deleteLater();
    if (cancelled_) {
        finish(DownloadOutcome::Cancelled);
        return;
    }
    if (!writeError_.isEmpty()) {
        finish(DownloadOutcome::Failed, writeError_);
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        finish(DownloadOutcome::Failed, reply->errorString());
        return;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status >= 300) {
        finish(DownloadOutcome::Failed,
               QStringLiteral("The server answered %1 %2")
                   .arg(status)
                   .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString()));
        return;
    }
    // A connection that ended early without the network layer noticing.
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() != received_) {
        finish(
            DownloadOutcome::Failed,
            QStringLiteral("Only %1 of %2 bytes arrived").arg(received_).arg(length.toLongLong()));
        return;
    }
    if (!file_->commit()) {
        finish(DownloadOutcome::Failed, file_->errorString());
        return;
    }
    finish(DownloadOutcome::Done);
}

void FileDownload::finish(DownloadOutcome outcome, const QString& error) {
    if (outcome_ != DownloadOutcome::Running)
        return;
    // Without a commit the temporary file goes, and the destination is left as it was.
    if (file_ && outcome != DownloadOutcome::Done)
        file_->cancelWriting();
    file_.reset();
    outcome_ = outcome;
    error_ = error;
    Q_EMIT finished(outcome);
}

} // namespace kv
