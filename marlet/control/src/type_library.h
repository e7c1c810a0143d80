// The control's type information, built once per process from the compiled-in definition.
#pragma once

#include "marlet/control_factory.h"
#include "ole/type_library.h"

namespace marlet {

const ole::TypeLibDef& TypeLibraryDefinition();

// The type information of one of MARLETLib's types.
HRESULT GetTypeInfo(REFGUID guid, ITypeInfo** out);

}  // namespace marlet

// The build-time writer of the type library resource links this definition.
const ole::TypeLibDef& OleTypeLibDefinition();
