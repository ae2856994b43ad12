#pragma once

#include "settings/RegularFile.h"

#include <QString>

#include <algorithm>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>

namespace kv {

// Files parsed once and kept while they stay the same: each look-up costs one stat, and a file
// edited or replaced since (another stamp) is read and parsed anew, so readers still see every
// change. A file modified so recently that another edit could keep its stamp is read on every
// look-up and parsed again when its bytes differ. Safe to use from any thread.
template <class Parsed> class StampedFileCache {
public:
    StampedFileCache(qint64 maxBytes, std::size_t capacity)
        : maxBytes_(maxBytes), capacity_(capacity) {}

    // The file at `path` as `parse(bytes)` made it; null when it is not a regular file within
    // the limit or cannot be read.
    template <class Parse> std::shared_ptr<const Parsed> get(const QString& path, Parse&& parse) {
        FileStamp now;
        const FileState state = StatRegularFile(path, maxBytes_, &now);
        const std::lock_guard lock(mutex_);
        const auto it = std::find_if(entries_.begin(), entries_.end(),
                                     [&](const Entry& e) { return e.path == path; });
        if (it != entries_.end() && state == FileState::Regular && it->stamp == now &&
            !it->mayChange)
            return it->parsed;
        const RegularFileRead read =
            state == FileState::Regular ? ReadRegularFile(path, maxBytes_) : RegularFileRead{};
        std::shared_ptr<const Parsed> parsed;
        if (it != entries_.end()) {
            // A file too recent to trust by its stamp is compared by its bytes instead, so a
            // file just saved is not parsed again on every look-up.
            if (it->mayChange && read.state == FileState::Regular && read.bytes == it->bytes)
                parsed = it->parsed;
            entries_.erase(it);
        }
        if (read.state != FileState::Regular)
            return nullptr;
        if (!parsed)
            parsed = std::make_shared<const Parsed>(parse(read.bytes));
        const bool mayChange = StampMayStillChange(read.stamp);
        entries_.push_front(
            {path, read.stamp, mayChange, mayChange ? read.bytes : QByteArray(), parsed});
        if (entries_.size() > capacity_)
            entries_.pop_back();
        return parsed;
    }

private:
    struct Entry {
        QString path;
        FileStamp stamp;
        bool mayChange;
        QByteArray bytes; // kept while the stamp may still change
        std::shared_ptr<const Parsed> parsed;
    };
    const qint64 maxBytes_;
    const std::size_t capacity_;
    std::mutex mutex_;
    std::deque<Entry> entries_; // the latest first
};

} // namespace kv
