#pragma once

#include <span>

namespace kv {

// What SetCaptions writes into a control.
enum class CaptionTarget { Caption, Title, Header, ToolTip };

struct CaptionEntry {
    int key;
    const char* control; // object name; for Header, the grid
    CaptionTarget target;
    int column; // grid column for Header, else -1
    const char* defaultText;
};

struct MessageKey {
    int key;
    const char* defaultText;
};

// The main window's captions in the order SetCaptions applies them.
std::span<const CaptionEntry> CaptionTable();

// Keys looked up when a message, status or dialog title is shown.
std::span<const MessageKey> MessageKeys();

} // namespace kv
