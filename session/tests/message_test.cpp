#include <gtest/gtest.h>

#include "session/message.h"

namespace {

TEST(ApplicationTitle, FileNameCutAtItsFirstDotWithTheRestLowerCase) {
  const struct {
    const char* path;
    const char* title;
  } cases[] = {
      {"C:\\Program Files\\Quillon\\Quillon.exe", "Quillon"},
      {"C:\\apps\\QUILLON.EXE", "Quillon"},
      {"C:\\dir\\AZ.exe", "Az"},
      {"quillon.exe", "quillon"},
      {"Z:\\build\\Quillon.Beta.2.exe", "Quillon"},
      {"/tmp/MyApp", "Myapp"},
      {"C:\\x.y\\NoExtension", "Noextension"},
      {"C:\\dir\\.hidden.exe", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ApplicationTitle(c.path), c.title) << c.path;
}

}  // namespace
