#include <gmock/gmock.h>

#include <stdexcept>

#include "fault/fault.hpp"
#include "window/fault_message.hpp"

namespace tornak {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

// gmock's string matchers know wide strings, not 16-bit ones.
std::wstring Message(const std::exception& fault) {
  const Text text = FaultMessage(fault);
  return std::wstring(text.begin(), text.end());
}

TEST(FaultMessage, SaysWhatWentWrongInPlainWords) {
  EXPECT_EQ(Message(Fault::LibraryNotFound("CP210xManufacturing.dll")),
            L"The vendor library CP210xManufacturing.dll could not be found. Put it in the program's folder or a "
            L"folder on PATH.");
  EXPECT_THAT(Message(Fault::LibraryNotLoadable("CP210xManufacturingN.dll", "it is a 32-bit library")),
              AllOf(HasSubstr(L"CP210xManufacturingN.dll"), HasSubstr(L"could not be loaded: it is a 32-bit library.")));
  EXPECT_THAT(Message(Fault::MissingEntryPoint("CP210x_SetPid", "CP210xManufacturing.dll")),
              HasSubstr(L"The vendor library CP210xManufacturing.dll has no entry point CP210x_SetPid."));
  for (const Fault& fault : {Fault::Subscript("ConvertToString", "length 300 past 64"),
                             Fault::Overflow("ConvertToString", "length 300 past 64"),
                             Fault::FloatingPoint("ConvertToString", "length 300 past 64")}) {
    EXPECT_THAT(Message(fault),
                AllOf(HasSubstr(L"ConvertToString"), HasSubstr(L"(length 300 past 64)"), Not(HasSubstr(L"()"))))
        << static_cast<int>(fault.Kind());
  }
  EXPECT_EQ(Message(std::runtime_error("disk full")), L"Something unexpected went wrong: disk full");
}

TEST(FaultMessage, NamesFromUtf8AndOneTextPerDistinctFault) {
  EXPECT_THAT(Message(Fault::LibraryNotFound("Bibliothe\xCC\x80que-\xE5\xBA\x93.dll")),
              HasSubstr(L"Bibliothe\u0300que-\u5E93.dll could not"));
  // The window repeats a report only when the text differs; these must therefore differ.
  const std::wstring first = Message(Fault::MissingEntryPoint("CP210x_Open", "a.dll"));
  EXPECT_EQ(first, Message(Fault::MissingEntryPoint("CP210x_Open", "a.dll")));
  EXPECT_NE(first, Message(Fault::MissingEntryPoint("CP210x_Close", "a.dll")));
  EXPECT_NE(first, Message(Fault::MissingEntryPoint("CP210x_Open", "b.dll")));
  EXPECT_NE(Message(Fault::LibraryNotLoadable("a.dll", "32-bit")),
            Message(Fault::LibraryNotLoadable("a.dll", "damaged")));
}

}  // namespace
}  // namespace tornak
