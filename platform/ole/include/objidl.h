// Storage, stream, persistence and allocator interfaces of objidl.h.
#pragma once

#include "unknwn.h"

OLE_DATA const IID IID_IMalloc;
OLE_DATA const IID IID_ISequentialStream;
OLE_DATA const IID IID_IStream;
OLE_DATA const IID IID_IStorage;
OLE_DATA const IID IID_IEnumSTATSTG;
OLE_DATA const IID IID_IEnumUnknown;
OLE_DATA const IID IID_IPersist;
OLE_DATA const IID IID_IPersistStream;
OLE_DATA const IID IID_IPersistStorage;
OLE_DATA const IID IID_IMoniker;
OLE_DATA const IID IID_IBindCtx;
OLE_DATA const IID IID_IDataObject;
OLE_DATA const IID IID_IAdviseSink;
OLE_DATA const IID IID_IEnumSTATDATA;

// Known by name only: no member of the runtime takes them further than a pointer.
struct IMoniker;
struct IBindCtx;
struct IDataObject;
struct IAdviseSink;
struct IEnumSTATDATA;

struct IMalloc : IUnknown {
  STDMETHOD_(void*, Alloc)(SIZE_T cb) PURE;
  STDMETHOD_(void*, Realloc)(void* pv, SIZE_T cb) PURE;
  STDMETHOD_(void, Free)(void* pv) PURE;
  STDMETHOD_(SIZE_T, GetSize)(void* pv) PURE;
  STDMETHOD_(int, DidAlloc)(void* pv) PURE;
  STDMETHOD_(void, HeapMinimize)() PURE;

 protected:
  ~IMalloc() = default;
};
typedef IMalloc* LPMALLOC;

struct IEnumUnknown : IUnknown {
  STDMETHOD(Next)(ULONG celt, IUnknown** rgelt, ULONG* pceltFetched) PURE;
  STDMETHOD(Skip)(ULONG celt) PURE;
  STDMETHOD(Reset)() PURE;
  STDMETHOD(Clone)(IEnumUnknown** ppenum) PURE;

 protected:
  ~IEnumUnknown() = default;
};

typedef struct tagSTATSTG {
  LPOLESTR pwcsName;
  DWORD type;
  ULARGE_INTEGER cbSize;
  FILETIME mtime;
  FILETIME ctime;
  FILETIME atime;
  DWORD grfMode;
  DWORD grfLocksSupported;
  CLSID clsid;
  DWORD grfStateBits;
  DWORD reserved;
} STATSTG;

enum STREAM_SEEK { STREAM_SEEK_SET = 0, STREAM_SEEK_CUR = 1, STREAM_SEEK_END = 2 };
enum STGMOVE { STGMOVE_MOVE = 0, STGMOVE_COPY = 1, STGMOVE_SHALLOWCOPY = 2 };

struct ISequentialStream : IUnknown {
  STDMETHOD(Read)(void* pv, ULONG cb, ULONG* pcbRead) PURE;
  STDMETHOD(Write)(const void* pv, ULONG cb, ULONG* pcbWritten) PURE;

 protected:
  ~ISequentialStream() = default;
};

struct IStream : ISequentialStream {
  STDMETHOD(Seek)(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) PURE;
  STDMETHOD(SetSize)(ULARGE_INTEGER libNewSize) PURE;
  STDMETHOD(CopyTo)
  (IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) PURE;
  STDMETHOD(Commit)(DWORD grfCommitFlags) PURE;
  STDMETHOD(Revert)() PURE;
  STDMETHOD(LockRegion)(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) PURE;
  STDMETHOD(UnlockRegion)(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) PURE;
  STDMETHOD(Stat)(STATSTG* pstatstg, DWORD grfStatFlag) PURE;
  STDMETHOD(Clone)(IStream** ppstm) PURE;

 protected:
  ~IStream() = default;
};
typedef IStream* LPSTREAM;

struct IEnumSTATSTG : IUnknown {
  STDMETHOD(Next)(ULONG celt, STATSTG* rgelt, ULONG* pceltFetched) PURE;
  STDMETHOD(Skip)(ULONG celt) PURE;
  STDMETHOD(Reset)() PURE;
  STDMETHOD(Clone)(IEnumSTATSTG** ppenum) PURE;

 protected:
  ~IEnumSTATSTG() = default;
};

struct IStorage : IUnknown {
  STDMETHOD(CreateStream)
  (const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2, IStream** ppstm) PURE;
  STDMETHOD(OpenStream)
  (const OLECHAR* pwcsName, void* reserved1, DWORD grfMode, DWORD reserved2, IStream** ppstm) PURE;
  STDMETHOD(CreateStorage)
  (const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2, IStorage** ppstg) PURE;
  STDMETHOD(OpenStorage)
  (const OLECHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude, DWORD reserved,
   IStorage** ppstg) PURE;
  STDMETHOD(CopyTo)
  (DWORD ciidExclude, const IID* rgiidExclude, SNB snbExclude, IStorage* pstgDest) PURE;
  STDMETHOD(MoveElementTo)
  (const OLECHAR* pwcsName, IStorage* pstgDest, const OLECHAR* pwcsNewName, DWORD grfFlags) PURE;
  STDMETHOD(Commit)(DWORD grfCommitFlags) PURE;
  STDMETHOD(Revert)() PURE;
  STDMETHOD(EnumElements)
  (DWORD reserved1, void* reserved2, DWORD reserved3, IEnumSTATSTG** ppenum) PURE;
  STDMETHOD(DestroyElement)(const OLECHAR* pwcsName) PURE;
  STDMETHOD(RenameElement)(const OLECHAR* pwcsOldName, const OLECHAR* pwcsNewName) PURE;
  STDMETHOD(SetElementTimes)
  (const OLECHAR* pwcsName, const FILETIME* pctime, const FILETIME* patime,
   const FILETIME* pmtime) PURE;
  STDMETHOD(SetClass)(REFCLSID clsid) PURE;
  STDMETHOD(SetStateBits)(DWORD grfStateBits, DWORD grfMask) PURE;
  STDMETHOD(Stat)(STATSTG* pstatstg, DWORD grfStatFlag) PURE;

 protected:
  ~IStorage() = default;
};
typedef IStorage* LPSTORAGE;

struct IPersist : IUnknown {
  STDMETHOD(GetClassID)(CLSID* pClassID) PURE;

 protected:
  ~IPersist() = default;
};

struct IPersistStream : IPersist {
  STDMETHOD(IsDirty)() PURE;
  STDMETHOD(Load)(IStream* pStm) PURE;
  STDMETHOD(Save)(IStream* pStm, BOOL fClearDirty) PURE;
  STDMETHOD(GetSizeMax)(ULARGE_INTEGER* pcbSize) PURE;

 protected:
  ~IPersistStream() = default;
};

struct IPersistStorage : IPersist {
  STDMETHOD(IsDirty)() PURE;
  STDMETHOD(InitNew)(IStorage* pStg) PURE;
  STDMETHOD(Load)(IStorage* pStg) PURE;
  STDMETHOD(Save)(IStorage* pStgSave, BOOL fSameAsLoad) PURE;
  STDMETHOD(SaveCompleted)(IStorage* pStgNew) PURE;
  STDMETHOD(HandsOffStorage)() PURE;

 protected:
  ~IPersistStorage() = default;
};
