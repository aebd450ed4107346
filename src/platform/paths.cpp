// What paths have in common on every system: a native path (UTF-8) back to
// the internal form.
#include "platform/paths.h"

#include "platform/sjis.h"

namespace quorvel::platform {

bool ToInternalPath(std::string_view native, std::string& internal) {
  auto converted = sjis::FromUtf8(native);
  if (!converted) return false;
  internal = *converted;
  return true;
}

}  // namespace quorvel::platform
