#pragma once
// The sample journal's register on a pseudo-terminal, connected at 9600 as
// network number 1, with a scratch folder for the work files. The link's
// pauses are recorded instead of slept.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/emulator.h"
#include "link/link.h"
#include "support/test_files.h"

namespace tallyglass::test_support {

class SampleRegisterTest : public ::testing::Test {
 protected:
  explicit SampleRegisterTest(std::string_view scratch_prefix) : scratch_prefix_(scratch_prefix) {}

  void SetUp() override {
    dir = MakeScratchDir(scratch_prefix_);
    waits.clear();
    link::SetWaitFunction([this](int ms) { waits.push_back(ms); });
    std::string error;
    ASSERT_TRUE(reg.Start(&error)) << error;
    ASSERT_EQ(link::OpenPort(reg.PortName(), 9600), link::kPortOpened);
    ASSERT_EQ(link::PollStation(1), 0);
  }
  void TearDown() override {
    link::ClosePort();
    link::SetWaitFunction(nullptr);
    reg.Stop();
    std::filesystem::remove_all(dir);
  }

  std::filesystem::path dir;
  emulator::RegisterEmulator reg{SampleJournal()};
  std::vector<int> waits;

 private:
  std::string scratch_prefix_;
};

}  // namespace tallyglass::test_support
