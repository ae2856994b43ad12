#include "engine/CdAudio.h"

#include "engine/AudioError.h"
#include "engine/CdSource.h"
#include "engine/CueImage.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#define DO_NOT_WANT_PARANOIA_COMPATIBILITY
#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace kv {

namespace {

constexpr std::int64_t kSectorBytes = CDIO_CD_FRAMESIZE_RAW; // 2352
// Lead-out, lead-in and pre-gap between the sessions of a disc with audio and then data.
constexpr std::int64_t kSessionGapSectors = 11400;
// Reads of one sector paranoia tries before it gives up and skips it.
constexpr int kParanoiaRetries = 20;

std::atomic<int> readerWaitMs{5000};

// A partial frame at an image's very end is completed with silence.
std::int64_t roundUpToFrame(std::int64_t bytes) {
    return (bytes + 3) / 4 * 4;
}

// libcdio's table of drivers is shared by the whole process.
std::mutex& cdioMutex() {
    static std::mutex m;
    return m;
}

struct CdioCloser {
    void operator()(CdIo_t* p) const { cdio_destroy(p); }
};
struct DriveCloser {
    void operator()(cdrom_drive_t* d) const { cdio_cddap_close_no_free_cdio(d); }
};
struct ParanoiaFreer {
    void operator()(cdrom_paranoia_t* p) const { cdio_paranoia_free(p); }
};

// An opened drive.
struct OpenedDisc {
    std::unique_ptr<CdIo_t, CdioCloser> cdio;
    int code = kAudioErrorCdInit;
};

bool isImage(const QString& source) {
    return source.endsWith(QLatin1String(".cue"), Qt::CaseInsensitive);
}

OpenedDisc openDrive(const QString& source) {
    OpenedDisc disc;
    if (!IsCdDrive(source))
        return disc;
    if (!DriveHasDisc(source)) {
        disc.code = kAudioErrorNoCd;
        return disc;
    }
    std::lock_guard lock(cdioMutex());
    disc.cdio.reset(cdio_open(QFile::encodeName(source).constData(), DRIVER_DEVICE));
    if (disc.cdio)
        disc.code = kAudioOk;
    return disc;
}

// One reader per drive or image; a later one waits for the earlier to let go.
class ReaderLocks {
public:
    bool acquire(const QString& key, int waitMs) {
        std::unique_lock lock(mutex_);
        if (held_.contains(key)) {
            ++waiting_[key];
            const bool freed = changed_.wait_for(lock, std::chrono::milliseconds(waitMs),
                                                 [&] { return !held_.contains(key); });
            if (--waiting_[key] == 0)
                waiting_.remove(key);
            if (!freed)
                return false;
        }
        held_.insert(key);
        return true;
    }
    void release(const QString& key) {
        {
            std::lock_guard lock(mutex_);
            held_.remove(key);
        }
        changed_.notify_all();
    }
    int waiting(const QString& key) {
        std::lock_guard lock(mutex_);
        return waiting_.value(key);
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    QSet<QString> held_;
    QHash<QString, int> waiting_;
};

ReaderLocks& readerLocks() {
    static ReaderLocks locks;
    return locks;
}

// /dev/cdrom and /dev/sr0 are one drive.
QString readerKey(const QString& source) {
    const QString canonical = QFileInfo(source).canonicalFilePath();
    return canonical.isEmpty() ? source : canonical;
}

// Paranoia reports what happened to a sector through a plain function, on the reading thread.
thread_local bool sectorSkipped = false;
void onParanoiaEvent(long, paranoia_cb_mode_t mode) {
    if (mode == PARANOIA_CB_SKIP)
        sectorSkipped = true;
}

void quietLog(cdio_log_level_t, const char*) {}

class CdTrackStream final : public DecodeStream {
public:
    CdTrackStream(const QString& source, const CdTrackToc& track)
        : DecodeStream(ChannelKind::Stream), source_(source), key_(readerKey(source)),
          image_(isImage(source)), number_(track.number), first_(track.firstSector),
          sectors_((track.bytes + kSectorBytes - 1) / kSectorBytes) {
        info_.sampleRate = 44100;
        info_.channels = 2;
        info_.eightBit = false;
        length_ = track.bytes;
        exact_ = true;
    }

