#pragma once

#include "formats/Conversion.h"
#include "formats/SourceTags.h"

#include <QStringList>

namespace kv {

// The boxes of "Set WMA File ID Tags" that the user filled win over the source's fields; an
// empty box, or the boxes unticked, leaves the source's value.
void ApplyWmaBoxes(SourceTags& tags, const WmaOptions& wma);

// Writes `tags` into the finished `output` of `format` in its usual form: ID3v2.3 for MP3,
// Vorbis comments with a picture block for Ogg, Vorbis comments and a PICTURE block for FLAC,
// Vorbis comments with METADATA_BLOCK_PICTURE for Opus, MP4 atoms (trkn, disk, covr) for
// M4A, ASF attributes for WMA, a RIFF INFO list for
// WAV (no album artist, disc or cover there; an RF64 file gets no tags). The tags go into a
// copy beside the output that replaces it only once written whole, so a failure leaves the
// output as the encoder made it. Returns what was left out and why; empty when all went in.
QStringList WriteOutputTags(const QString& output, int format, const SourceTags& tags);

// The whole step after a file ended "Complete": the source's tags (WMA boxes winning) into
// the output, and one error-log line when something could not be carried. Never fails the
// file.
void CopySourceTags(const QString& source, const QString& output, int format,
                    const WmaOptions& wma);

} // namespace kv
