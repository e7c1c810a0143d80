#include "base/shared_values.h"

namespace base {

SharedValues& Shared() {
  static SharedValues values;
  return values;
}

}  // namespace base
