#pragma once

#include "convert/BatchDriver.h"

#include <QString>

#include <cstdint>

namespace kv {

// A source file as it was at one moment: which file the name led to, its size and when its
// data last changed. Invalid for what is not a file of its own (a CD track).
struct SourceState {
    bool valid = false;
    std::uint64_t device = 0, inode = 0;
    std::int64_t size = 0, modifiedNs = 0;
    bool operator==(const SourceState&) const = default;
};
SourceState SourceStateOf(const QString& path);

// Runs `converter` and makes sure its "Complete" is true of the files the user sees: an output
// that is not the file the batch claimed by the end (its folder removed meanwhile) gives
// Error, and so does a source
// truncated, rewritten or replaced by another file while it was being converted, whose output,
// made from data that is no longer there, is removed.
Converter WatchingSource(Converter converter);

} // namespace kv
