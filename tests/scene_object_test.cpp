// glide-scene object: not built yet.
#include <gtest/gtest.h>

TEST(SceneObject, NotBuiltYet) {}
