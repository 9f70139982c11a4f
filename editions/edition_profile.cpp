#include "editions/edition_profile.h"

namespace zumt {

const EditionProfile& EditionA() {
  static const EditionProfile profile{
      "DataWela",
      "#0606024#0606021#0606020#0606026#0000001#0000002#0609552#0609535#0609549#",
      "Программный модуль \"Тавелин\""};
  return profile;
}

const EditionProfile& EditionB() {
  static const EditionProfile profile{
      "DataZUMT",
      "#0606024#0606021#0606020#0606026#0000001#0000002#0609552#0609535#0609549#0609541#",
      "Программный модуль \"Брусена\""};
  return profile;
}

}  // namespace zumt
