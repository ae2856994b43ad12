#pragma once

#include <QString>

namespace kv {

// Codes of the engine's last failure, numbered as the error-text table numbers them.
enum AudioErrorCode : int {
    kAudioOk = 0,
    kAudioErrorMemory = 1,
    kAudioErrorFileOpen = 2,
    kAudioErrorDriver = 3,
    kAudioErrorHandle = 5,
    kAudioErrorFormat = 6,
    kAudioErrorInit = 8,
    kAudioErrorCdInit = 11,       // the drive or image cannot be opened or read
    kAudioErrorCdNotStarted = 12, // no CD back-end
    kAudioErrorNoCd = 13,
    kAudioErrorAlready = 14,
    kAudioErrorCdTrack = 15, // no such track, or its audio cannot be read
    kAudioErrorCdVolume = 16,
    kAudioErrorNotPaused = 17,
    kAudioErrorIllegalParam = 20,
    kAudioErrorNo3D = 21,
    kAudioErrorDevice = 23,
    kAudioErrorNotPlaying = 24,
    kAudioErrorNotAudioTrack = 28,
    kAudioErrorPlaying = 30, // the drive is being read by another reader
    kAudioErrorNoMusicData = 31,
    kAudioErrorCreate = 33,
    kAudioErrorNotAvailable = 37,
    kAudioErrorUnknown = -1,
};

// The code of the calling thread's last engine call; every engine call sets it (0 on success).
int AudioErrorGetCode();
void SetAudioError(int code);

// The English sentence of a code for the conversion error log; "" for an unlisted code.
QString GetAudioErrorText(int code);

} // namespace kv
