#pragma once

namespace kv {

class BatchDriver;

// Gives a batch the converter of every output format this build writes. The window and
// kelvanto-batch both call it, so they convert alike.
void RegisterConverters(BatchDriver& driver);

} // namespace kv
