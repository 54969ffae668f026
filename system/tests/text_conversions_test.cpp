#include "system/text_conversions_win.hpp"

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

namespace tornak {
namespace {

TEST(TextConversions, Utf8AndUtf16CarryEveryCharacterBothWays) {
  // Two bytes, three bytes, four bytes (a surrogate pair in UTF-16), and a zero inside.
  const std::string utf8 = "Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC \xE6\x97\xA5 \xF0\x9F\x98\x80" + std::string(1, '\0') + "z";
  const std::wstring wide = Utf8ToWide(utf8);
  EXPECT_EQ(wide, std::wstring(L"Gr\u00F6\u00DFe \u20AC \u65E5 \xD83D\xDE00") + L'\0' + L"z");
  EXPECT_EQ(WideToUtf8(wide), utf8);
  EXPECT_EQ(Utf8ToWide(""), L"");
  EXPECT_EQ(WideToUtf8(L""), "");
}

TEST(TextConversions, TextThatDoesNotEncodeBecomesTheReplacementCharacter) {
  EXPECT_EQ(Utf8ToWide("a\xFF" "b"), L"a\uFFFDb");
  EXPECT_EQ(WideToUtf8(std::wstring(L"a") + static_cast<wchar_t>(0xD800) + L"b"), "a\xEF\xBF\xBD" "b");
}

TEST(TextConversions, SystemErrorTextIsTheSystemsSentenceWithoutItsEnding) {
  const std::string notFound = SystemErrorText(ERROR_FILE_NOT_FOUND);
  ASSERT_FALSE(notFound.empty());
  EXPECT_EQ(notFound.find("error "), std::string::npos) << notFound;
  EXPECT_NE(notFound.back(), '.');
  EXPECT_NE(notFound.back(), '\n');
  EXPECT_NE(notFound.back(), ' ');
  EXPECT_NE(notFound, SystemErrorText(ERROR_ACCESS_DENIED));
  // The place for a file's name stays for the caller to fill.
  EXPECT_NE(SystemErrorText(ERROR_BAD_EXE_FORMAT).find("%1"), std::string::npos) << SystemErrorText(ERROR_BAD_EXE_FORMAT);
}

TEST(TextConversions, CodesWithoutTextAreNamedByNumber) {
  EXPECT_EQ(SystemErrorText(0x2A5F1234), "error 710873652");
}

}  // namespace
}  // namespace tornak
