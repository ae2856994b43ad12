#include "engine/CdAudio.h"

#include "engine/AudioError.h"
#include "engine/CdSource.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>

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

#include <sys/stat.h>

namespace kv {

namespace {

constexpr std::int64_t kSectorBytes = CDIO_CD_FRAMESIZE_RAW; // 2352
// Lead-out, lead-in and pre-gap between the sessions of a disc with audio and then data.
constexpr std::int64_t kSessionGapSectors = 11400;
// Reads of one sector paranoia tries before it gives up and skips it.
constexpr int kParanoiaRetries = 20;

std::atomic<int> readerWaitMs{5000};

// libcdio's CUE parser (strtok) and its table of drivers are shared by the whole process.
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

// An opened drive or image. libcdio reads the BIN file named like the sheet ("x.cue" gives
// "x.bin"); a sheet that names another file is opened from a private folder that holds a copy
// of it and a link to its data, which lives as long as the handle.
struct OpenedDisc {
    std::unique_ptr<QTemporaryDir> shim;
    std::unique_ptr<CdIo_t, CdioCloser> cdio;
    bool image = false;
    int code = kAudioErrorCdInit;
};

QString libcdioBinName(const QString& cue) {
    if (cue.endsWith(QLatin1String("cue")))
        return cue.chopped(3) + QStringLiteral("bin");
    if (cue.endsWith(QLatin1String("CUE")))
        return cue.chopped(3) + QStringLiteral("BIN");
    return QString();
}

OpenedDisc openDisc(const QString& source) {
    OpenedDisc disc;
    disc.image = source.endsWith(QLatin1String(".cue"), Qt::CaseInsensitive);
    QString name = source;
    if (disc.image) {
        const std::optional<QString> data = CueImageData(source);
        if (!data)
            return disc;
        const QString expected = QFileInfo(libcdioBinName(source)).canonicalFilePath();
        if (expected.isEmpty() || expected != QFileInfo(*data).canonicalFilePath()) {
            disc.shim = std::make_unique<QTemporaryDir>();
            name = disc.shim->filePath(QStringLiteral("image.cue"));
            if (!disc.shim->isValid() || !QFile::copy(source, name) ||
                !QFile::link(QFileInfo(*data).absoluteFilePath(),
                             disc.shim->filePath(QStringLiteral("image.bin"))))
                return disc;
        }
    } else if (!IsCdDrive(source)) {
        return disc;
    } else if (!DriveHasDisc(source)) {
        disc.code = kAudioErrorNoCd;
        return disc;
    }
    std::lock_guard lock(cdioMutex());
    const QByteArray file = QFile::encodeName(name);
    disc.cdio.reset(disc.image ? cdio_open_cue(file.constData())
                               : cdio_open(file.constData(), DRIVER_DEVICE));
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
          first_(track.firstSector), sectors_(track.sectors) {
        info_.sampleRate = 44100;
        info_.channels = 2;
        info_.eightBit = false;
        length_ = sectors_ * kSectorBytes;
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
        if (!paranoia_) {
            failure_ = startReading();
            if (failure_ != kAudioOk)
                return 0;
        }
        std::int64_t done = 0;
        while (done < max) {
            if (offset_ == kSectorBytes) {
                if (next_ == sectors_)
                    break;
                if (!readSector()) {
                    failure_ = kAudioErrorCdTrack;
                    break;
                }
            }
            // Sectors hold whole frames of four bytes; so does what is handed out.
            std::int64_t n = std::min(max - done, kSectorBytes - offset_);
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
        disc_ = openDisc(source_);
        if (disc_.code != kAudioOk)
            return disc_.code;
        if (disc_.image) {
            if (const std::optional<QString> data = CueImageData(source_)) {
                imageData_ = QFile::encodeName(*data);
                imageBytes_ = dataBytes();
            }
        }
        {
            std::lock_guard lock(cdioMutex());
            drive_.reset(
                cdio_cddap_identify_cdio(disc_.cdio.get(), CDDA_MESSAGE_FORGETIT, nullptr));
        }
        if (!drive_)
            return kAudioErrorCdInit;
        cdio_cddap_verbose_set(drive_.get(), CDDA_MESSAGE_FORGETIT, CDDA_MESSAGE_FORGETIT);
        // An image holds little-endian samples; paranoia would guess from the audio itself.
        if (disc_.image)
            drive_->bigendianp = 0;
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

    // The image's data file as it is now; -1 when it is gone.
    std::int64_t dataBytes() const {
        struct stat st {};
        return ::stat(imageData_.constData(), &st) == 0 ? st.st_size : -1;
    }

    bool readSector() {
        // libcdio reads past the end of a data file cut while it is read as silence: a file
        // shorter than at the start fails the track instead.
        if (!imageData_.isEmpty() && dataBytes() < imageBytes_)
            return false;
        sectorSkipped = false;
        const int16_t* data =
            cdio_paranoia_read_limited(paranoia_.get(), onParanoiaEvent, kParanoiaRetries);
        if (data == nullptr || sectorSkipped)
            return false;
        std::memcpy(sector_, data, static_cast<size_t>(kSectorBytes));
        offset_ = 0;
        ++next_;
        return true;
    }

    const QString source_;
    const QString key_;
    const std::int64_t first_;
    const std::int64_t sectors_;
    bool holding_ = false;
    OpenedDisc disc_;
    std::unique_ptr<cdrom_drive_t, DriveCloser> drive_;
    std::unique_ptr<cdrom_paranoia_t, ParanoiaFreer> paranoia_;
    QByteArray imageData_;        // an image's data file
    std::int64_t imageBytes_ = 0; // its size when the reading started
    char sector_[kSectorBytes] = {};
    std::int64_t offset_ = kSectorBytes; // into sector_; all used up
    std::int64_t next_ = 0;              // sectors of the track read so far
};

} // namespace

CdToc ReadCdToc(const QString& source) {
    CdToc toc;
    const OpenedDisc disc = openDisc(source);
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
