#include "engine/AudioEngine.h"

#include "engine/AudioError.h"
#include "engine/Decoders.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include <memory>

namespace kv {

namespace {

bool started = false;
QAudioDevice outputDevice;
QStringList tagNames;

// Opens the default output once to prove it works. Qt reports a missing device (no sound
// server, no card) as an empty device list; a device that refuses to open as OpenError.
int OpenOutputDevice(QAudioDevice& device) {
    if (QMediaDevices::audioOutputs().isEmpty())
        return kAudioErrorDevice;
    device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return kAudioErrorDevice;
    QAudioFormat format;
    format.setSampleRate(44100);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format))
        return kAudioErrorFormat;
    auto sink = std::make_unique<QAudioSink>(device, format);
    sink->start();
    const QAudio::Error error = sink->error();
    sink->stop();
    switch (error) {
    case QAudio::NoError:
        return kAudioOk;
    case QAudio::OpenError:
        return kAudioErrorDriver;
    case QAudio::FatalError:
        return kAudioErrorDriver;
    default:
        return kAudioErrorUnknown;
    }
}

} // namespace

EngineStartResult DeviceFailure(int code) {
    EngineStartResult r;
    r.code = code;
    if (code == kAudioOk)
        return r;
    const QString crlf = QStringLiteral("\r\n");
    r.caption = QStringLiteral("Digital output");
    if (code == kAudioErrorAlready) {
        r.text = QStringLiteral("Error: Couldn't Initialize Digital Output.") + crlf +
                 QStringLiteral("Error Code:BASS_ERROR_ALREADY");
        return r;
    }
    QString codeLine;
    switch (code) {
    case kAudioErrorMemory:
        codeLine = QStringLiteral("Error Code:BASS_ERROR_MEM");
        break;
    case kAudioErrorDriver:
        codeLine = QStringLiteral("Error Code:BASS_ERROR_DRIVER");
        break;
    case kAudioErrorFormat:
        codeLine = QStringLiteral("Error Code:BASS_ERROR_FORMAT");
        break;
    case kAudioErrorNo3D:
        codeLine = QStringLiteral("Error Code:BASS_ERROR_NO3D");
        break;
    case kAudioErrorDevice:
        codeLine = QStringLiteral("Error Code:BASS_ERROR_DEVICE");
        r.caption = QStringLiteral("Initialaization Error");
        break;
    case kAudioErrorUnknown:
        codeLine = QStringLiteral("Error Code:BASS_ERROR_UNKNOWN");
        break;
    default:
        codeLine = QStringLiteral("Error Code:BASS_ERROR_UNKNOWN2");
        break;
    }
    r.text = QStringLiteral("Error: Couldn't Initialize Digital Output, The program will not work "
                            "correclty.") +
             crlf + QStringLiteral("The sound device may not be installed correclty.") + crlf +
             codeLine;
    r.fatal = true;
    return r;
}

EngineStartResult InitAudioEngine() {
    int code = kAudioErrorAlready;
    if (!started) {
        QAudioDevice device;
        code = OpenOutputDevice(device);
        if (code == kAudioOk) {
            outputDevice = device;
            started = true;
        }
    }
    SetAudioError(code);
    EngineStartResult result = DeviceFailure(code);
    if (result.fatal)
        return result;
    RegisterDecoders();
    tagNames = QStringLiteral("Title,Author,WM/AlbumTitle,Description,Rating,Copyright,WM/Genre,"
                              "WM/Year")
                   .split(QLatin1Char(','));
    return result;
}

void ReleaseAudioEngine() {
    if (!started) {
        SetAudioError(kAudioErrorInit);
        return;
    }
    started = false;
    outputDevice = QAudioDevice();
    UnregisterDecoders();
    SetAudioError(kAudioOk);
}

bool AudioEngineStarted() {
    return started;
}

QAudioDevice AudioOutputDevice() {
    return outputDevice;
}

const QStringList& WMATagNames() {
    return tagNames;
}

} // namespace kv
