#include "ui/MessageBox.h"

#include <QMessageBox>

namespace kv {
namespace {
class WidgetMessageBoxes final : public MessageBoxes {
public:
    MsgResult show(QWidget* parent, const MessageRequest& r) override {
        QMessageBox box(parent);
        box.setWindowTitle(r.title);
        box.setText(r.text);
        switch (r.icon) {
        case MsgIcon::NoIcon:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case MsgIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MsgIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgIcon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        case MsgIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        }
        switch (r.buttons) {
        case MsgButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MsgButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case MsgButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case MsgButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        }
        switch (box.exec()) {
        case QMessageBox::Yes:
            return MsgResult::Yes;
        case QMessageBox::No:
            return MsgResult::No;
        case QMessageBox::Cancel:
            return MsgResult::Cancel;
        default:
            return MsgResult::Ok;
        }
    }
};

MessageBoxes*& installed() {
    static MessageBoxes* boxes = nullptr;
    return boxes;
}
} // namespace

MsgResult ShowMessage(QWidget* parent, MsgIcon icon, const QString& text, const QString& title,
                      MsgButtons buttons) {
    static WidgetMessageBoxes real;
    MessageBoxes* boxes = installed() ? installed() : &real;
    return boxes->show(parent,
                       {icon, title.isEmpty() ? QStringLiteral("Kelvanto") : title, text, buttons});
}

void SetMessageBoxes(MessageBoxes* boxes) {
    installed() = boxes;
}

} // namespace kv
