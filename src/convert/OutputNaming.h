#pragma once

#include "settings/RegularFile.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <utility>

class QFile;

namespace kv {

// The output folder choice as the window holds it.
struct OutputFolderChoice {
    bool sameFolder = true; // optSameFolder, else optOtherFolder with txtOutPath
    QString outPath;        // txtOutPath
    bool operator==(const OutputFolderChoice&) const = default;
};

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

// Joins paths with "/", collapsing doubled separators except a leading pair.
QString NormalizeSeparators(const QString& path);

// Picks and claims an output path for `sourcePath` with `extension` (no dot): the source's
// folder or the chosen one (its last component created when missing), the source's base name,
// then "_Converted", then "_Converted_0" to "_Converted_10000". A name is claimed by creating
// it as an empty file, exclusively: a name that another run took meanwhile goes on to the next
// number, and nothing is ever overwritten. Only files (and links) count as taken: a folder
// holding a candidate's name gives that name unclaimed, and its conversion fails. A CD track
// ("TrackNN.cda") always goes to the chosen folder.
OutputName GetOutputFileName(const QString& sourcePath, const QString& extension,
                             const OutputFolderChoice& choice);

// Removes the claimed file of `name` when it is still the very file the claim made and still
// empty: a conversion that failed leaves no empty file behind.
void ReleaseOutputClaim(const OutputName& name);

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

} // namespace kv
