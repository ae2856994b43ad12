#pragma once

#include "QtPrinters.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>
#include <ostream>

namespace kvtest {

// The ffmpeg, ffprobe and sox command-line tools, run with argument lists. Fixtures are made
// with them and our decoder is checked against them.
struct ProcessResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};
ProcessResult RunTool(const QString& program, const QStringList& args, int timeoutMs = 120000);

// ffmpeg -y -v error <args>; true when it succeeded and `output` exists.
bool MakeWithFfmpeg(const QStringList& args, const QString& output);
// A sine of `seconds` into `output` with extra encoder arguments.
bool MakeSine(const QString& output, double seconds, int rate, int channels,
              const QStringList& codecArgs);
// A short clip with a test picture and a sine soundtrack.
bool MakeVideo(const QString& output, double seconds, const QStringList& codecArgs);

struct ProbeInfo {
    double duration = -1; // seconds of the first audio stream (or the file)
    int sampleRate = 0;
    int channels = 0;
};
std::optional<ProbeInfo> FfprobeAudio(const QString& path);

// ffprobe's `-show_entries entries` as NAME=VALUE lines (tags as "TAG:name=..."), with
// `before` (e.g. "-select_streams", "a:0") ahead of the path.
QStringList FfprobeLines(const QString& path, const QString& entries,
                         const QStringList& before = {});
// The same as a map, names in lower case ("codec_name", "tag:title"); a later line wins.
// "clean" is "1" when ffprobe exited 0 and said nothing on standard error.
QMap<QString, QString> FfprobeFields(const QString& path, const QString& entries,
                                     const QStringList& before = {});
// The length of the file as ffprobe gives it (its format's duration); -1 when it cannot.
double FfprobeSeconds(const QString& path);

// `count` copies of one short WAV in `folder` (made when missing), named so that name order is
// number order; empty when one could not be made.
QStringList WavCopies(const QString& folder, int count, double seconds = 0.1);

// The first audio stream decoded by the ffmpeg command line into interleaved PCM:
// "s16le" or "u8".
std::optional<QByteArray> FfmpegDecode(const QString& path, const QString& format);

// Writes bytes to a file, creating its folder.
bool WriteBytes(const QString& path, const QByteArray& bytes);
// Renames a file to a path that may hold bytes that are not UTF-8 (kept as NativePath keeps
// them), which Qt's own rename cannot make.
bool RenameToNative(const QString& from, const QString& to);

// A temporary folder that also removes entries whose names are not UTF-8, which
// QTemporaryDir leaves behind.
class ByteNameDir : public QTemporaryDir {
public:
    ~ByteNameDir();
};

// Open file descriptors of this process.
int OpenFileDescriptors();

// A file's bytes (empty when it cannot be read), and little-endian fields inside them.
QByteArray ReadBytes(const QString& path);
quint32 Le32(const QByteArray& bytes, int at);
quint16 Le16(const QByteArray& bytes, int at);

// The tags of an ASF file's header as they sit, in file order: "content:Title=..." for the
// Content Description object (Title, Author, Copyright, Description, Rating; empty ones left
// out), "extended:NAME=..." for the Extended Content Description (a value that is not text as
// "<type N>"). Read byte by byte here, so it does not rely on any library's reading.
QStringList AsfTagPlaces(const QString& path);

// While it lives, writes past `bytes` in any file fail as a full disk would.
class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned long long bytes);
    ~FileSizeLimit();
    bool active() const { return active_; }

private:
    unsigned long long old_ = 0;
    bool active_ = false;
};

} // namespace kvtest
