#pragma once

#include "net/FileDownload.h"

class QWidget;

namespace kv {

// Fetches one file with a cancellable progress dialog titled "Downloading " + `displayName`.
// When the system reports no network, the box "You are not connected to internet" comes
// instead and nothing is fetched. A failed download is told in a box; a cancelled one is not.
// The destination holds the whole new file only when the result is Done.
DownloadOutcome DownloadFile(QWidget* parent, const QString& url, const QString& destination,
                             const QString& displayName);

} // namespace kv
