#include "editions/edition_profile.h"

namespace zumt {

const EditionProfile& BuiltEdition() {
#if defined(ZUMT_EDITION_A)
  return EditionA();
#elif defined(ZUMT_EDITION_B)
  return EditionB();
#else
#error "ZUMT_EDITION_A or ZUMT_EDITION_B must be defined"
#endif
}

}  // namespace zumt
