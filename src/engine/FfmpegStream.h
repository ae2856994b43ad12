#pragma once

#include "engine/DecodeStream.h"

#include <memory>

namespace kv {

// Any file FFmpeg can demux and decode; for a video container, its first audio stream.
// Sets the thread's error code: 2 when the file cannot be read, 6 when nothing in it decodes.
std::unique_ptr<DecodeStream> OpenFfmpegStream(const QString& path,
                                               const StreamOpenOptions& options = {});

// Keeps FFmpeg from writing its own diagnostics to the terminal.
void QuietFfmpegLog();

} // namespace kv
