#pragma once
// The link against a register emulator on a pseudo-terminal, with the link's
// fixed waits recorded instead of slept and every byte it writes traced.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "link/frame.h"
#include "link/link.h"
#include "support/test_journal.h"

namespace tallyglass::test_support {

class LinkFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    link::SetWaitFunction([this](int ms) { waits_.push_back(ms); });
    link::SetTraceSink([this](bool sent, const std::uint8_t* bytes, std::size_t count) {
      if (sent) written_.append(reinterpret_cast<const char*>(bytes), count);
    });
  }
  void TearDown() override {
    link::ClosePort();
    link::SetTraceSink(nullptr);
    link::SetWaitFunction(nullptr);
  }

  // Starts an emulator and opens its port; the records start empty.
  void Connect(emulator::EmulatorOptions options = {}) {
    emulator_ = std::make_unique<emulator::RegisterEmulator>(TestJournal(), options);
    std::string error;
    ASSERT_TRUE(emulator_->Start(&error)) << error;
    ASSERT_EQ(link::OpenPort(emulator_->PortName(), 115200), link::kPortOpened);
    Clear();
  }

  void Clear() {
    emulator_->ClearRecords();
    written_.clear();
    waits_.clear();
  }

  // What the link wrote, after checking the emulator received just that.
  std::string Written() {
    EXPECT_TRUE(emulator_->WaitForReceived(written_.size(), std::chrono::seconds(5)));
    EXPECT_EQ(emulator_->Received(), written_) << "the emulator got other bytes than written";
    return written_;
  }

  std::unique_ptr<emulator::RegisterEmulator> emulator_;
  std::vector<int> waits_;
  std::string written_;
};

}  // namespace tallyglass::test_support
