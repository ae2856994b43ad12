#include "engine/DecodeStream.h"

#include "engine/AudioError.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace kv {

namespace {
std::atomic<int> liveStreams{0};
} // namespace

int LiveStreamCount() {
    return liveStreams.load();
}

DecodeStream::DecodeStream(ChannelKind kind) : kind_(kind) {
    ++liveStreams;
}

DecodeStream::~DecodeStream() {
    --liveStreams;
}

std::int64_t DecodeStream::read(void* buffer, std::int64_t bytes) {
    if (buffer == nullptr || bytes < 0) {
        SetAudioError(kAudioErrorIllegalParam);
        return -1;
    }
    char* out = static_cast<char*>(buffer);
    std::int64_t done = 0;
    while (done < bytes && !ended_) {
        std::int64_t want = bytes - done;
        // A stated length is what the stream delivers, never more.
        if (exact_)
            want = std::min(want, length_ - position_);
        std::int64_t got = 0;
        if (want <= 0) {
            got = 0;
        } else if (!carry_.empty()) {
            got = std::min<std::int64_t>(want, static_cast<std::int64_t>(carry_.size()));
            std::memcpy(out + done, carry_.data(), static_cast<size_t>(got));
            carry_.erase(carry_.begin(), carry_.begin() + got);
        } else if (want < bytesPerFrame()) {
            std::vector<char> frame(static_cast<size_t>(bytesPerFrame()));
            const std::int64_t whole = decode(frame.data(), bytesPerFrame());
            got = std::min(want, whole);
            if (got > 0) {
                std::memcpy(out + done, frame.data(), static_cast<size_t>(got));
                carry_.assign(frame.begin() + got, frame.begin() + whole);
            }
        } else {
            got = decode(out + done, want);
        }
        if (got <= 0) {
            ended_ = true;
            break;
        }
        done += got;
        position_ += got;
    }
    if (exact_ && position_ >= length_)
        ended_ = true;
    SetAudioError(failure_);
    return done;
}

double DecodeStream::bytesToSeconds(std::int64_t bytes) const {
    const int perSecond = info_.sampleRate * bytesPerFrame();
    return perSecond > 0 ? static_cast<double>(bytes) / perSecond : 0.0;
}

} // namespace kv
