#pragma once

#include "ui/MessageBox.h"

// Without a sound server start-up reports the device; the benchmarks need no device, and a
// box would wait for a person.
class NoBoxes final : public kv::MessageBoxes {
public:
    NoBoxes() { kv::SetMessageBoxes(this); }
    ~NoBoxes() override { kv::SetMessageBoxes(nullptr); }
    kv::MsgResult show(QWidget*, const kv::MessageRequest&) override { return kv::MsgResult::Ok; }
};
