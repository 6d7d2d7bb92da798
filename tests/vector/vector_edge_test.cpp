#include "qvk_test.h"
TEST(Placeholder, Builds) {}
