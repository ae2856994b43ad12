#pragma once

#include <QString>

class QWidget;

namespace kv {

enum class MsgIcon { NoIcon, Information, Warning, Critical, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgResult { Ok, Cancel, Yes, No };

struct MessageRequest {
    MsgIcon icon = MsgIcon::NoIcon;
    QString title;
    QString text;
    MsgButtons buttons = MsgButtons::Ok;
};

// Every modal message box of the program goes through this, so tests can read and answer
// them.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual MsgResult show(QWidget* parent, const MessageRequest& request) = 0;
};

// Shows a box; an empty title becomes the product name "Kelvanto".
MsgResult ShowMessage(QWidget* parent, MsgIcon icon, const QString& text,
                      const QString& title = QString(), MsgButtons buttons = MsgButtons::Ok);

// Replaces the boxes (nullptr restores the real ones). The caller keeps ownership.
void SetMessageBoxes(MessageBoxes* boxes);

} // namespace kv