    ~CdTrackStream() override {
        paranoia_.reset();
        drive_.reset();
        disc_ = OpenedDisc();
        if (holding_)
            readerLocks().release(key_);
    }

protected:
    std::int64_t decode(char* out, std::int64_t max) override {
        if (failure_ != kAudioOk)
            return 0;
        if (!started_) {
            started_ = true;
            failure_ = startReading();
            if (failure_ != kAudioOk)
                return 0;
        }
        std::int64_t done = 0;
        while (done < max) {
            if (offset_ == filled_) {
                if (next_ == sectors_)
                    break;
                if (!(image_ ? readImageSector() : readDriveSector())) {
                    failure_ = kAudioErrorCdTrack;
                    break;
                }
            }
            // Sectors hold whole frames of four bytes; so does what is handed out.
            std::int64_t n = std::min(max - done, filled_ - offset_);
            n -= n % 4;
            if (n == 0)
                break;
            std::memcpy(out + done, sector_ + offset_, static_cast<size_t>(n));
            offset_ += n;
            done += n;
        }
        return done;
    }

private:
    int startReading() {
        if (!readerLocks().acquire(key_, CdReaderWaitMs()))
            return kAudioErrorPlaying;
        holding_ = true;
        return image_ ? startImage() : startDrive();
    }

    // The sheet is read again: the track must still be where the table put it.
    int startImage() {
        std::optional<OpenedCueImage> image = OpenCueImage(source_);
        if (!image)
            return kAudioErrorCdInit;
        for (const CueTrackExtent& t : image->tracks) {
            if (t.number != number_)
                continue;
            if (!t.audio || !t.readable || roundUpToFrame(t.present) != length_)
                return kAudioErrorCdTrack;
            extent_ = t;
            bigEndian_ = image->sheet.files[static_cast<size_t>(t.file)].bigEndian;
            data_ = std::move(image->files[static_cast<size_t>(t.file)]);
            return kAudioOk;
        }
        return kAudioErrorCdTrack;
    }

