#include <string>

#include "verification/verification_run.h"

namespace zumt {

std::string ErrorBoxText(const std::string& message) {
  // Compared as a byte: a message ending in a letter (the last byte of a
  // UTF-8 letter too) or a digit gains a full stop; ".", "!" or ")" do not.
  if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
    return message + ".";
  return message;
}

}  // namespace zumt
