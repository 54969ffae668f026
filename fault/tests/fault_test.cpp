#include <string>

#include <gtest/gtest.h>

#include "fault/fault.hpp"

namespace tornak {
namespace {

TEST(Fault, EachFactoryMakesItsKindAboutItsSubject) {
  const struct {
    Fault fault;
    FaultKind kind;
    const char* subject;
  } made[] = {
      {Fault::LibraryNotFound("a.dll"), FaultKind::LibraryNotFound, "a.dll"},
      {Fault::LibraryNotLoadable("b.dll", "damaged"), FaultKind::LibraryNotLoadable, "b.dll"},
      {Fault::MissingEntryPoint("CP210x_Open", "c.dll"), FaultKind::MissingEntryPoint, "CP210x_Open"},
      {Fault::Subscript("LenArray", "index 257"), FaultKind::Subscript, "LenArray"},
      {Fault::Overflow("HexString2num", "too big"), FaultKind::Overflow, "HexString2num"},
      {Fault::FloatingPoint("HexString2num", "16^300"), FaultKind::FloatingPoint, "HexString2num"},
  };
  for (const auto& m : made) {
    SCOPED_TRACE(m.fault.what());
    EXPECT_EQ(m.fault.Kind(), m.kind);
    EXPECT_EQ(m.fault.Subject(), m.subject);
    EXPECT_NE(std::string(m.fault.what()).find(m.subject), std::string::npos);
    EXPECT_NE(m.fault.PlainWords().find(m.subject), std::string::npos);
  }
}

TEST(Fault, MissingEntryPointNamesTheEntryPointThenTheLibrary) {
  const Fault fault = Fault::MissingEntryPoint("CP210x_SetVid", "CP210xManufacturing.dll");
  EXPECT_STREQ(fault.what(), "entry point CP210x_SetVid not found in CP210xManufacturing.dll");
  EXPECT_EQ(fault.PlainWords(),
            "The vendor library CP210xManufacturing.dll has no entry point CP210x_SetVid. It is probably another "
            "version than the one this program needs; install the matching library.");
}

TEST(Fault, DetailIsSaidOnlyWhenThereIsOne) {
  EXPECT_EQ(Fault::LibraryNotLoadable("a.dll", "it is a program, not a library").PlainWords(),
            "The vendor library a.dll was found but could not be loaded: it is a program, not a library.");
  EXPECT_EQ(Fault::LibraryNotLoadable("a.dll", {}).PlainWords(),
            "The vendor library a.dll was found but could not be loaded.");
  EXPECT_STREQ(Fault::LibraryNotLoadable("a.dll", {}).what(), "library file cannot be loaded: a.dll");
  EXPECT_STREQ(Fault::Overflow("ConvertToString", "counter passed 32767").what(),
               "overflow in ConvertToString (counter passed 32767)");
  EXPECT_EQ(Fault::Subscript("LenArray", {}).PlainWords(), "What the device reported does not fit where LenArray expects it.");
  // Brackets and braces in the parts are the parts' own, not placeholders.
  EXPECT_EQ(Fault::FloatingPoint("f[x]", "{detail}").PlainWords(), "A calculation failed in f[x] ({detail}).");
}

}  // namespace
}  // namespace tornak
