// Pointer and keyboard input: values, handle placement and the order of events.
#include "SliderEvents.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <limits>

using kv::Slider;

namespace {

void send(Slider& s, QEvent::Type type, QPointF at, Qt::MouseButton button,
          Qt::MouseButtons buttons, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent ev(type, at, s.mapToGlobal(at), button, buttons, mods);
    QCoreApplication::sendEvent(&s, &ev);
}

void move(Slider& s, QPointF at, Qt::MouseButtons buttons) {
    send(s, QEvent::MouseMove, at, Qt::NoButton, buttons);
}

void click(Slider& s, QPointF at) {
    send(s, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    send(s, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

void key(Slider& s, int code, const QString& text = {}) {
    QKeyEvent ev(QEvent::KeyPress, code, Qt::NoModifier, text);
    QCoreApplication::sendEvent(&s, &ev);
}

// The 195-pixel 0..9 control of the worked examples.
struct NineSteps : ::testing::Test {
    NineSteps() {
        s.resize(195, 20);
        s.setMin(0);
        s.setMax(9);
        s.setValue(5);
        s.setForeColor(0x000000FF);
        s.setForeColor2(0x0000FF00);
    }
    Slider s;
};

TEST_F(NineSteps, DragToTheLeftEnd) {
    SliderEvents ev(s);
    move(s, {19, 10}, Qt::LeftButton);
    EXPECT_EQ(s.value(), 0);
    EXPECT_TRUE(s.handleFromPointer());
    EXPECT_FLOAT_EQ(s.handlePos(), 10);
    EXPECT_FLOAT_EQ(s.lastX(), 19.5f); // moved into the track
    EXPECT_FLOAT_EQ(s.lastY(), 10);
    EXPECT_EQ(s.HandleOffset(), 10);
    EXPECT_EQ(ev.take(), (QStringList{"Scroll", "Change"}));
}

TEST_F(NineSteps, DragFarPastTheRightEnd) {
    move(s, {500, 3}, Qt::LeftButton);
    EXPECT_EQ(s.value(), 9);
    EXPECT_FLOAT_EQ(s.lastX(), 171.5f);
    EXPECT_FLOAT_EQ(s.handlePos(), 162);
    EXPECT_EQ(s.HandleOffset(), 162);
    // Far beyond anything the 32-bit value could hold: still just the end.
    move(s, {3.0e9f, 3}, Qt::LeftButton);
    EXPECT_EQ(s.value(), 9);
    move(s, {-3.0e9f, 3}, Qt::LeftButton);
    EXPECT_EQ(s.value(), 0);
}

TEST_F(NineSteps, OnlyTheLeftButtonAloneDrags) {
    SliderEvents ev(s);
    move(s, {30, 10}, Qt::RightButton);
    move(s, {40, 10}, Qt::LeftButton | Qt::RightButton);
    EXPECT_EQ(s.value(), 5);
    EXPECT_FLOAT_EQ(s.lastX(), 40);
    move(s, {60, 12}, Qt::NoButton);
    EXPECT_EQ(s.value(), 5);
    EXPECT_FLOAT_EQ(s.lastX(), 60);
    EXPECT_FLOAT_EQ(s.lastY(), 12);
    EXPECT_FALSE(s.handleFromPointer());
    EXPECT_TRUE(ev.take().isEmpty());
    // Shift held with the left button is still a drag.
    send(s, QEvent::MouseMove, {19, 10}, Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(s.value(), 0);
}

TEST_F(NineSteps, HandleFollowsThePointerUnlessSnapping) {
    move(s, {100, 10}, Qt::LeftButton);
    EXPECT_EQ(s.value(), 5); // 81 / 151 x 9 = 4.83
    EXPECT_FLOAT_EQ(s.handlePos(), 90.5f);
    EXPECT_EQ(s.HandleOffset(), 90); // 90.5 goes to the even neighbour
    // The fill follows the handle: 90.5 of 170 pixels is red 119.25 and green 135.75.
    EXPECT_EQ(s.FillColor(), 119u | 136u << 8);
    EXPECT_EQ(s.surface().pixel(50, 9) | 0xFF000000u, qRgb(119, 136, 0));

    s.setSnap(true);
    move(s, {100, 10}, Qt::LeftButton);
    EXPECT_EQ(s.HandleOffset(), 94); // the place of the integer 5
    EXPECT_EQ(s.FillColor(), 113u | 142u << 8);
    EXPECT_EQ(s.surface().pixel(50, 9) | 0xFF000000u, qRgb(113, 142, 0));
}

TEST_F(NineSteps, ClickPositionsFromTheLastRecordedPointer) {
    SliderEvents ev(s);
    move(s, {19, 10}, Qt::NoButton);
    click(s, {19, 10});
    EXPECT_EQ(s.value(), 0);
    EXPECT_FLOAT_EQ(s.lastX(), 19.5f);
    EXPECT_EQ(ev.take(),
              (QStringList{"MouseUp(1,0,19,10)", "Click", "Scroll", "Change", "DblClick(0)"}));
    // A release away from the control is no click.
    send(s, QEvent::MouseButtonPress, {150, 10}, Qt::LeftButton, Qt::LeftButton);
    send(s, QEvent::MouseButtonRelease, {150, 40}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(ev.take(), QStringList{"MouseUp(1,0,150,40)"});
    EXPECT_EQ(s.value(), 0);
}

TEST_F(NineSteps, PressWithoutAMoveCountsAsThePointerPosition) {
    // Touch screens and synthetic clicks press without moving first.
    click(s, {190, 10});
    EXPECT_EQ(s.value(), 9);
    EXPECT_FLOAT_EQ(s.lastX(), 171.5f);
}

TEST_F(NineSteps, DoubleClickPositionsTwice) {
    SliderEvents ev(s);
    move(s, {171.5, 10}, Qt::NoButton);
    click(s, {171.5, 10});
    send(s, QEvent::MouseButtonDblClick, {171.5, 10}, Qt::LeftButton, Qt::LeftButton);
    send(s, QEvent::MouseButtonRelease, {171.5, 10}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(s.value(), 9);
    EXPECT_EQ(ev.take(),
              (QStringList{"MouseUp(1,0,171.5,10)", "Click", "Scroll", "Change", "DblClick(9)",
                           "Scroll", "Change", "DblClick(9)", "MouseUp(1,0,171.5,10)"}));
}

TEST_F(NineSteps, MouseUpPassesButtonShiftAndPosition) {
    SliderEvents ev(s);
    send(s, QEvent::MouseButtonPress, {30, 5}, Qt::RightButton, Qt::RightButton);
    send(s, QEvent::MouseButtonRelease, {30.25, 5.5}, Qt::RightButton, Qt::NoButton,
         Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(ev.take(), QStringList{"MouseUp(2,3,30.25,5.5)"}); // a right click sets nothing
    EXPECT_EQ(s.value(), 5);
}

TEST_F(NineSteps, DblClickValueChangedByTheReceiverIsApplied) {
    SliderEvents ev(s);
    const int wanted = 42;
    ev.replaceDblClickValue = &wanted;
    move(s, {19, 10}, Qt::NoButton);
    click(s, {19, 10});
    EXPECT_EQ(s.value(), 9); // clamped like any other write
    EXPECT_EQ(ev.take().last(), QStringLiteral("Change"));
}

TEST_F(NineSteps, SwitchedOffIgnoresThePointerButNotTheKeyboard) {
    s.setEnabled(false);
    SliderEvents ev(s);
    move(s, {19, 10}, Qt::LeftButton);
    EXPECT_EQ(s.value(), 5);
    EXPECT_FLOAT_EQ(s.lastX(), 19); // recorded as it came
    click(s, {19, 10});
    EXPECT_EQ(s.value(), 5);
    EXPECT_EQ(ev.take(), (QStringList{"MouseUp(1,0,19,10)", "Click", "DblClick(5)"}));
    key(s, Qt::Key_Right);
    EXPECT_EQ(s.value(), 6);
    EXPECT_EQ(ev.take(), (QStringList{"Change", "Scroll"}));
}

TEST_F(NineSteps, ArrowKeys) {
    SliderEvents ev(s);
    move(s, {100, 10}, Qt::LeftButton);
    ev.take();
    key(s, Qt::Key_Left);
    EXPECT_EQ(s.value(), 4);
    EXPECT_FALSE(s.handleFromPointer());
    EXPECT_EQ(s.HandleOffset(), 78); // a = 67 (67.11), b = 78 (77.5)
    EXPECT_EQ(ev.take(), (QStringList{"Change", "Scroll"}));
    key(s, Qt::Key_A, QStringLiteral("a"));
    key(s, Qt::Key_Up);
    key(s, Qt::Key_Down);
    EXPECT_EQ(s.value(), 4);
    EXPECT_EQ(ev.take().size(), 6);
    s.setValue(9);
    key(s, Qt::Key_Right);
    EXPECT_EQ(s.value(), 9);
    s.setValue(0);
    key(s, Qt::Key_Left);
    EXPECT_EQ(s.value(), 0);
}

TEST(SliderInput, KeysPastThe32BitEndsAreRefused) {
    Slider s;
    ASSERT_TRUE(s.setMin(0));
    ASSERT_TRUE(s.setMax(std::numeric_limits<int>::max()));
    s.setValue(std::numeric_limits<int>::max());
    SliderEvents ev(s);
    key(s, Qt::Key_Right);
    EXPECT_EQ(s.value(), std::numeric_limits<int>::max());
    EXPECT_TRUE(ev.take().isEmpty());
    key(s, Qt::Key_Left);
    EXPECT_EQ(s.value(), std::numeric_limits<int>::max() - 1);

    Slider low;
    ASSERT_TRUE(low.setMax(-1));
    ASSERT_TRUE(low.setMin(std::numeric_limits<int>::min()));
    low.setValue(std::numeric_limits<int>::min());
    SliderEvents lowEv(low);
    key(low, Qt::Key_Left);
    EXPECT_EQ(low.value(), std::numeric_limits<int>::min());
    EXPECT_TRUE(lowEv.take().isEmpty());
    // A click at the far end of a range this wide still lands inside it.
    low.resize(195, 20);
    move(low, {1.0e9f, 10}, Qt::LeftButton);
    EXPECT_EQ(low.value(), -1);
}

TEST(SliderInput, VerticalPointer) {
    Slider s;
    s.setStyle(1);
    s.resize(20, 195);
    s.setMin(0);
    s.setMax(9);
    s.setForeColor(0x000000FF);
    s.setForeColor2(0x0000FF00);
    move(s, {10, 19}, Qt::LeftButton);
    EXPECT_EQ(s.value(), 9); // the top is Max
    EXPECT_FLOAT_EQ(s.lastY(), 19.5f);
    EXPECT_FLOAT_EQ(s.handlePos(), 181);
    EXPECT_EQ(195 - s.HandleOffset(), 14); // top edge of the handle
    // Near the top the handle's share passes 1 (181 / 170); the blend stays within bytes.
    EXPECT_EQ(s.FillColor(), 0x0000FF00u);
    move(s, {10, 500}, Qt::LeftButton);
    EXPECT_EQ(s.value(), 0);
    EXPECT_FLOAT_EQ(s.lastY(), 171.5f);
    EXPECT_FLOAT_EQ(s.handlePos(), 29);
    EXPECT_EQ(195 - s.HandleOffset(), 195 - 29);
    move(s, {10, 100}, Qt::LeftButton);
    EXPECT_EQ(s.value(), 4); // offset nearest(81 / 151 x 9) = 5
}

TEST(SliderInput, TellsAssistiveTechnologyItsValue) {
    Slider s;
    s.setMin(-2);
    s.setMax(10);
    s.setValue(3);
    EXPECT_NE(s.focusPolicy() & Qt::TabFocus, 0);
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&s);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::Slider);
    QAccessibleValueInterface* v = a->valueInterface();
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->currentValue().toInt(), 3);
    EXPECT_EQ(v->minimumValue().toInt(), -2);
    EXPECT_EQ(v->maximumValue().toInt(), 10);
    EXPECT_EQ(a->text(QAccessible::Value), QStringLiteral("3"));
    v->setCurrentValue(42);
    EXPECT_EQ(s.value(), 10);
}

} // namespace
