#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

class QTimer;
class QWidget;

namespace kv {

class FramePanel;

// Window geometry is counted in twips (1/1440 inch); 15 make one pixel at 96 dots per inch.
constexpr int kTwipsPerPixel = 15;
int PixelsFromTwips(int twips);

// The about and options panels rise over the lower part of the window and sink below its
// bottom edge again, one step per tick of the window's timer. Positions are kept in twips and
// turned into pixels only when a panel is placed, so the steps add up exactly.
class PanelAnimation : public QObject {
    Q_OBJECT
public:
    // Where a risen panel stops, and the tops below which it stops and slows down.
    static constexpr int kOpenTop = 2715;
    static constexpr int kStopBelow = 2650;
    static constexpr int kSlowBelow = 3100;

    // `timer` is the window's tmrAnimate; `mainPanel` takes no input while a panel is up;
    // panels park at the height of `window`.
    PanelAnimation(QTimer* timer, FramePanel* mainPanel, QWidget* window);

    // A panel below the window's edge: hidden, so none of its controls takes focus or keys.
    static void Park(QWidget* panel);
    // An opening button: ignored while the timer runs, so two quick clicks make one rise.
    void Open(QWidget* panel);
    // A closing button: the panel sinks from where it is, also while it is still rising.
    void Close();

    void StartPanelAnimation(const QString& command);
    void SlidePanelUpStep();
    void SlidePanelDownStep();
    // The timer's tick.
    void Tick();

    // The top of `panel` in twips, as the animation counts it.
    int TopTwips(QWidget* panel) const;
    int WindowHeightTwips() const;

    QString sMoveObject;
    QPointer<QWidget> oMoveFrame;
    int iMoveStep = 0;
    int iMoveInterval = 0;

Q_SIGNALS:
    // A sinking panel has reached its parking place and the main panel is active again.
    void parked(QWidget* panel);

private:
    void setTop(int twips);

    QTimer* timer_;
    FramePanel* mainPanel_;
    QWidget* window_;
    QHash<QWidget*, int> topTwips_;
    QPointer<QWidget> returnFocus_; // the window's focus when the panel was opened
};

} // namespace kv
