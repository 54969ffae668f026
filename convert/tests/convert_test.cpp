#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "convert/convert.hpp"
#include "convert/hex_digits.hpp"
#include "fault/fault.hpp"

namespace tornak {
namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> bytes;
  for (int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
  return bytes;
}

template <typename Call>
FaultKind FaultOf(Call call) {
  try {
    call();
  } catch (const Fault& fault) {
    return fault.Kind();
  }
  ADD_FAILURE() << "no fault raised";
  return FaultKind::LibraryNotFound;
}

TEST(LenArray, CountsUpToTheFirstZeroByte) {
  EXPECT_EQ(LenArray(Bytes({0, 'A', 0})), 0);
  EXPECT_EQ(LenArray(Bytes({'A', 'B', 'C', 0, 'D'})), 3);
  std::vector<std::uint8_t> full(257, 'x');
  full[256] = 0;
  EXPECT_EQ(LenArray(full), 256);
}

TEST(LenArray, BufferWithoutZeroByteIsSubscriptFault) {
  EXPECT_EQ(FaultOf([] { LenArray(std::vector<std::uint8_t>(257, 'x')); }), FaultKind::Subscript);
  EXPECT_EQ(FaultOf([] { LenArray(ByteBuffer{}); }), FaultKind::Subscript);
}

TEST(ConvertToString, CopiesExactlyTheCountedBytes) {
  const auto bytes = Bytes({0x31, 0x32, 0x33});
  EXPECT_EQ(ConvertToString(bytes, 2), u"12");
  EXPECT_EQ(ConvertToString(bytes, 3), u"123");
  // Zero bytes inside the counted range are copied like any other.
  EXPECT_EQ(ConvertToString(Bytes({'A', 0, 'B'}), 3), (Text{u'A', u'\0', u'B'}));
}

TEST(ConvertToString, LengthOfZeroOrLessGivesEmptyText) {
  const auto bytes = Bytes({'A'});
  EXPECT_EQ(ConvertToString(bytes, 0), u"");
  EXPECT_EQ(ConvertToString(bytes, -1), u"");
  EXPECT_EQ(ConvertToString(bytes, -32767), u"");
  EXPECT_EQ(ConvertToString(ByteBuffer{}, 0), u"");
}

TEST(ConvertToString, LengthPastTheBufferIsSubscriptFault) {
  std::vector<std::uint8_t> serial(64, 'S');
  EXPECT_EQ(ConvertToString(serial, 64).size(), 64u);
  EXPECT_EQ(FaultOf([&] { ConvertToString(serial, 65); }), FaultKind::Subscript);
  EXPECT_EQ(FaultOf([&] { ConvertToString(serial, 255); }), FaultKind::Subscript);
}

TEST(ConvertToString, SixteenBitCounterBounds) {
  std::vector<std::uint8_t> big(40000, 'z');
  EXPECT_EQ(ConvertToString(big, 32767).size(), 32767u);
  // 32768 copies every index up to 32767, then the counter overflows.
  EXPECT_EQ(FaultOf([&] { ConvertToString(big, 32768); }), FaultKind::Overflow);
  EXPECT_EQ(FaultOf([&] { ConvertToString(big, 32769); }), FaultKind::Overflow);
  EXPECT_EQ(FaultOf([&] { ConvertToString(big, -32768); }), FaultKind::Overflow);
  EXPECT_EQ(FaultOf([&] { ConvertToString(big, INT32_MIN); }), FaultKind::Overflow);
  EXPECT_EQ(FaultOf([&] { ConvertToString(big, INT32_MAX); }), FaultKind::Overflow);
  // A small buffer runs out before the counter does.
  EXPECT_EQ(FaultOf([] { ConvertToString(std::vector<std::uint8_t>(10, 'a'), 32768); }), FaultKind::Subscript);
}

TEST(ConvertToString, HighBytesGoThroughTheSingleByteCodePage) {
  const Text text = ConvertToString(Bytes({0x41, 0xE9, 0x80, 0xFF}), 4);
  ASSERT_EQ(text.size(), 4u);
  EXPECT_EQ(text[0], u'A');
  EXPECT_EQ(text[1], AnsiCharacter(0xE9));
  EXPECT_EQ(text[3], AnsiCharacter(0xFF));
#ifndef _WIN32
  EXPECT_EQ(text[1], u'\u00E9');
  EXPECT_EQ(text[2], u'\u20AC');
  EXPECT_EQ(AnsiCharacter(0x9F), u'\u0178');
  EXPECT_EQ(AnsiCharacter(0x81), u'\u0081');
#endif
}

TEST(HexDigitValue, DigitsEitherCaseAndEverythingElseIsFifteen) {
  EXPECT_EQ(HexDigitValue(u'0'), 0);
  EXPECT_EQ(HexDigitValue(u'7'), 7);
  EXPECT_EQ(HexDigitValue(u'9'), 9);
  EXPECT_EQ(HexDigitValue(u'A'), 10);
  EXPECT_EQ(HexDigitValue(u'a'), 10);
  EXPECT_EQ(HexDigitValue(u'f'), 15);
  EXPECT_EQ(HexDigitValue(u'F'), 15);
  for (char16_t other : {u'Z', u'g', u'G', u' ', u'\t', u'-', u'\0', u'\u00E9'}) EXPECT_EQ(HexDigitValue(other), 15);
}

TEST(HexString2num, PositionalValueOfThePresets) {
  EXPECT_EQ(HexString2num(u"10C4"), 4292);
  EXPECT_EQ(HexString2num(u"840E"), 33806);
  EXPECT_EQ(HexString2num(u"EA60"), 60000);
  EXPECT_EQ(HexString2num(u"EA61"), 60001);
  EXPECT_EQ(HexString2num(u"0"), 0);
  EXPECT_EQ(HexString2num(u"7FFFFFFF"), 2147483647);
}

TEST(HexString2num, TrimsOnlySpaces) {
  EXPECT_EQ(HexString2num(u""), 0);
  EXPECT_EQ(HexString2num(u"    "), 0);
  EXPECT_EQ(HexString2num(u"  ea61 "), 60001);
  // A tab stays and counts as F, and the weights follow the trimmed length.
  EXPECT_EQ(HexString2num(u"\t1"), 0xF1);
  EXPECT_EQ(HexString2num(u"1 1"), 0x1F1);
}

TEST(HexString2num, NonDigitsCountAsF) {
  EXPECT_EQ(HexString2num(u"G1"), 241);
  EXPECT_EQ(HexString2num(u"ZZ"), 0xFF);
}

TEST(HexString2num, ValuesOutsideThirtyTwoBitsOverflow) {
  EXPECT_EQ(FaultOf([] { HexString2num(u"80000000"); }), FaultKind::Overflow);
  EXPECT_EQ(FaultOf([] { HexString2num(u"FFFFFFFF"); }), FaultKind::Overflow);
  EXPECT_EQ(FaultOf([] { HexString2num(u"100000000"); }), FaultKind::Overflow);
}

TEST(HexString2num, LongTextBoundaries) {
  // 256 characters: the largest weight, 16^255, is still finite.
  Text zeros255(255, u'0');
  EXPECT_EQ(HexString2num(zeros255 + u"1"), 1);
  EXPECT_EQ(FaultOf([&] { HexString2num(Text(u"1") + zeros255); }), FaultKind::Overflow);
  // 257: 16^256 itself overflows, even in front of a zero digit.
  EXPECT_EQ(FaultOf([] { HexString2num(Text(257, u'0')); }), FaultKind::FloatingPoint);
  EXPECT_EQ(FaultOf([] { HexString2num(u" " + Text(257, u'0') + u" "); }), FaultKind::FloatingPoint);
  // Past 32767 characters the length itself no longer fits the counter.
  EXPECT_EQ(FaultOf([] { HexString2num(Text(32768, u'0')); }), FaultKind::Overflow);
}

TEST(HexText, UpperCaseWithoutLeadingZeros) {
  EXPECT_EQ(HexText(0x10C4), u"10C4");
  EXPECT_EQ(HexText(0xEA60), u"EA60");
  EXPECT_EQ(HexText(0x00AB), u"AB");
  EXPECT_EQ(HexText(0), u"0");
  EXPECT_EQ(HexText(0xFFFFFFFFu), u"FFFFFFFF");
  // The same digits in the simulated bridge's texts: padded, lower case, the full 64 bits.
  EXPECT_EQ(HexDigits(0xAB, 4, HexCase::Lower), "00ab");
  EXPECT_EQ(HexDigits(0x12345, 4), "12345") << "a minimum, not a width that cuts";
  EXPECT_EQ(HexDigits(0x7E5700000001ull), "7E5700000001");
  EXPECT_EQ(HexDigits(~0ull, 16), "FFFFFFFFFFFFFFFF");
}

TEST(Fault, NamesItsKindAndSubject) {
  try {
    LenArray(std::vector<std::uint8_t>(3, 'x'));
    FAIL();
  } catch (const Fault& fault) {
    EXPECT_EQ(fault.Kind(), FaultKind::Subscript);
    EXPECT_EQ(fault.Subject(), "LenArray");
    EXPECT_NE(std::string(fault.what()).find("LenArray"), std::string::npos);
  }
}

}  // namespace
}  // namespace tornak
