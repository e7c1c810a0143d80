// The control's persisted properties: the stream format (also the "Contents" stream of a
// storage) and the property bag by names, over any access to the properties.
//
// Stream: a 32-bit little-endian version word 0x300, then one value per property in the order
// of kPersistedProperties: its 16-bit variant type and its value (1, 2, 4 or 8 bytes; a string
// as a 32-bit byte count including a 2-byte terminator, 0 for a null string, then the UTF-16
// text and the terminator). A value of any other type is saved as its string.
//
// Loading sets the properties one by one in that order and stops at the first failure, so
// those set before it keep their loaded values. Results: the failing getter's or setter's
// HRESULT as it came; E_FAIL for a version above 0x300 (nothing is set) or a malformed
// string; STG_E_READFAULT for a stream that ends early; DISP_E_BADVARTYPE for a variant type
// the format does not carry.
#pragma once

#include "oaidl.h"
#include "objidl.h"
#include "ocidl.h"

namespace marlet {

struct PersistedProperty {
  const char16_t* name;
  DISPID dispid;
};

inline constexpr PersistedProperty kPersistedProperties[] = {
    {u"InBufferSize", 5}, {u"LocalPort", 7},   {u"MaxPacketSize", 8}, {u"OutBufferSize", 9},
    {u"QOSFlags", 10},    {u"RemoteHost", 11}, {u"RemotePort", 12},   {u"TimeToLive", 15},
    {u"UseConnection", 16}, {u"WinsockLoaded", 18},
};
inline constexpr DWORD kPersistVersion = 0x300;

// How the codec reads and sets a property; Put may coerce the value as a setter would.
class PropertyAccess {
 public:
  virtual HRESULT Get(DISPID dispid, VARIANT* value) = 0;
  virtual HRESULT Put(DISPID dispid, VARIANT* value) = 0;

 protected:
  ~PropertyAccess() = default;
};

// Through IDispatch::Invoke with DISPATCH_PROPERTYGET and DISPATCH_PROPERTYPUT.
class DispatchPropertyAccess final : public PropertyAccess {
 public:
  explicit DispatchPropertyAccess(IDispatch* dispatch) : dispatch_(dispatch) {}
  HRESULT Get(DISPID dispid, VARIANT* value) override;
  HRESULT Put(DISPID dispid, VARIANT* value) override;

 private:
  IDispatch* dispatch_;
};

HRESULT SaveToStream(PropertyAccess& properties, IStream* stream);
HRESULT LoadFromStream(PropertyAccess& properties, IStream* stream);
// The exact byte count SaveToStream would write now (IPersistStreamInit::GetSizeMax).
HRESULT StreamSize(PropertyAccess& properties, ULARGE_INTEGER* size);

HRESULT SaveToStorage(PropertyAccess& properties, IStorage* storage);
HRESULT LoadFromStorage(PropertyAccess& properties, IStorage* storage);

// Saving writes every property under its name. Loading asks the bag for each property in the
// type of its current value and sets what the bag has; a property the bag lacks is skipped.
HRESULT SaveToPropertyBag(PropertyAccess& properties, IPropertyBag* bag);
HRESULT LoadFromPropertyBag(PropertyAccess& properties, IPropertyBag* bag, IErrorLog* log);

}  // namespace marlet
