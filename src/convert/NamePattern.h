#pragma once

#include "formats/SourceTags.h"

#include <QString>
#include <QStringList>

namespace kv {

// The relative output path a name pattern such as "{albumartist}/{album}/{track} {title}"
// gives a source: its folders, then the file name with ".extension" (no dot given). Fields:
// {artist}, {albumartist} (else the artist), {album}, {title}, {track} (two digits), {disc},
// {year}, {genre}, {name} (the source's base name) and {folder} (its folder's name); an
// unknown {x} stays as text. A missing field takes the separators around it along; a part that
// comes out empty is dropped, and an empty file name falls back to {name}. Values never make
// folders, and every part is safe on FAT and exFAT cards: no refused characters, no trailing
// dot or space, never "." or "..", at most 255 bytes of UTF-8 (the file name keeps room for a
// "_Converted_N" suffix). An empty pattern gives an empty list: the caller names as usual.
QStringList PatternedPath(const QString& pattern, const SourceTags& tags, const QString& source,
                          const QString& extension);

} // namespace kv
