// Placeholder until this area has its tests.
#include <gtest/gtest.h>
