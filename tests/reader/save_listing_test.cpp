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

}  // namespace
}  // namespace tallyglass
