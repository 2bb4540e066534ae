// The output rule's temporary files: two writers of one name (two batches
// in one folder) never share one, and the refused or failed leave none.
// What may stand at a name is tried for every writer in cli/output_rule_test.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/output_file.hpp"
#include "support/test_support.hpp"

namespace quorvel {
namespace {

TEST(OutputFile, TwoWritersOfOneNameNeverShareATemporaryFile) {
  testing::TempDir dir;
  const std::string path = (dir.path() / "same.json").string();
  OutputFile a, b;
  ASSERT_EQ(create_output(path, a), 0);
  ASSERT_EQ(create_output(path, b), 0);
  EXPECT_NE(a.temp, b.temp);
  std::fputs("a", a.file);
  std::fputs("b", b.file);
  EXPECT_EQ(commit_output(a), 0);
  discard_output(b);
  EXPECT_EQ(dir.read("same.json"), "a");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
}  // namespace quorvel
