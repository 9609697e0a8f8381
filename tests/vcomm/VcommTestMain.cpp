// Test programs' main: the process's vcomm::Library, then every test.

#include <gtest/gtest.h>

#include "vcomm/Library.h"

int main(int argc, char** argv) {
  vcomm::Library vcommLibrary;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
