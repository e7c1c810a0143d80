// Window classes and windows: one process-wide table, so that any thread may post to any window.
#include "window.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "win32/error.h"

namespace win32::window {
namespace {

// Windows rejects large extra areas too; the limit keeps a bad count from taking the memory.
constexpr int kMaxExtraBytes = 40000;

struct WindowClass {
  std::string name;
  ATOM atom = 0;
  WNDCLASSA wc{};
  int windows = 0;
};

struct Window {
  std::shared_ptr<WindowClass> cls;
  std::shared_ptr<msgq::Queue> queue;
  WNDPROC proc = nullptr;
  std::vector<unsigned char> extra;
  LONG style = 0;
  LONG exstyle = 0;
  LONG_PTR id = 0;
  LONG_PTR userdata = 0;
  HWND parent = nullptr;
  HINSTANCE instance = nullptr;
  bool destroying = false;
};

struct Table {
  std::mutex mu;
  std::vector<std::shared_ptr<WindowClass>> classes;
  std::unordered_map<HWND, std::shared_ptr<Window>> windows;
  ULONG_PTR next_handle = 0x10000;
  ATOM next_atom = 0xC000;
};

Table& T() {
  static auto* table = new Table;
  return *table;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// By name, or by atom when the pointer is MAKEINTATOM.
std::vector<std::shared_ptr<WindowClass>>::iterator FindClassLocked(LPCSTR name) {
  auto& cs = T().classes;
  auto atom = reinterpret_cast<ULONG_PTR>(name);
  if ((atom >> 16) == 0) {
    return std::find_if(cs.begin(), cs.end(), [atom](const auto& c) { return c->atom == atom; });
  }
  return std::find_if(cs.begin(), cs.end(),
                      [name](const auto& c) { return SameName(c->name, name); });
}

std::shared_ptr<Window> FindLocked(HWND hwnd) {
  auto it = T().windows.find(hwnd);
  return it == T().windows.end() ? nullptr : it->second;
}

std::shared_ptr<Window> Find(HWND hwnd) {
  std::lock_guard lock(T().mu);
  return FindLocked(hwnd);
}

LRESULT Call(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  WNDPROC proc = nullptr;
  {
    std::lock_guard lock(T().mu);
    if (auto win = FindLocked(hwnd)) proc = win->proc;
  }
  return proc != nullptr ? proc(hwnd, msg, w, l) : 0;
}

void RemoveLocked(HWND hwnd) {
  auto it = T().windows.find(hwnd);
  if (it == T().windows.end()) return;
  --it->second->cls->windows;
  T().windows.erase(it);
}

// Destroys a window the calling thread owns; `created` is false when WM_NCCREATE refused it.
void Destroy(HWND hwnd, bool created) {
  std::vector<HWND> children;
  std::shared_ptr<msgq::Queue> queue;
  {
    std::lock_guard lock(T().mu);
    auto win = FindLocked(hwnd);
    if (!win || win->destroying) return;
    win->destroying = true;
    queue = win->queue;
    for (const auto& [h, w] : T().windows) {
      if (w->parent == hwnd) children.push_back(h);
    }
  }
  if (created) Call(hwnd, WM_DESTROY, 0, 0);
  for (HWND child : children) Destroy(child, true);
  Call(hwnd, WM_NCDESTROY, 0, 0);
  {
    std::lock_guard lock(T().mu);
    RemoveLocked(hwnd);
  }
  queue->DropFor(hwnd);
}

// Bytes [index, index + size) of the extra area, or nullptr with ERROR_INVALID_INDEX.
unsigned char* ExtraAt(Window& w, int index, std::size_t size) {
  if (index < 0 || static_cast<std::size_t>(index) + size > w.extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return nullptr;
  }
  return w.extra.data() + index;
}

}  // namespace

bool Exists(HWND hwnd) {
  return Find(hwnd) != nullptr;
}

bool IsSelfOrDescendant(HWND hwnd, HWND ancestor) {
  std::lock_guard lock(T().mu);
  for (int depth = 0; hwnd != nullptr && depth < 1000; ++depth) {
    if (hwnd == ancestor) return true;
    auto w = FindLocked(hwnd);
    if (!w) return false;
    hwnd = w->parent;
  }
  return false;
}

std::shared_ptr<msgq::Queue> QueueOf(HWND hwnd) {
  auto w = Find(hwnd);
  return w ? w->queue : nullptr;
}

void ThreadEnded(const msgq::Queue* queue) {
  std::lock_guard lock(T().mu);
  for (auto it = T().windows.begin(); it != T().windows.end();) {
    if (it->second->queue.get() == queue) {
      --it->second->cls->windows;
      it = T().windows.erase(it);
    } else {
      ++it;
    }
  }
}

std::vector<HWND> TopLevelWindows() {
  std::lock_guard lock(T().mu);
  std::vector<HWND> out;
  for (const auto& [h, w] : T().windows) {
    if (w->parent == nullptr) out.push_back(h);
  }
  return out;
}

}  // namespace win32::window

using win32::window::Find;
using win32::window::T;

ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass) {
  if (lpWndClass == nullptr || lpWndClass->lpfnWndProc == nullptr ||
      (reinterpret_cast<ULONG_PTR>(lpWndClass->lpszClassName) >> 16) == 0 ||
      lpWndClass->cbWndExtra < 0 || lpWndClass->cbWndExtra > win32::window::kMaxExtraBytes ||
      lpWndClass->cbClsExtra < 0 || lpWndClass->cbClsExtra > win32::window::kMaxExtraBytes) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard lock(T().mu);
  if (win32::window::FindClassLocked(lpWndClass->lpszClassName) != T().classes.end()) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  if (T().next_atom == 0) {  // all 16 384 atoms are taken
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  auto cls = std::make_shared<win32::window::WindowClass>();
  cls->name = lpWndClass->lpszClassName;
  cls->wc = *lpWndClass;
  cls->wc.lpszClassName = nullptr;  // the caller's string need not outlive the call
  cls->wc.lpszMenuName = nullptr;
  cls->atom = T().next_atom++;
  T().classes.push_back(cls);
  return cls->atom;
}

BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE /*hInstance*/) {
  if (lpClassName == nullptr) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  std::lock_guard lock(T().mu);
  auto it = win32::window::FindClassLocked(lpClassName);
  if (it == T().classes.end()) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if ((*it)->windows > 0) {
    SetLastError(ERROR_CLASS_HAS_WINDOWS);
    return FALSE;
  }
  T().classes.erase(it);
  return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                            int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                            HINSTANCE hInstance, LPVOID lpParam) {
  auto queue = win32::msgq::Current();
  if (!queue) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const bool child = (dwStyle & static_cast<DWORD>(WS_CHILD)) != 0;
  if (child && (hWndParent == nullptr || hWndParent == HWND_MESSAGE)) {
    SetLastError(ERROR_TLW_WITH_WSCHILD);
    return nullptr;
  }
  HWND hwnd = nullptr;
  {
    std::lock_guard lock(T().mu);
    auto cls =
        lpClassName != nullptr ? win32::window::FindClassLocked(lpClassName) : T().classes.end();
    if (cls == T().classes.end()) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    HWND parent = hWndParent == HWND_MESSAGE ? nullptr : hWndParent;
    if (parent != nullptr && !win32::window::FindLocked(parent)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    auto w = std::make_shared<win32::window::Window>();
    w->cls = *cls;
    w->queue = queue;
    w->proc = (*cls)->wc.lpfnWndProc;
    w->extra.assign(static_cast<std::size_t>((*cls)->wc.cbWndExtra), 0);
    w->style = static_cast<LONG>(dwStyle);
    w->exstyle = static_cast<LONG>(dwExStyle);
    w->id = child ? reinterpret_cast<LONG_PTR>(hMenu) : 0;
    w->parent = parent;
    w->instance = hInstance;
    T().next_handle += 4;
    hwnd = reinterpret_cast<HWND>(T().next_handle);
    ++w->cls->windows;
    T().windows.emplace(hwnd, std::move(w));
  }
  CREATESTRUCTA cs{lpParam,
                   hInstance,
                   hMenu,
                   hWndParent,
                   nHeight,
                   nWidth,
                   Y,
                   X,
                   static_cast<LONG>(dwStyle),
                   lpWindowName,
                   lpClassName,
                   dwExStyle};
  auto params = reinterpret_cast<LPARAM>(&cs);
  if (win32::window::Call(hwnd, WM_NCCREATE, 0, params) == 0) {
    win32::window::Destroy(hwnd, false);
    return nullptr;
  }
  if (win32::window::Call(hwnd, WM_CREATE, 0, params) == -1) {
    win32::window::Destroy(hwnd, true);
    return nullptr;
  }
  return hwnd;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
  auto w = Find(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (w->queue.get() != win32::msgq::CurrentIfAny()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  win32::window::Destroy(hWnd, true);
  return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd) {
  return win32::window::Exists(hWnd) ? TRUE : FALSE;
}

LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex) {
  std::lock_guard lock(T().mu);
  auto w = win32::window::FindLocked(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  switch (nIndex) {
    case GWL_STYLE:
      return w->style;
    case GWL_EXSTYLE:
      return w->exstyle;
    case GWL_ID:
      return static_cast<LONG>(w->id);
    case GWL_USERDATA:
      return static_cast<LONG>(w->userdata);
    default:
      break;
  }
  LONG value = 0;
  if (const unsigned char* p = win32::window::ExtraAt(*w, nIndex, sizeof value)) {
    std::memcpy(&value, p, sizeof value);
  }
  return value;
}

LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong) {
  std::lock_guard lock(T().mu);
  auto w = win32::window::FindLocked(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  auto swap = [dwNewLong](auto& field) {
    auto old = static_cast<LONG>(field);
    field = dwNewLong;
    return old;
  };
  switch (nIndex) {
    case GWL_STYLE:
      return swap(w->style);
    case GWL_EXSTYLE:
      return swap(w->exstyle);
    case GWL_ID:
      return swap(w->id);
    case GWL_USERDATA:
      return swap(w->userdata);
    default:
      break;
  }
  LONG old = 0;
  if (unsigned char* p = win32::window::ExtraAt(*w, nIndex, sizeof old)) {
    std::memcpy(&old, p, sizeof old);
    std::memcpy(p, &dwNewLong, sizeof dwNewLong);
  }
  return old;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex) {
  std::lock_guard lock(T().mu);
  auto w = win32::window::FindLocked(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  switch (nIndex) {
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
      return reinterpret_cast<LONG_PTR>(w->parent);
    case GWLP_ID:
      return w->id;
    case GWLP_USERDATA:
      return w->userdata;
    case GWL_STYLE:
      return w->style;
    case GWL_EXSTYLE:
      return w->exstyle;
    default:
      break;
  }
  LONG_PTR value = 0;
  if (const unsigned char* p = win32::window::ExtraAt(*w, nIndex, sizeof value)) {
    std::memcpy(&value, p, sizeof value);
  }
  return value;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
  std::lock_guard lock(T().mu);
  auto w = win32::window::FindLocked(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  LONG_PTR old = 0;
  switch (nIndex) {
    case GWLP_WNDPROC:
      old = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(dwNewLong);
      return old;
    case GWLP_HINSTANCE:
      old = reinterpret_cast<LONG_PTR>(w->instance);
      w->instance = reinterpret_cast<HINSTANCE>(dwNewLong);
      return old;
    case GWLP_ID:
      old = w->id;
      w->id = dwNewLong;
      return old;
    case GWLP_USERDATA:
      old = w->userdata;
      w->userdata = dwNewLong;
      return old;
    case GWL_STYLE:
      old = w->style;
      w->style = static_cast<LONG>(dwNewLong);
      return old;
    case GWL_EXSTYLE:
      old = w->exstyle;
      w->exstyle = static_cast<LONG>(dwNewLong);
      return old;
    default:
      break;
  }
  if (unsigned char* p = win32::window::ExtraAt(*w, nIndex, sizeof old)) {
    std::memcpy(&old, p, sizeof old);
    std::memcpy(p, &dwNewLong, sizeof dwNewLong);
  }
  return old;
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM /*wParam*/, LPARAM /*lParam*/) {
  switch (Msg) {
    case WM_NCCREATE:
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(hWnd);
      return 0;
    default:
      return 0;
  }
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
  if (lpMsg == nullptr || lpMsg->hwnd == nullptr) return 0;  // thread messages go nowhere
  auto w = Find(lpMsg->hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (w->queue.get() != win32::msgq::CurrentIfAny()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  struct Dispatching {
    win32::msgq::Queue* q;
    explicit Dispatching(win32::msgq::Queue* queue) : q(queue) { q->EnterDispatch(); }
    ~Dispatching() { q->LeaveDispatch(); }
    Dispatching(const Dispatching&) = delete;
    Dispatching& operator=(const Dispatching&) = delete;
  } dispatching(w->queue.get());
  return win32::window::Call(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}
