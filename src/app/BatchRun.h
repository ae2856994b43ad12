#pragma once

#include "app/BatchOptions.h"

#include <utility>
#include <vector>

namespace kv {

// Exit statuses of kelvanto-batch; a stop by a signal exits 128 + its number.
inline constexpr int kBatchExitDone = 0;
inline constexpr int kBatchExitFailed = 1;
inline constexpr int kBatchExitUsage = 2;

// Adds the request's paths to a file list, converts them when asked, and prints the list.
// Needs a QCoreApplication; returns the exit status.
int RunBatch(const BatchRequest& request);

// The terminal's progress line for the files being converted, in the order they started: one
// file by its path, several side by side by their names.
QString ProgressLineText(const std::vector<std::pair<QString, double>>& running);

} // namespace kv
