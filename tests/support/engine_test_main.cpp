/* tests/support/engine_test_main.cpp - main() of the engine and platform tests. */
#include <gtest/gtest.h>

#include "test_env.h"

int main(int argc, char** argv) {
  testenv::isolate_process_environment();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
