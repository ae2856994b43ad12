#include "app/ExternalClose.h"

#include "app/SignalWatch.h"

#include <QApplication>
#include <QSessionManager>
#include <QWidget>

#include <csignal>

namespace kv {

ExternalClose::ExternalClose(QWidget* window, QObject* parent) : QObject(parent), window_(window) {
    watch_ = std::make_unique<SignalWatch>(std::initializer_list<int>{SIGTERM, SIGINT, SIGHUP},
                                           [this](int signalNumber) { onSignal(signalNumber); });
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager&) { closeWindow(); });
        connect(app, &QCoreApplication::aboutToQuit, this, &ExternalClose::closeWindow);
    }
}

ExternalClose::~ExternalClose() = default;

int ExternalClose::receivedSignal() const {
    return SignalWatch::Received();
}

void ExternalClose::arm() {
    armed_ = true;
    if (const int signalNumber = SignalWatch::Received())
        QMetaObject::invokeMethod(
            this, [this, signalNumber] { onSignal(signalNumber); }, Qt::QueuedConnection);
}

void ExternalClose::onSignal(int signalNumber) {
    if (!armed_) {
        // A box of the start-up is waiting for an answer nobody will give.
        if (QApplication::activeModalWidget()) {
            std::signal(signalNumber, SIG_DFL);
            std::raise(signalNumber);
        }
        return;
    }
    closeWindow();
    QCoreApplication::quit();
}

void ExternalClose::closeWindow() {
    if (window_)
        window_->close();
}

} // namespace kv
