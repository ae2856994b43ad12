#pragma once

#include <QAudioDevice>
#include <QString>
#include <QStringList>

namespace kv {

// What start-up has to tell the user about the output device, and whether the program ends.
struct EngineStartResult {
    int code = 0;       // 0 when the device opened
    bool fatal = false; // the program ends after the box, without the close sequence
    QString text;       // empty: no box
    QString caption;
};

// Opens the default output device, registers the decoder back-ends and builds WMATagNames.
// Called once while the main window loads; a second call reports "already initialised".
EngineStartResult InitAudioEngine();

// The box start-up shows for a device failure code.
EngineStartResult DeviceFailure(int code);

// Releases what InitAudioEngine took; once, at close.
void ReleaseAudioEngine();
bool AudioEngineStarted();

// The output device opened at start-up (null before and after).
QAudioDevice AudioOutputDevice();

// The WMA tag names, indices 0 to 7; empty until the engine has started.
const QStringList& WMATagNames();

} // namespace kv
