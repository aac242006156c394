// glide-scene check: not built yet.
#include <gtest/gtest.h>

TEST(SceneCheck, NotBuiltYet) {}

