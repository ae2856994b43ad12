// Property writes, their events and the stored property bag.
#include "SliderEvents.h"
#include "controls/PropertyBag.h"

#include <gtest/gtest.h>

#include <limits>

using kv::PropertyBag;
using kv::Slider;

namespace {

constexpr int kIntMax = std::numeric_limits<int>::max();
constexpr int kIntMin = std::numeric_limits<int>::min();

void expectInvariant(const Slider& s) {
    EXPECT_LT(s.min(), s.max());
    EXPECT_LE(s.min(), s.value());
    EXPECT_LE(s.value(), s.max());
}

TEST(SliderProperties, CreationDefaults) {
    Slider s;
    EXPECT_EQ(s.value(), 50);
    EXPECT_EQ(s.max(), 100);
    EXPECT_EQ(s.min(), -100);
    EXPECT_EQ(s.backColor(), 0u);
    EXPECT_EQ(s.foreColor(), 0x0000C8C8u);
    EXPECT_EQ(s.foreColor2(), 0x000000C8u);
    EXPECT_TRUE(s.isEnabled());
    EXPECT_FALSE(s.snap());
    EXPECT_EQ(s.style(), 0);
    EXPECT_FALSE(s.handleFromPointer());
    // The colour components are only taken by the colour setters, so the fill starts black.
    EXPECT_EQ(s.FillColor(), 0u);
    EXPECT_FALSE(s.surface().isNull());
}

TEST(SliderProperties, ValueIsClampedAndChangeRaisedOnce) {
    Slider s;
    s.setMax(10);
    s.setMin(-2);
    SliderEvents ev(s);
    s.setValue(1000);
    EXPECT_EQ(s.value(), 10);
    EXPECT_EQ(ev.take(), QStringList{"Change"});
    s.setValue(-1000);
    EXPECT_EQ(s.value(), -2);
    s.setValue(-2); // unchanged, still reported
    EXPECT_EQ(ev.take(), (QStringList{"Change", "Change"}));
}

TEST(SliderProperties, RangeEndsPushEachOtherAndPullValue) {
    Slider s;
    s.setMin(5);
    s.setMax(5);
    EXPECT_EQ(s.max(), 6);
    EXPECT_EQ(s.value(), 6); // was 50

    Slider t;
    t.setMin(0);
    t.setMax(10);
    t.setValue(0);
    t.setMin(20);
    EXPECT_EQ(t.min(), 9);
    EXPECT_EQ(t.value(), 9);
    t.setValue(9);
    t.setMax(3); // below Min: one above it
    EXPECT_EQ(t.max(), 10);
    t.setValue(10);
    t.setMin(-5);
    t.setMax(0);
    EXPECT_EQ(t.value(), 0);
    t.setMin(0); // v >= Max: one below it
    EXPECT_EQ(t.min(), -1);
    expectInvariant(t);
}

TEST(SliderProperties, WhichWritesRaiseChange) {
    Slider s;
    SliderEvents ev(s);
    s.setForeColor(s.foreColor());
    s.setForeColor2(0x123456);
    s.setBackColor(0);
    s.setMax(100);
    s.setMin(-100);
    EXPECT_EQ(ev.take(), QStringList(5, QStringLiteral("Change")));

    const QImage before = s.surface();
    s.setEnabled(false);
    s.setSnap(true);
    EXPECT_TRUE(ev.take().isEmpty());
    EXPECT_EQ(s.surface(), before); // no redraw either
    s.setStyle(1);
    EXPECT_TRUE(ev.take().isEmpty());
}

TEST(SliderProperties, ColourComponentsFollowTheColourSetters) {
    Slider s;
    s.setMin(0);
    s.setMax(9);
    s.setValue(0);
    s.setForeColor(0x00336699); // RGB(0x99, 0x66, 0x33)
    EXPECT_EQ(s.FillColor(), 0x00336699u);
    s.setForeColor2(0x00010203);
    s.setValue(9);
    EXPECT_EQ(s.FillColor(), 0x00010203u);
}

TEST(SliderProperties, QtPropertiesReachTheSetters) {
    Slider s;
    SliderEvents ev(s);
    EXPECT_TRUE(s.setProperty("Max", 10));
    EXPECT_TRUE(s.setProperty("Min", 2));
    EXPECT_TRUE(s.setProperty("Value", 99));
    EXPECT_TRUE(s.setProperty("ForeColor", QVariant::fromValue<uint>(0x00FF80FFu)));
    EXPECT_TRUE(s.setProperty("Enabled", false));
    EXPECT_EQ(s.property("Value").toInt(), 10);
    EXPECT_EQ(s.property("Min").toInt(), 2);
    EXPECT_EQ(s.property("ForeColor").toUInt(), 0x00FF80FFu);
    EXPECT_FALSE(s.property("Enabled").toBool());
    EXPECT_EQ(ev.take().size(), 4);
    // Switched off for the pointer only: still an enabled widget that takes the keyboard.
    EXPECT_TRUE(static_cast<QWidget&>(s).isEnabled());
}

TEST(SliderProperties, WritesThatWouldOverflowAreRefused) {
    Slider s;
    SliderEvents ev(s);
    // Max - Min would not fit 32 bits.
    EXPECT_FALSE(s.setMax(kIntMax));
    EXPECT_EQ(s.max(), 100);
    EXPECT_FALSE(s.setMin(kIntMin));
    EXPECT_EQ(s.min(), -100);
    EXPECT_TRUE(ev.take().isEmpty());
    expectInvariant(s);

    // The widest range that fits is allowed.
    ASSERT_TRUE(s.setMin(0));
    ASSERT_TRUE(s.setMax(kIntMax));
    s.setValue(kIntMax);
    EXPECT_EQ(s.value(), kIntMax);
    // Min pushed down to Max - 1 would still be fine; pushed below zero it would not.
    EXPECT_FALSE(s.setMin(-1));
    EXPECT_TRUE(s.setMin(kIntMax));
    EXPECT_EQ(s.min(), kIntMax - 1);
    // Max at or below a Min at the top: one above it would pass the 32-bit limit only if
    // Min were the largest value, which the invariant already rules out.
    EXPECT_TRUE(s.setMax(kIntMin));
    EXPECT_EQ(s.max(), kIntMax);
    expectInvariant(s);

    Slider low;
    ASSERT_TRUE(low.setMax(-1));
    ASSERT_TRUE(low.setMin(kIntMin));
    ASSERT_FALSE(low.setMax(0)); // range 2^31
    EXPECT_EQ(low.max(), -1);
    EXPECT_TRUE(low.setMin(kIntMax)); // becomes Max - 1
    EXPECT_EQ(low.min(), -2);
    EXPECT_TRUE(low.setMin(kIntMin));
    EXPECT_TRUE(low.setMax(kIntMin)); // Min + 1
    EXPECT_EQ(low.max(), kIntMin + 1);
    expectInvariant(low);
}

TEST(SliderPersistence, OnlyMinStoredGivesDefaultsForTheRest) {
    Slider s;
    EXPECT_TRUE(s.ReadProperties(PropertyBag{{QStringLiteral("min"), 0}}));
    EXPECT_EQ(s.value(), 50);
    EXPECT_EQ(s.max(), 100);
    EXPECT_EQ(s.min(), 0);
    EXPECT_EQ(s.foreColor(), Slider::kDefaultForeColor);
    EXPECT_FALSE(s.handleFromPointer());
}

TEST(SliderPersistence, StoredValueIsClampedByTheRangeInForceWhenRead) {
    Slider s;
    s.ReadProperties(PropertyBag{{QStringLiteral("Value"), 150}, {QStringLiteral("MAX"), 200}});
    EXPECT_EQ(s.max(), 200);
    EXPECT_EQ(s.value(), 100);
}

TEST(SliderPersistence, ReadingRaisesChangeForEachSetterInOrder) {
    Slider s;
    SliderEvents ev(s);
    s.ReadProperties(PropertyBag{});
    // Value, Max, Min, BackColor, ForeColor, ForeColor2; nothing for Enabled, Snap, Style.
    EXPECT_EQ(ev.take(), QStringList(6, QStringLiteral("Change")));
    // Reading applies the defaults, so a bag of nothing gives the fill its colours.
    s.setValue(-100);
    EXPECT_EQ(s.FillColor(), Slider::kDefaultForeColor);
}

TEST(SliderPersistence, WritingLeavesOutDefaultsAndUsesLowerCaseNames) {
    Slider fresh;
    PropertyBag empty;
    fresh.WriteProperties(empty);
    EXPECT_TRUE(empty.isEmpty());

    Slider s;
    s.setMin(-2);
    s.setMax(10);
    s.setValue(3);
    s.setBackColor(0x00FFC0C0);
    s.setSnap(true);
    s.setEnabled(false);
    PropertyBag bag;
    s.WriteProperties(bag);
    EXPECT_EQ(bag.names(), (QStringList{"value", "max", "min", "backcolor", "enabled", "snap"}));
    EXPECT_EQ(bag.ReadInt32(QStringLiteral("Value"), 0), 3);
    EXPECT_FALSE(bag.ReadBool(QStringLiteral("ENABLED"), true));

    // A write back to a default removes the stored entry.
    s.setSnap(false);
    s.WriteProperties(bag);
    EXPECT_FALSE(bag.contains(QStringLiteral("snap")));

    Slider copy;
    EXPECT_TRUE(copy.ReadProperties(bag));
    EXPECT_EQ(copy.value(), 3);
    EXPECT_EQ(copy.min(), -2);
    EXPECT_EQ(copy.max(), 10);
    EXPECT_EQ(copy.backColor(), 0x00FFC0C0u);
    EXPECT_FALSE(copy.isEnabled());
}

TEST(SliderPersistence, UnreadableEntriesFallBackAndAreReported) {
    Slider s;
    const PropertyBag bag{{QStringLiteral("max"), QStringLiteral("ten")},
                          {QStringLiteral("min"), qint64(1) << 40},
                          {QStringLiteral("backcolor"), -1},
                          {QStringLiteral("snap"), QStringLiteral("true")},
                          {QStringLiteral("value"), QStringLiteral("7")}};
    EXPECT_FALSE(s.ReadProperties(bag));
    EXPECT_EQ(s.value(), 7);
    EXPECT_EQ(s.max(), 100);
    EXPECT_EQ(s.min(), -100);
    EXPECT_EQ(s.backColor(), 0xFFFFFFFFu); // a signed word keeps its bits
    EXPECT_TRUE(s.snap());
    expectInvariant(s);

    // A stored range wider than 32 bits is refused at the write that would make it.
    Slider wide;
    EXPECT_FALSE(wide.ReadProperties(
        PropertyBag{{QStringLiteral("max"), kIntMax}, {QStringLiteral("min"), kIntMin}}));
    expectInvariant(wide);
}

} // namespace
