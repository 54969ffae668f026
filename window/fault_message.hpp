#pragma once

#include <exception>
#include <string>

namespace tornak {

// What the error box says about a fault that ended an event, in UTF-8: a Fault's plain words
// (what went wrong and, where it can be helped, what to do about it); any other exception is
// named by its message. Two faults with the same text count as the same fault.
std::string FaultMessage(const std::exception& fault);

// For something thrown that is not an exception at all.
std::string UnknownFaultMessage();

}  // namespace tornak