    int startDrive() {
        disc_ = openDrive(source_);
        if (disc_.code != kAudioOk)
            return disc_.code;
        {
            std::lock_guard lock(cdioMutex());
            drive_.reset(
                cdio_cddap_identify_cdio(disc_.cdio.get(), CDDA_MESSAGE_FORGETIT, nullptr));
        }
        if (!drive_)
            return kAudioErrorCdInit;
        cdio_cddap_verbose_set(drive_.get(), CDDA_MESSAGE_FORGETIT, CDDA_MESSAGE_FORGETIT);
        if (cdio_cddap_open(drive_.get()) != 0)
            return kAudioErrorCdInit;
        paranoia_.reset(cdio_paranoia_init(drive_.get()));
        if (!paranoia_)
            return kAudioErrorMemory;
        // Every correction, but a sector that stays unreadable is skipped, so a scratch ends
        // the track with an error instead of retrying for ever.
        cdio_paranoia_modeset(paranoia_.get(), PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
        cdio_paranoia_seek(paranoia_.get(), static_cast<int32_t>(first_), SEEK_SET);
        return kAudioOk;
    }

    bool readDriveSector() {
        sectorSkipped = false;
        const int16_t* data =
            cdio_paranoia_read_limited(paranoia_.get(), onParanoiaEvent, kParanoiaRetries);
        if (data == nullptr || sectorSkipped)
            return false;
        std::memcpy(sector_, data, static_cast<size_t>(kSectorBytes));
        filled_ = kSectorBytes;
        offset_ = 0;
        ++next_;
        return true;
    }

    // The first 2352 bytes of the image's next sector (a CD+G sector's subcode follows them).
    // A file cut while it is read ends short: the track fails rather than reading silence.
    bool readImageSector() {
        const std::int64_t at = next_ * kSectorBytes;
        const std::int64_t want = std::min(kSectorBytes, extent_.present - at);
        filled_ = std::min(kSectorBytes, length_ - at);
        if (!ReadFully(data_.get(), sector_, want, extent_.offset + next_ * extent_.sectorBytes))
            return false;
        // The last sector's bytes up to a whole frame are silence.
        std::memset(sector_ + want, 0, static_cast<size_t>(filled_ - want));
        if (bigEndian_) {
            for (std::int64_t i = 0; i + 1 < want; i += 2)
                std::swap(sector_[i], sector_[i + 1]);
        }
        offset_ = 0;
        ++next_;
        return true;
    }

    const QString source_;
    const QString key_;
    const bool image_;
    const int number_;
    const std::int64_t first_;
    const std::int64_t sectors_;
    bool started_ = false;
    bool holding_ = false;
    OpenedDisc disc_;
    std::unique_ptr<cdrom_drive_t, DriveCloser> drive_;
    std::unique_ptr<cdrom_paranoia_t, ParanoiaFreer> paranoia_;
    UniqueFd data_;          // an image's data file holding the track
    CueTrackExtent extent_;  // where in it the track lies
    bool bigEndian_ = false; // its samples
    char sector_[kSectorBytes] = {};
    std::int64_t filled_ = 0; // bytes of sector_ in use
    std::int64_t offset_ = 0; // into sector_; all used up at filled_
    std::int64_t next_ = 0;   // sectors of the track read so far
};

CdToc imageToc(const QString& source) {
    CdToc toc;
    toc.code = kAudioErrorCdInit;
    const std::optional<OpenedCueImage> image = OpenCueImage(source);
    if (!image)
        return toc;
    for (const CueTrackExtent& t : image->tracks) {
        CdTrackToc track;
        track.number = t.number;
        track.audio = t.audio;
        track.firstSector = t.offset / t.sectorBytes;
        track.sectors = t.sectors;
        track.bytes = roundUpToFrame(t.present);
        track.readable = t.readable;
        toc.tracks.push_back(track);
    }
    toc.state = CdDiscState::Ready;
    toc.code = kAudioOk;
    return toc;
}

} // namespace

CdToc ReadCdToc(const QString& source) {
    if (isImage(source))
        return imageToc(source);
    CdToc toc;
    const OpenedDisc disc = openDrive(source);
    toc.code = disc.code;
    if (disc.code == kAudioErrorNoCd)
        toc.state = CdDiscState::NoDisc;
    if (disc.code != kAudioOk)
        return toc;
    CdIo_t* p = disc.cdio.get();
    const track_t first = cdio_get_first_track_num(p);
    const track_t count = cdio_get_num_tracks(p);
    const lsn_t leadout = cdio_get_track_lsn(p, CDIO_CDROM_LEADOUT_TRACK);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0 ||
        leadout == CDIO_INVALID_LSN) {
        toc.code = kAudioErrorCdInit;
        return toc;
    }
    lsn_t session = 0;
    if (cdio_get_last_session(p, &session) != DRIVER_OP_SUCCESS)
        session = 0;
    const int last = first + count - 1;
    for (int t = first; t <= last; ++t) {
        CdTrackToc track;
        track.number = t;
        track.audio = cdio_get_track_format(p, static_cast<track_t>(t)) == TRACK_FORMAT_AUDIO;
        const lsn_t start = cdio_get_track_lsn(p, static_cast<track_t>(t));
        const lsn_t next = t == last ? leadout : cdio_get_track_lsn(p, static_cast<track_t>(t + 1));
        std::int64_t end = next;
        // The audio session of a disc with data after it ends before the gap to the data.
        if (t < last && session > 0 && next >= session &&
            cdio_get_track_format(p, static_cast<track_t>(t + 1)) != TRACK_FORMAT_AUDIO)
            end = next - kSessionGapSectors;
        track.firstSector = start;
        track.readable = start != CDIO_INVALID_LSN && next != CDIO_INVALID_LSN && start >= 0 &&
                         end > start && end <= leadout;
        track.sectors = track.readable ? end - start : 0;
        track.bytes = track.sectors * kSectorBytes;
        toc.tracks.push_back(track);
    }
    toc.state = CdDiscState::Ready;
    toc.code = kAudioOk;
    return toc;
}

std::unique_ptr<DecodeStream> OpenCdTrackStream(const QString& path) {
    const std::optional<CdTrackRef> ref = ParseCdTrackPath(path);
    if (!ref) {
        SetAudioError(kAudioErrorFileOpen);
        return nullptr;
    }
    const CdToc toc = ReadCdToc(ref->source);
    if (toc.state != CdDiscState::Ready) {
        SetAudioError(toc.code);
        return nullptr;
    }
    for (const CdTrackToc& track : toc.tracks) {
        if (track.number != ref->track)
            continue;
        if (!track.audio) {
            SetAudioError(kAudioErrorNotAudioTrack);
            return nullptr;
        }
        if (!track.readable) {
            SetAudioError(kAudioErrorCdTrack);
            return nullptr;
        }
        SetAudioError(kAudioOk);
        return std::make_unique<CdTrackStream>(ref->source, track);
    }
    SetAudioError(kAudioErrorCdTrack);
    return nullptr;
}

int CdReaderWaitMs() {
    return readerWaitMs.load();
}

void SetCdReaderWaitMs(int ms) {
    readerWaitMs = ms;
}

int CdReadersWaiting(const QString& source) {
    return readerLocks().waiting(readerKey(source));
}

void QuietCdioLog() {
    std::lock_guard lock(cdioMutex());
    cdio_log_set_handler(quietLog);
}

} // namespace kv
