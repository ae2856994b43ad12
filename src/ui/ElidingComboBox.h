#pragma once

#include <QComboBox>

namespace kv {

// A drop-down list whose closed box ends a text too long for it in "…" rather than cutting it
// mid-letter; the open list shows every item whole.
class ElidingComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;

    // The current item's text as the closed box shows it.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kv
