// glide-scene terrain: not built yet.
#include <gtest/gtest.h>

TEST(SceneTerrain, NotBuiltYet) {}
