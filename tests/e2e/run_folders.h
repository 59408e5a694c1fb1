// A fixture for tests that run zorhost on scenes: a start-up folder, a prefs folder and a scene folder
// below a root of the test's own (named after the process and the test), kept when the test failed.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace e2e {

class RunFoldersTest : public ::testing::Test {
 protected:
  explicit RunFoldersTest(std::string prefix) : prefix_(std::move(prefix)) {}

  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() /
            (prefix_ + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_ / "startup");
    std::filesystem::create_directories(root_ / "prefs");
    scenes_ = root_ / "scenes";
    std::filesystem::create_directories(scenes_);
  }
  void TearDown() override {
    if (!HasFailure()) std::filesystem::remove_all(root_);
  }

  std::filesystem::path root_;
  std::filesystem::path scenes_;

 private:
  std::string prefix_;
};

}  // namespace e2e
