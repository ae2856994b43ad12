#pragma once

#include "filelist/FileListModel.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <optional>

namespace kv {

// What adding a file needs from whoever shows the list: the window clears its select-all box
// and shows the error box; the batch tool prints the error.
class AddFileHost {
public:
    virtual ~AddFileHost() = default;
    // A new row is not ticked, so "Select/Unselect All" no longer holds.
    virtual void ClearSelectAll() {}
    // A row that could not be added; `text` is the whole message.
    virtual void ShowAddFileError(const QString& text) = 0;
    // The length probe could not open `path`; its row has been added all the same.
    virtual void ProbeFailed(const QString& /*path*/) {}
};

// Extensions a file may have, tested as a substring (so "mid" passes through ".midi").
inline const QString kAcceptedExtensions = QStringLiteral(
    ".cda.wav.wma.mp1.mp2.mp3.mp4.ogg.aac.alac.flac.ac3.spx.mpc.tta.ape.ofr.midi.adx.wmv.asf.avi."
    "mpg.mp2.mpeg.mp4.mov.dat"
    // The endings of the outputs Kelvanto writes beyond the described four.
    ".opus.m4a");

// NameNotReadable: a name whose bytes are not UTF-8 reached us decoded with U+FFFD in their
// place, and more than one file of the folder fits it; the add reports it by name.
enum class AddFileResult { Added, Duplicate, NotAccepted, Failed, NameNotReadable };

// Collapses doubled "/" (except a leading pair); the extension after the last "." of the last
// path component; whether that extension passes the substring test; whether a path is a CD
// track (ends in "cda").
QString NormalisePath(const QString& path);
QString ExtensionOf(const QString& path);
bool IsAcceptedExtension(const QString& extension);
bool IsCdTrack(const QString& path);

// What measuring a file found: its length in seconds (nothing when no decoder opens it),
// whether it is a regular file and its size in bytes.
struct FileMeasure {
    std::optional<qint64> seconds;
    bool isFile = false;
    qint64 size = 0;
};

// Adding in three steps, so the slow middle one can run away from the window:
// CheckFile normalises `sFilePath` in place (a name decoded with U+FFFD becomes the file's
// own) and refuses duplicates and extensions that are not accepted (Added means "may be
// added"); MeasureFile touches only the file and the decoders, so any thread may call it, and
// gives up once `cancel` turns true; AppendMeasuredFile turns the measure into the row (the
// list may have changed meanwhile, so the duplicate test runs again).
AddFileResult CheckFile(QString& sFilePath, const FileListTable& table);
FileMeasure MeasureFile(const QString& path, const std::atomic<bool>* cancel = nullptr);
AddFileResult AppendMeasuredFile(const QString& path, const FileMeasure& measure,
                                 FileListModel& model, AddFileHost& host);

// Adds one file to the list: the three steps above in a row.
AddFileResult AddFile(QString& sFilePath, FileListModel& model, AddFileHost& host);
bool AddFile2Grid(QString& sFilePath, FileListModel& model, AddFileHost& host);

// The FileSize text of a byte count: Bytes, KB, MB or GB with up to two decimals.
QString FormatFileSize(std::uint64_t size);

} // namespace kv
