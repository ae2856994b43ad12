#pragma once

#include "formats/Conversion.h"
#include "formats/OutputFile.h"

#include <QString>

namespace kv {

// Joins paths with "/", collapsing doubled separators except a leading pair.
QString NormalizeSeparators(const QString& path);

// Picks and claims an output path for `sourcePath` with `extension` (no dot): the source's
// folder or the chosen one (its last component created when missing), the source's base name,
// then "_Converted", then "_Converted_0" to "_Converted_10000". A name is claimed by creating
// it as an empty file, exclusively: a name that another run took meanwhile goes on to the next
// number, and nothing is ever overwritten. Only files (and links) count as taken: a folder
// holding a candidate's name gives that name unclaimed, and its conversion fails. A CD track
// ("TrackNN.cda") always goes to the chosen folder.
OutputName GetOutputFileName(const QString& sourcePath, const QString& extension,
                             const OutputFolderChoice& choice);

// Removes the claimed file of `name` when it is still the very file the claim made and still
// empty: a conversion that failed leaves no empty file behind.
void ReleaseOutputClaim(const OutputName& name);

} // namespace kv
