#include "controls/Slider.h"
#include <gtest/gtest.h>
TEST(Slider, Builds) { kv::Slider s; EXPECT_EQ(s.value(), 50); }
