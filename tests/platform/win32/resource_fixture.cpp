// A library whose only content is its resources (see CMakeLists.txt), for the resource and
// bitmap tests.
#include "windows.h"

WIN32_API int ResourceFixtureMarker() {
  return 1;
}
