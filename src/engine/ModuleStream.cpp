#include "engine/ModuleStream.h"

#include "engine/AudioError.h"
#include "engine/UserFile.h"

#include <libopenmpt/libopenmpt.hpp>

#include <cmath>
#include <cstring>
#include <sstream>

namespace kv {

namespace {

constexpr int kModuleRate = 44100;
// Larger files are not modules anyone makes; refusing them bounds the memory a probe takes.
constexpr qint64 kMaxModuleBytes = 256LL * 1024 * 1024;

class ModuleStream final : public DecodeStream {
public:
    ModuleStream() : DecodeStream(ChannelKind::Music) {}

    int open(const QString& path, const StreamOpenOptions& options) {
        const OpenLimit limit = OpenLimit::from(options);
        const std::shared_ptr<UserFile> file = UserFile::open(path);
        if (!file)
            return kAudioErrorFileOpen;
        const std::int64_t size = file->size();
        if (size > kMaxModuleBytes)
            return kAudioErrorFormat;
        // The header decides; only a module is read whole.
        const QByteArray head = file->readAt(
            0, static_cast<qint64>(openmpt::probe_file_header_get_recommended_size()));
        if (head.isEmpty() ||
            openmpt::probe_file_header(openmpt::probe_file_header_flags_default2,
                                       reinterpret_cast<const std::uint8_t*>(head.constData()),
                                       static_cast<std::size_t>(head.size()),
                                       static_cast<std::uint64_t>(size)) !=
                openmpt::probe_file_header_result_success)
            return kAudioErrorFormat;
        const std::optional<QByteArray> data = file->readAll(kMaxModuleBytes, limit);
        if (!data)
            return kAudioErrorFormat;
        try {
            module_ = std::make_unique<openmpt::module>(
                data->constData(), static_cast<std::size_t>(data->size()), log_);
            module_->set_repeat_count(0);
            const double seconds = module_->get_duration_seconds();
            if (!(seconds > 0.0) || !std::isfinite(seconds))
                return kAudioErrorNoMusicData;
            info_.sampleRate = kModuleRate;
            info_.channels = 2;
            info_.eightBit = false;
            // The module's own play time; rendering is held to it exactly.
            length_ = std::llround(seconds * kModuleRate) * bytesPerFrame();
            exact_ = true;
        } catch (const std::exception&) {
            module_.reset();
            return kAudioErrorFormat;
        }
        return kAudioOk;
    }

protected:
    std::int64_t decode(char* out, std::int64_t max) override {
        const std::int64_t frames = max / bytesPerFrame();
        if (frames <= 0)
            return 0;
        std::size_t got = 0;
        if (!rendered_) {
            try {
                got =
                    module_->read_interleaved_stereo(kModuleRate, static_cast<std::size_t>(frames),
                                                     reinterpret_cast<std::int16_t*>(out));
            } catch (const std::exception&) {
                got = 0;
            }
            rendered_ = got == 0;
        }
        if (got == 0) {
            // The renderer may stop a few frames short of the computed time: silence fills up.
            std::memset(out, 0, static_cast<size_t>(frames * bytesPerFrame()));
            got = static_cast<std::size_t>(frames);
        }
        return static_cast<std::int64_t>(got) * bytesPerFrame();
    }

private:
    std::ostringstream log_; // libopenmpt's messages go nowhere
    std::unique_ptr<openmpt::module> module_;
    bool rendered_ = false;
};

} // namespace

std::unique_ptr<DecodeStream> OpenModuleStream(const QString& path,
                                               const StreamOpenOptions& options) {
    auto stream = std::make_unique<ModuleStream>();
    const int rc = stream->open(path, options);
    SetAudioError(rc);
    if (rc != kAudioOk)
        return nullptr;
    return stream;
}

} // namespace kv
