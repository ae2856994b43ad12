#pragma once

#include "app/BatchOptions.h"

namespace kv {

// Exit statuses of kelvanto-batch; a stop by a signal exits 128 + its number.
inline constexpr int kBatchExitDone = 0;
inline constexpr int kBatchExitFailed = 1;
inline constexpr int kBatchExitUsage = 2;

// Adds the request's paths to a file list, converts them when asked, and prints the list.
// Needs a QCoreApplication; returns the exit status.
int RunBatch(const BatchRequest& request);

} // namespace kv
