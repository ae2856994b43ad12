#include "ui/PanelAnimation.h"

#include "settings/Rounding.h"
#include "ui/FramePanel.h"

#include <QTimer>
#include <QWidget>

namespace kv {

int PixelsFromTwips(int twips) {
    return static_cast<int>(RoundHalfEven(static_cast<double>(twips) / kTwipsPerPixel));
}

PanelAnimation::PanelAnimation(QTimer* timer, FramePanel* mainPanel, QWidget* window)
    : QObject(window), timer_(timer), mainPanel_(mainPanel), window_(window) {
    connect(timer_, &QTimer::timeout, this, &PanelAnimation::Tick);
}

void PanelAnimation::Park(QWidget* panel) {
    // Out of sight and out of the focus chain: a parked panel's controls take no keys.
    panel->hide();
}

void PanelAnimation::Open(QWidget* panel) {
    if (timer_->isActive())
        return;
    oMoveFrame = panel;
    returnFocus_ = window_->focusWidget();
    // Shown where it is parked, below the window's edge, so the rise looks as before; shown
    // before the main panel goes inactive, so the focus moves onto the panel.
    panel->show();
    mainPanel_->setActive(false);
    StartPanelAnimation(QStringLiteral("EDIT_FRAME_UP"));
}

void PanelAnimation::Close() {
    StartPanelAnimation(QStringLiteral("EDIT_FRAME_DOWN"));
}

void PanelAnimation::StartPanelAnimation(const QString& command) {
    if (command == QLatin1String("EDIT_FRAME_UP")) {
        iMoveStep = 300;
        iMoveInterval = 10;
        sMoveObject = QStringLiteral("Edit Frame 2 Up");
    } else if (command == QLatin1String("EDIT_FRAME_DOWN")) {
        iMoveStep = 500;
        iMoveInterval = 5;
        sMoveObject = QStringLiteral("Edit Frame 2 Down");
    }
    timer_->start();
}

void PanelAnimation::Tick() {
    if (sMoveObject == QLatin1String("Edit Frame 2 Up"))
        SlidePanelUpStep();
    else if (sMoveObject == QLatin1String("Edit Frame 2 Down"))
        SlidePanelDownStep();
}

int PanelAnimation::TopTwips(QWidget* panel) const {
    if (!panel)
        return 0;
    // A panel the animation has not moved yet is where the window put it.
    return topTwips_.value(panel, panel->y() * kTwipsPerPixel);
}

int PanelAnimation::WindowHeightTwips() const {
    return window_->height() * kTwipsPerPixel;
}

void PanelAnimation::setTop(int twips) {
    topTwips_.insert(oMoveFrame, twips);
    oMoveFrame->move(oMoveFrame->x(), PixelsFromTwips(twips));
}

void PanelAnimation::SlidePanelUpStep() {
    timer_->setInterval(iMoveInterval);
    if (!oMoveFrame) {
        timer_->stop();
        return;
    }
    const int top = TopTwips(oMoveFrame);
    if (top < kStopBelow) {
        timer_->stop();
        setTop(kOpenTop);
        return;
    }
    if (top < kSlowBelow && iMoveStep > 100) {
        iMoveStep = static_cast<int>(RoundHalfEven(iMoveStep / 2.0));
        iMoveInterval *= 2;
    }
    setTop(top - iMoveStep);
}

void PanelAnimation::SlidePanelDownStep() {
    timer_->setInterval(iMoveInterval);
    if (!oMoveFrame) {
        // A closing click before any panel was opened has nothing to move.
        timer_->stop();
        mainPanel_->setActive(true);
        return;
    }
    const int top = TopTwips(oMoveFrame);
    if (top >= WindowHeightTwips()) {
        timer_->stop();
        setTop(WindowHeightTwips());
        mainPanel_->setActive(true);
        const bool hadFocus = oMoveFrame->isAncestorOf(window_->focusWidget());
        Park(oMoveFrame);
        // The keyboard goes back to where it was when the panel was opened.
        if (hadFocus && returnFocus_ && returnFocus_->isEnabled())
            returnFocus_->setFocus(Qt::OtherFocusReason);
        Q_EMIT parked(oMoveFrame);
        return;
    }
    setTop(top + iMoveStep);
}

} // namespace kv
