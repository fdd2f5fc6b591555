#include "platform/shellnotify.h"

#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

struct NotifyState {
  std::mutex lock;
  unsigned count = 0;
  platform::ShellNotification last;
  platform::ShellNotifyListener listener = nullptr;
  void* context = nullptr;
};

NotifyState& State() {
  static NotifyState state;
  return state;
}

std::string ItemText(UINT flags, const void* item) {
  if ((flags & SHCNF_TYPE) != SHCNF_PATHA || item == nullptr) return std::string();
  return static_cast<const char*>(item);
}

}  // namespace

void SHChangeNotify(LONG eventId, UINT flags, const void* item1, const void* item2) {
  platform::ShellNotification note;
  note.eventId = eventId;
  note.flags = flags;
  note.item1 = ItemText(flags, item1);
  note.item2 = ItemText(flags, item2);
  NotifyState& s = State();
  platform::ShellNotifyListener listener = nullptr;
  void* context = nullptr;
  {
    std::lock_guard<std::mutex> guard(s.lock);
    ++s.count;
    s.last = note;
    listener = s.listener;
    context = s.context;
  }
  // Outside the lock, so that a listener may ask for the record itself.
  if (listener != nullptr) listener(context, note);
}

namespace platform {

void SetShellNotifyListener(ShellNotifyListener listener, void* context) {
  NotifyState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.listener = listener;
  s.context = listener != nullptr ? context : nullptr;
}

unsigned ShellNotifyCount() {
  NotifyState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.count;
}

ShellNotification LastShellNotification() {
  NotifyState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.last;
}

}  // namespace platform

UINT GetTempFileNameA(const char* dir, const char* prefix, UINT unique, char* out) {
  if (dir == nullptr || dir[0] == '\0' || prefix == nullptr || out == nullptr) return 0;
  unique &= 0xFFFF;
  if (unique == 0) return 0;
  std::string name = dir;
  if (name.back() != '/' && name.back() != '\\') name.push_back('/');
  name.append(prefix, strnlen(prefix, 3));
  char number[8];
  std::snprintf(number, sizeof number, "%X", unique);
  name.append(number).append(".TMP");
  if (name.size() + 1 > static_cast<size_t>(SHELL_MAX_PATH)) return 0;
  std::memcpy(out, name.c_str(), name.size() + 1);
  return unique;
}
