#include "reader/save_listing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "text/cp1251.h"

#include "support/test_files.h"

namespace tallyglass {
namespace {

using test_support::ReadFile;

class SaveListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test_support::MakeScratchDir("tallyglass-save");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(SaveListingTest, WritesBytesWithCrLfAfterEveryLine) {
  const Listing listing = {Utf8ToCp1251("  Сума   "), "", "x"};
  const auto path = (dir_ / "out.txt").string();
  save_listing(listing, path);
  EXPECT_EQ(ReadFile(path), Utf8ToCp1251("  Сума   ") + "\r\n\r\nx\r\n");
  save_listing({}, path);  // replaces, and an empty listing gives an empty file
  EXPECT_EQ(ReadFile(path), "");
}

TEST_F(SaveListingTest, FailureCarriesTheSystemMessageAndKeepsTheListing) {
  const Listing listing = {"a", "b"};
  try {
    save_listing(listing, (dir_ / "missing" / "out.txt").string());
    FAIL() << "no error";
  } catch (const std::system_error& e) {
    EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos) << e.what();
  }
  EXPECT_EQ(listing, (Listing{"a", "b"}));
}

TEST_F(SaveListingTest, ErrorLogHoldsTheLastFailureAndNeverStopsTheCaller) {
  const auto path = (dir_ / "error.log").string();
  write_error_log({}, path);
  EXPECT_FALSE(std::filesystem::exists(path)) << "nothing failed, nothing written";
  RenderResult rendered;
  rendered.failures.push_back({0, false, 1, 1, "receipt 1 (DI 1): first"});
  rendered.failures.push_back({1, true, 2, 2, "Z-report 2 (DI 2): second"});
  write_error_log(rendered, path);
  EXPECT_EQ(ReadFile(path), "Z-report 2 (DI 2): second\n");
  write_error_log(rendered, (dir_ / "missing" / "error.log").string());  // given up silently
}

}  // namespace
}  // namespace tallyglass
