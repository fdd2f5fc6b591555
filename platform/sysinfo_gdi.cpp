// Pens and lines on the virtual screen's device contexts.
#include "platform/sysinfo_gdi.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "platform/bitmap.h"
#include "platform/screen.h"

namespace {

struct Pen {
  int width;
  COLORREF colour;
  int selections = 0;  // contexts it is selected into
};

struct ContextState {
  uintptr_t pen;
  int x = 0, y = 0;
};

struct PenTable {
  std::mutex lock;
  std::unordered_map<uintptr_t, Pen> pens;
  std::unordered_map<uintptr_t, ContextState> contexts;
  uintptr_t nextId = 0x5000;
};

// The pen every context starts with; it is never freed.
constexpr uintptr_t kContextPen = 0x4FF0;

PenTable& table() {
  static PenTable* t = new PenTable;
  return *t;
}

bool live(HDC dc) { return dc && GetDeviceCaps(dc, PLANES) == 1; }

// The state of a live context, made on first use.
ContextState& stateOf(PenTable& t, HDC dc) {
  return t.contexts.try_emplace(reinterpret_cast<uintptr_t>(dc), ContextState{kContextPen})
      .first->second;
}

}  // namespace

HPEN SysCreatePen(int style, int width, COLORREF colour) {
  if (style != PS_SOLID || width < 0) return nullptr;
  PenTable& t = table();
  std::lock_guard guard(t.lock);
  const uintptr_t id = t.nextId;
  t.nextId += 4;
  t.pens.emplace(id, Pen{width, colour});
  return reinterpret_cast<HPEN>(id);
}

HGDIOBJ SysSelectObject(HDC dc, HGDIOBJ object) {
  const uintptr_t id = reinterpret_cast<uintptr_t>(object);
  if (!live(dc)) return nullptr;
  PenTable& t = table();
  std::lock_guard guard(t.lock);
  auto pen = t.pens.find(id);
  if (id != kContextPen && pen == t.pens.end()) return nullptr;
  ContextState& state = stateOf(t, dc);
  const uintptr_t old = state.pen;
  if (auto o = t.pens.find(old); o != t.pens.end()) --o->second.selections;
  if (pen != t.pens.end()) ++pen->second.selections;
  state.pen = id;
  return reinterpret_cast<HGDIOBJ>(old);
}

BOOL SysMoveToEx(HDC dc, int x, int y, void* point) {
  if (!live(dc) || point) return FALSE;
  PenTable& t = table();
  std::lock_guard guard(t.lock);
  ContextState& state = stateOf(t, dc);
  state.x = x;
  state.y = y;
  return TRUE;
}

BOOL SysLineTo(HDC dc, int x, int y) { return SysMoveToEx(dc, x, y, nullptr); }

BOOL SysDeleteObject(HGDIOBJ object) {
  const uintptr_t id = reinterpret_cast<uintptr_t>(object);
  {
    PenTable& t = table();
    std::lock_guard guard(t.lock);
    if (id == kContextPen) return FALSE;
    auto pen = t.pens.find(id);
    if (pen != t.pens.end()) {
      if (pen->second.selections > 0) return FALSE;
      t.pens.erase(pen);
      return TRUE;
    }
  }
  return DeleteObject(object);
}

namespace platform {

size_t LivePens() {
  PenTable& t = table();
  std::lock_guard guard(t.lock);
  return t.pens.size();
}

bool PenOf(HGDIOBJ pen, int* width, COLORREF* colour) {
  PenTable& t = table();
  std::lock_guard guard(t.lock);
  auto it = t.pens.find(reinterpret_cast<uintptr_t>(pen));
  if (it == t.pens.end()) return false;
  *width = it->second.width;
  *colour = it->second.colour;
  return true;
}

bool CurrentPosition(HDC dc, int* x, int* y) {
  PenTable& t = table();
  std::lock_guard guard(t.lock);
  auto it = t.contexts.find(reinterpret_cast<uintptr_t>(dc));
  if (it == t.contexts.end()) return false;
  *x = it->second.x;
  *y = it->second.y;
  return true;
}

}  // namespace platform
