#pragma once

#include "engine/DecodeStream.h"

#include <memory>

namespace kv {

// Tracker modules through libopenmpt, rendered as 44100 Hz stereo, played once.
// Error codes: 2 unreadable file, 6 not a module (or the options' cancel or deadline came while
// it was read), 31 a module that plays for no time.
std::unique_ptr<DecodeStream> OpenModuleStream(const QString& path,
                                               const StreamOpenOptions& options = {});

} // namespace kv
