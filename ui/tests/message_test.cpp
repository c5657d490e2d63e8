#include <gtest/gtest.h>

#include "ui/link_color.h"
#include "ui/message.h"
#include "ui/screen_place.h"
#include "win32/executable.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::size_t SingleByte(std::string_view) { return 1; }

// Windows-1252's letters: A to Z, the accented ones from 0xC0 (but the multiplication sign) and three pairs
// with a caron or diaeresis.
void Lower1252(std::string& text) {
  for (char& c : text) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7)) c = static_cast<char>(b + 0x20);
    if (b == 0x8A || b == 0x8C || b == 0x8E) c = static_cast<char>(b + 0x10);
    if (b == 0x9F) c = static_cast<char>(0xFF);
  }
}

// Shaped like code page 932: a lead byte takes the next byte with it, which may be "\" (0x5C) or a
// capital letter; only single-byte letters have a case.
std::size_t DoubleByte(std::string_view text) {
  const auto b = static_cast<unsigned char>(text[0]);
  return text.size() > 1 && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) ? 2 : 1;
}

void LowerDoubleByte(std::string& text) {
  for (std::size_t at = 0; at < text.size(); at += DoubleByte(std::string_view(text).substr(at)))
    if (text[at] >= 'A' && text[at] <= 'Z') text[at] = static_cast<char>(text[at] + 0x20);
}

constexpr TCodePage Cp1252{SingleByte, Lower1252};
constexpr TCodePage Cp932{DoubleByte, LowerDoubleByte};

TEST(ApplicationTitle, FileNameCutAtItsFirstDotWithTheRestLowerCase) {
  const struct {
    const TCodePage& CodePage;
    const char* Path;
    const char* FileName;
    const char* Title;
  } cases[] = {
      {Cp1252, "C:\\Program Files\\Quillon\\Quillon.exe", "Quillon.exe", "Quillon"},
      {Cp1252, "C:\\apps\\QUILLON.EXE", "QUILLON.EXE", "Quillon"},
      {Cp1252, "C:\\dir\\AZ.exe", "AZ.exe", "Az"},
      {Cp1252, "C:\\dir\\\xC9T\xC9.EXE", "\xC9T\xC9.EXE", "\xC9t\xE9"},  // ÉTÉ: Été
      {Cp1252, "C:\\dir\\Z\xC0\xDE\xD7\x8A\x9F.exe", "Z\xC0\xDE\xD7\x8A\x9F.exe", "Z\xE0\xFE\xD7\x9A\xFF"},
      {Cp1252, "C:\\dir\\7ZIP64.exe", "7ZIP64.exe", "7zip64"},
      {Cp1252, "quillon.exe", "quillon.exe", "quillon"},
      {Cp1252, "Z:\\build\\Quillon.Beta.2.exe", "Quillon.Beta.2.exe", "Quillon"},
      {Cp1252, "/tmp/MyApp", "MyApp", "Myapp"},
      {Cp1252, "C:\\x.y\\NoExtension", "NoExtension", "Noextension"},
      {Cp1252, "C:\\dir\\.hidden.exe", ".hidden.exe", ""},
      // A trail byte 0x5C ("\\" in ソ) is no separator and a capital trail byte ("E" in ウ) no letter; a
      // double-byte first character is kept whole (ＡＢQR.EXE), even with a capital trail byte (アプリ.EXE).
      {Cp932, "C:\\\x83\x5C\\\x83\x5C\x83\x74\x83\x67\x83\x45\x83\x46\x83\x41.exe",
       "\x83\x5C\x83\x74\x83\x67\x83\x45\x83\x46\x83\x41.exe",
       "\x83\x5C\x83\x74\x83\x67\x83\x45\x83\x46\x83\x41"},
      {Cp932, "C:\\\x82\x60\x82\x61QR.EXE", "\x82\x60\x82\x61QR.EXE", "\x82\x60\x82\x61qr"},
      {Cp932, "C:\\\x83\x41\x83\x76\x83\x8A.EXE", "\x83\x41\x83\x76\x83\x8A.EXE", "\x83\x41\x83\x76\x83\x8A"},
      {Cp932, "C:\\Q\x83\x5C.exe", "Q\x83\x5C.exe", "Q\x83\x5C"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Path);
    EXPECT_EQ(FileNameOf(c.Path, c.CodePage), c.FileName);
    EXPECT_EQ(ApplicationTitle(c.Path, c.CodePage), c.Title);
#ifdef _WIN32
    // The test prefix runs in code page 1252: the rows above hold for the system's own rules.
    if (&c.CodePage == &Cp1252 && GetACP() == 1252) {
      EXPECT_EQ(ApplicationTitle(c.Path, SystemCodePage()), c.Title);
    }
#endif
  }
}

// Wine cannot switch high contrast on: the program shows only the first case there.
TEST(LinkColor, NavyUnlessHighContrastGivesTheThemesLinkColour) {
  EXPECT_EQ(LinkColor(false, 0x00FFFF), 0x800000u);
  EXPECT_EQ(LinkColor(true, 0x00FFFF), 0x00FFFFu);
}

TEST(PlaceOnScreen, CentredOnTheMonitorAndWholeInsideTheWorkArea) {
  constexpr TScreenRect Large{0, 0, 1280, 1024};
  constexpr TScreenRect Small{0, 0, 1366, 768};
  const struct {
    TScreenRect Monitor, Work;
    int Width, Height;
    TScreenRect Place;
  } cases[] = {
      {Large, Large, 763, 563, {258, 230, 1021, 793}},
      // The main window at 150 %: taller than the screen, so its caption would lie above it.
      {Small, Small, 1145, 845, {110, 0, 1255, 768}},
      {Small, Small, 2000, 900, {0, 0, 1366, 768}},
      // A taskbar at the bottom: a box that fits is still centred on the monitor, but not under it.
      {Small, {0, 0, 1366, 728}, 300, 100, {533, 334, 833, 434}},
      {Small, {0, 0, 1366, 728}, 300, 720, {533, 8, 833, 728}},
      // A taskbar at the left of a monitor to the left of the main one.
      {{-1920, 0, 0, 1080}, {-1860, 0, 0, 1080}, 1900, 400, {-1860, 340, 0, 740}},
  };
  for (const auto& c : cases) {
    const TScreenRect place = PlaceOnScreen(c.Monitor, c.Work, c.Width, c.Height);
    EXPECT_EQ(place, c.Place) << c.Width << "x" << c.Height << " at " << place.Left << "," << place.Top << "-"
                              << place.Right << "," << place.Bottom;
  }
}

}  // namespace
