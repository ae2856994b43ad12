#include "engine/AudioError.h"

namespace kv {

namespace {
thread_local int lastError = kAudioOk;
} // namespace

int AudioErrorGetCode() {
    return lastError;
}

void SetAudioError(int code) {
    lastError = code;
}

QString GetAudioErrorText(int code) {
    switch (code) {
    case 0:
        return QStringLiteral("All is OK");
    case 1:
        return QStringLiteral("Memory Error");
    case 2:
        return QStringLiteral("Can't Open the File");
    case 3:
        return QStringLiteral("Can't Find a Free Sound Driver");
    case 4:
        return QStringLiteral("The Sample Buffer Was Lost - Please Report This!");
    case 5:
        return QStringLiteral("Invalid Handle");
    case 6:
        return QStringLiteral("Unsupported Format");
    case 7:
        return QStringLiteral("Invalid Playback Position");
    case 8:
        return QStringLiteral("BASS_Init Has Not Been Successfully Called");
    case 9:
        return QStringLiteral("BASS_Start Has Not Been Successfully Called");
    case 11:
        return QStringLiteral("Can't Initialize CD");
    case 12:
        return QStringLiteral("BASS_CDInit Has Not Been Successfully Called");
    case 13:
        return QStringLiteral("No CD in drive");
    case 14:
        return QStringLiteral("Already Initialized");
    case 15:
        return QStringLiteral("Can't Play the Selected CD Track");
    case 16:
        return QStringLiteral("CD Has No Volume Control");
    case 17:
        return QStringLiteral("Not Paused");
    case 18:
        return QStringLiteral("Can't Get a Free Channel");
    case 19:
        return QStringLiteral("An Illegal Type Was Specified");
    case 20:
        return QStringLiteral("An Illegal Parameter Was Specified");
    case 21:
        return QStringLiteral("No 3D Support");
    case 22:
        return QStringLiteral("No EAX Support");
    case 23:
        return QStringLiteral("Illegal Device Number");
    case 24:
        return QStringLiteral("Not Playing");
    case 25:
        return QStringLiteral("Illegal Sample Rate");
    case 27:
        return QStringLiteral("The Stream is Not a File Stream (WAV/MP3)");
    case 28:
        return QStringLiteral("Not An Audio Track");
    case 29:
        return QStringLiteral("No Hardware Voices Available");
    case 30:
        return QStringLiteral("The channel is playing");
    case 31:
        return QStringLiteral("The MOD music has no sequence data");
    case 32:
        return QStringLiteral("No Internet connection could be opened");
    case 33:
        return QStringLiteral("Couldn't create the file");
    case 34:
        return QStringLiteral("Effects are not enabled");
    case 37:
        return QStringLiteral("The requested data is not available");
    case 38:
        return QStringLiteral("The channel is a 'decoding channel'");
    case -1:
        return QStringLiteral("Some Other Mystery Error");
    default:
        return QString();
    }
}

} // namespace kv
