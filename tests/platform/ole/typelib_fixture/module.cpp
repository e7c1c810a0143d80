// A module whose resources are a registry script and a type library, as a server's are.
#include "windows.h"

WIN32_API int TypeLibFixtureMarker() {
  return 1;
}
