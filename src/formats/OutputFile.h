#pragma once

#include "settings/RegularFile.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <sys/types.h>
#include <utility>

class QFile;

namespace kv {

// How a converter takes the output the batch claimed for it, and how it removes only its own.

// Which file a claim made, so that only that file is ever removed again.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool isValid() const { return device != 0 || inode != 0; }
};

// What a conversion holds of its output: "its" file is the one open here, not whatever the
// name leads to later.
using HeldFile = UniqueFd;

struct OutputName {
    enum class Outcome {
        Ok,               // path is ours (see GetOutputFileName)
        FolderNotCreated, // creating the folder failed: skip the row
        FolderMissing,    // the folder is still missing: show message 30012
        NoFreeName,       // every numbered name is taken
        NotCreated,       // the output file cannot be made there (no access, disk full...)
    };
    Outcome outcome = Outcome::Ok;
    QString path;       // Ok: the output; NotCreated: the name that failed
    QString error;      // FolderNotCreated, NotCreated: the folder or file and the system's reason
    FileIdentity claim; // the empty file made for Ok; invalid when a folder holds the name
    // The claimed file, held open from the claim on (null when `claim` is invalid).
    std::shared_ptr<const HeldFile> held;
};

// True when `path` itself (not a link) leads to the very file open on `fd`: same device and
// inode.
bool LeadsTo(const QString& path, int fd);

// How every failed conversion removes its output: `path` goes only while it still leads to the
// file open on `fd`, the one the conversion claimed or made. A file someone else made under that
// name meanwhile (its folder removed and made again) is never touched. True when removed.
bool RemoveOwnOutput(int fd, const QString& path);

// While it lives, the calling thread converts into `name`: OpenClaimedOutput and HoldOutput of
// that path take the very file claimed, wherever the name leads by then.
class ClaimInHand {
public:
    // An output written under a temporary name and renamed into the claim's place
    // (StagedOutput) becomes `name`'s held file from then on.
    explicit ClaimInHand(OutputName& name);
    ~ClaimInHand();
    ClaimInHand(const ClaimInHand&) = delete;
    ClaimInHand& operator=(const ClaimInHand&) = delete;

private:
    OutputName* previous_;
};

// A descriptor of its own on the claim in hand for `path` (invalid when none is in hand).
HeldFile ClaimInHandFile(const QString& path);

// The output at `path` held for the length of a conversion: the claim in hand for that path,
// else the file the name leads to now (invalid when there is none).
HeldFile HoldOutput(const QString& path);

// How a converter opens its output for writing: the empty file that GetOutputFileName claimed
// is taken over in place; a missing file is created exclusively. Anything else (a file with
// data, a link, a folder) is refused, so nothing is overwritten. The file is open for reading
// and writing, unbuffered. With the claim for `path` in hand (ClaimInHand), the file claimed is
// taken even when the name no longer leads to it. `error` gets the file and the system's
// reason.
bool OpenClaimedOutput(QFile& file, const QString& path, QString* error = nullptr);

// An output written under a temporary name beside it (".<name>.kvpart-PID-N") and put in
// the place of its claim only when it is whole, so a file cut off never carries the output's
// name. The claim stays held meanwhile, so no other run takes the name.
class StagedOutput {
public:
    StagedOutput() = default;
    ~StagedOutput(); // a file never committed is discarded
    StagedOutput(const StagedOutput&) = delete;
    StagedOutput& operator=(const StagedOutput&) = delete;

    // Takes the claim of `output` as OpenClaimedOutput does and makes the temporary file.
    bool open(const QString& output, QString* error);
    int fd() const { return fd_.get(); }
    const QString& temporaryPath() const { return temp_; }
    // Exchanges the temporary file with the claim, only while `output` still leads to the claim,
    // then removes the claim; the claim in hand for `output` holds the new file from then on.
    bool commit(QString* error);
    // Removes the temporary file and the claim, each only while its name leads to it.
    void discard();

private:
    UniqueFd claim_, fd_;
    QString output_, temp_;
};

// "<path>: <the system's text for errno>".
QString SystemErrorText(const QString& path, int errorNumber);

// open(2) tried again while a signal interrupts it.
int OpenRetrying(const QByteArray& path, int flags, mode_t mode = 0);
// The folder part of a "/"-separated path: "/" for a file at the root, "" for a bare name.
QString ParentFolder(const QString& path);

} // namespace kv
