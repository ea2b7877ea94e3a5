// Request paths mapped into an extension's folder and kept there.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/zepa/extensions/confined_path.h"
#include "tests/support/temp_dir.h"

using namespace orla;

TEST(ConfinedPath, FindsTraversalInEveryForm) {
  EXPECT_TRUE(ConfinedPath::HasTraversal("/KOR/../x"));
  EXPECT_TRUE(ConfinedPath::HasTraversal("/KOR/a/.."));
  EXPECT_TRUE(ConfinedPath::HasTraversal("/KOR/..\\x"));
  EXPECT_TRUE(ConfinedPath::HasTraversal(std::string("/KOR/a\0b", 8)));
  EXPECT_FALSE(ConfinedPath::HasTraversal("/KOR/..x/a..b/.../"));
  EXPECT_FALSE(ConfinedPath::HasTraversal("/KOR/%2e%2e/"));  // still encoded: a plain name
}

TEST(ConfinedPath, JoinsAndNormalises) {
  std::string out;
  ASSERT_TRUE(ConfinedPath::Translate("/opt/kor/KORZEPA", "", &out));
  EXPECT_EQ(out, "/opt/kor/KORZEPA");
  ASSERT_TRUE(ConfinedPath::Translate("/opt/kor/KORZEPA/", "help//./index.html", &out));
  EXPECT_EQ(out, "/opt/kor/KORZEPA/help/index.html");
  ASSERT_TRUE(ConfinedPath::Translate("/opt/kor/KORZEPA", "help/", &out));
  EXPECT_EQ(out, "/opt/kor/KORZEPA/help/");
  EXPECT_FALSE(ConfinedPath::Translate("/opt/kor/KORZEPA", "a/../../etc/passwd", &out));
}

TEST(ConfinedPath, LinksOutOfTheFolderAreCaught) {
  namespace fs = std::filesystem;
  test::TempDir dir;
  const std::string root = dir.File("web");
  fs::create_directories(root + "/sub");
  dir.Write("web/sub/page.html", "x");
  dir.Write("secret.txt", "s");
  fs::create_symlink(dir.File("secret.txt"), root + "/out.txt");
  fs::create_symlink(dir.Path(), root + "/up");
  fs::create_symlink(root + "/sub/page.html", root + "/in.html");
  std::string resolved;
  EXPECT_TRUE(ConfinedPath::StaysInside(root, root + "/sub/page.html", &resolved));
  EXPECT_TRUE(ConfinedPath::StaysInside(root, root + "/in.html", &resolved));
  EXPECT_EQ(resolved, fs::canonical(root + "/sub/page.html").string());
  EXPECT_TRUE(ConfinedPath::StaysInside(root, root + "/missing/file.html", &resolved));
  EXPECT_TRUE(ConfinedPath::StaysInside(root, root, &resolved));
  EXPECT_FALSE(ConfinedPath::StaysInside(root, root + "/out.txt", &resolved));
  EXPECT_FALSE(ConfinedPath::StaysInside(root, root + "/up/secret.txt", &resolved));
  EXPECT_FALSE(ConfinedPath::StaysInside(root, root + "/up/web/../secret.txt", &resolved));
  // A sibling whose name starts with the folder's is outside.
  fs::create_directories(root + "2");
  EXPECT_FALSE(ConfinedPath::StaysInside(root, root + "2/x", &resolved));
}

TEST(ConfinedPath, FindsNamesIgnoringCase) {
  namespace fs = std::filesystem;
  test::TempDir dir;
  fs::create_directories(dir.File("web/Help"));
  dir.Write("web/Help/Index.html", "x");
  dir.Write("web/default.htm", "x");
  std::string found;
  ASSERT_TRUE(ConfinedPath::FindIgnoringCase(dir.File("web"), dir.File("web/DEFAULT.HTM"), &found));
  EXPECT_EQ(found, dir.File("web/default.htm"));
  ASSERT_TRUE(ConfinedPath::FindIgnoringCase(dir.File("web"), dir.File("web/help/INDEX.html"), &found));
  EXPECT_EQ(found, dir.File("web/Help/Index.html"));
  EXPECT_FALSE(ConfinedPath::FindIgnoringCase(dir.File("web"), dir.File("web/help/none.html"), &found));
  EXPECT_FALSE(ConfinedPath::FindIgnoringCase(dir.File("web"), dir.File("other/x"), &found));
  EXPECT_FALSE(ConfinedPath::FindIgnoringCase(dir.File("web"), dir.File("web/../web/default.htm"), &found));
}
