// Names written in Windows-1252, in UTF-8, and in bytes that are both: how
// the command shows them and how a user picks them.
#include "standin/shown_names.h"

#include <gtest/gtest.h>

#include <string>

#include "standin/session.h"
#include "standin/stand_in_host.h"
#include "tests/scene_text.h"

namespace graftling::standin {
namespace {

using namespace graftling::testing;

TEST(ShownNamesTest, Utf8IsTakenOnlyWhenWellFormed) {
  for (const char* good : {"", "plain.lwo", "Caf\xC3\xA9", "\xE2\x80\x9CKey\xE2\x80\x9D", "\xF0\x9F\x92\xA1",
                           "\xF4\x8F\xBF\xBF", "\xED\x9F\xBF"}) {
    EXPECT_TRUE(isUtf8(good)) << good;
  }
  // Windows-1252 text; a cut sequence; overlong forms; a surrogate; past U+10FFFF.
  for (const char* bad : {"lumi\xE8re", "\xC3", "\xE2\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF",
                          "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "\x80"}) {
    EXPECT_FALSE(isUtf8(bad)) << bad;
  }
}

TEST(ShownNamesTest, Windows1252BecomesUtf8) {
  EXPECT_EQ(utf8FromWindows1252("verre lumi\xE8re.lwo"), "verre lumi\xC3\xA8re.lwo");
  // The high controls map to their own code points; the five undefined bytes to U+FFFD.
  EXPECT_EQ(utf8FromWindows1252("\x80\x93Key\x94\x9F\xA0\xFF"),
            "\xE2\x82\xAC\xE2\x80\x9CKey\xE2\x80\x9D\xC5\xB8\xC2\xA0\xC3\xBF");
  EXPECT_EQ(utf8FromWindows1252("\x81\x8D\x8F\x90\x9D"),
            "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  // Text that reads as UTF-8 is shown as UTF-8, though Windows-1252 could read it too.
  EXPECT_EQ(shownText("Caf\xC3\xA9"), "Caf\xC3\xA9");
  EXPECT_EQ(shownText("Maison Hant\xE9"
                      "e"),
            "Maison Hant\xC3\xA9"
            "e");
}

// A null holds a Windows-1252 object with a UTF-8 object and a Windows-1252
// light below it.
std::string namedScene() {
  return sceneHead() + objectBlock("AddNullObject Base") + "\n" +
         objectBlock("LoadObject Objects/verre lumi\xE8re.lwo", 1) + "\n" +
         objectBlock("LoadObject Objects/Caf\xC3\xA9.lwo", 2) + "\n" + ambientLines() +
         lightBlock("\x93Key\x94") + "\n" + lightBlock("Target Lumi\xE8re", 2) + "\n" + sceneTail();
}

TEST(ShownNamesTest, TreeShowsNamesAsLayoutDoes) {
  StandInHost host(namedScene(), "Scenes/named.lws");
  EXPECT_EQ(renderTree(host),
            "1 Base\n"
            "└── 2 verre lumi\xC3\xA8re.lwo\n"
            "    ├── 3 Caf\xC3\xA9.lwo\n"
            "    └── light 2 Target Lumi\xC3\xA8re\n"
            "light 1 \xE2\x80\x9CKey\xE2\x80\x9D\n"
            "camera 1 Camera\n");
  // The host itself keeps the file's bytes.
  EXPECT_EQ(host.objects()[1].name, "verre lumi\xE8re.lwo");
}

TEST(ShownNamesTest, APickIsTheFilesBytesOrTheNameAsShown) {
  StandInHost host(namedScene(), "Scenes/named.lws");
  LWItemID glass = host.objectHandle(2);
  EXPECT_EQ(resolveItem(host, "verre lumi\xE8re.lwo"), glass);
  EXPECT_EQ(resolveItem(host, "verre lumi\xC3\xA8re.lwo"), glass);
  EXPECT_EQ(resolveItem(host, "Caf\xC3\xA9.lwo"), host.objectHandle(3));
  // UTF-8 names are shown as UTF-8, so their Windows-1252 reading names nothing.
  EXPECT_EQ(resolveItem(host, "Caf\xC3\x83\xC2\xA9.lwo"), nullptr);
  EXPECT_EQ(resolveItem(host, "verre lumiere.lwo"), nullptr);
}

}  // namespace
}  // namespace graftling::standin
