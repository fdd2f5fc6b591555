#include "platform/netshare.h"

#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <mutex>
#include <set>
#include <vector>

#include "platform/pathconv.h"

namespace {

struct Share {
  std::string name;
  DWORD type;
  std::string host;  // empty: reaches nothing
};

struct Server {
  std::string name;
  std::vector<Share> shares;
};

std::mutex g_lock;
std::vector<Server> g_servers;
std::set<void*> g_buffers;
DWORD g_batchLimit = 0;
int g_failAfter = 0;
int g_calls = 0;

bool IsSep(char c) { return c == '\\' || c == '/'; }

Server* FindServer(const std::string& name) {
  for (Server& server : g_servers)
    if (strcasecmp(server.name.c_str(), name.c_str()) == 0) return &server;
  return nullptr;
}

}  // namespace

std::u16string SysWidenUtf8(const std::string& text) {
  std::u16string out;
  const auto* p = reinterpret_cast<const unsigned char*>(text.c_str());
  while (*p) {
    unsigned c = *p;
    int extra = c >= 0xF0 && c < 0xF5 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : 0;
    if (c >= 0xF5) extra = 0;
    unsigned code = extra == 3 ? c & 7 : extra == 2 ? c & 15 : extra == 1 ? c & 31 : c;
    int i = 1;
    for (; i <= extra && (p[i] & 0xC0) == 0x80; ++i) code = (code << 6) | (p[i] & 0x3F);
    if (i <= extra) {
      code = c;
      extra = 0;
    }
    p += 1 + extra;
    if (code >= 0x10000) {
      code -= 0x10000;
      out += char16_t(0xD800 + (code >> 10));
      out += char16_t(0xDC00 + (code & 0x3FF));
    } else {
      out += char16_t(code);
    }
  }
  return out;
}

bool SysRegisterShare(const char* server, const char* name, const char* hostDir, DWORD type) {
  if (server == nullptr || name == nullptr) return false;
  while (IsSep(*server)) ++server;
  size_t serverLen = strlen(server), nameLen = strlen(name);
  if (serverLen == 0 || serverLen > 64 || nameLen == 0 || nameLen > 80) return false;
  if (strpbrk(server, "\\/") || strpbrk(name, "\\/")) return false;
  std::lock_guard<std::mutex> hold(g_lock);
  Server* entry = FindServer(server);
  if (entry == nullptr) {
    g_servers.push_back(Server{server, {}});
    entry = &g_servers.back();
  }
  for (const Share& share : entry->shares)
    if (strcasecmp(share.name.c_str(), name) == 0) return false;
  entry->shares.push_back(Share{name, type, hostDir ? hostDir : ""});
  return true;
}

void SysClearShares() {
  std::lock_guard<std::mutex> hold(g_lock);
  g_servers.clear();
  g_batchLimit = 0;
  g_failAfter = 0;
}

void SysSetShareBatchLimit(DWORD n, int failAfter) {
  std::lock_guard<std::mutex> hold(g_lock);
  g_batchLimit = n;
  g_failAfter = failAfter > 0 ? g_calls + failAfter : 0;
}

int SysShareEnumCalls() {
  std::lock_guard<std::mutex> hold(g_lock);
  return g_calls;
}

int SysShareBuffersLive() {
  std::lock_guard<std::mutex> hold(g_lock);
  return int(g_buffers.size());
}

DWORD SysNetShareEnum(const wchar16* server, SysShareInfo** buffer, DWORD* entriesRead,
                      DWORD* totalEntries, DWORD* resume) {
  if (buffer) *buffer = nullptr;
  if (entriesRead) *entriesRead = 0;
  if (totalEntries) *totalEntries = 0;
  std::string name;
  if (server == nullptr || buffer == nullptr || entriesRead == nullptr || totalEntries == nullptr ||
      !PathToUtf8(server, name))
    return SYS_NET_BAD_NETPATH;
  size_t skip = 0;
  while (skip < name.size() && IsSep(name[skip])) ++skip;
  name.erase(0, skip);
  std::lock_guard<std::mutex> hold(g_lock);
  ++g_calls;
  const Server* entry = FindServer(name);
  if (entry == nullptr) return SYS_NET_BAD_NETPATH;
  if (g_failAfter > 0 && g_calls == g_failAfter) return SYS_NET_ACCESS_DENIED;
  DWORD total = DWORD(entry->shares.size());
  DWORD start = resume ? *resume : 0;
  if (start > total) start = total;
  DWORD n = total - start;
  if (g_batchLimit > 0 && n > g_batchLimit) n = g_batchLimit;
  // One block: the records, then their texts.
  std::vector<std::u16string> texts;
  size_t chars = 0;
  for (DWORD i = 0; i < n; ++i) {
    const Share& share = entry->shares[start + i];
    texts.push_back(SysWidenUtf8(share.name));
    texts.push_back(SysWidenUtf8(share.host));
    chars += texts[texts.size() - 2].size() + texts.back().size() + 3;
  }
  size_t bytes = sizeof(SysShareInfo) * (n ? n : 1) + chars * sizeof(char16_t);
  auto* records = static_cast<SysShareInfo*>(malloc(bytes));
  if (records == nullptr) return SYS_NET_NO_MEMORY;
  auto* text = reinterpret_cast<char16_t*>(records + (n ? n : 1));
  auto put = [&text](const std::u16string& s) {
    const char16_t* start = text;
    memcpy(text, s.c_str(), (s.size() + 1) * sizeof(char16_t));
    text += s.size() + 1;
    return start;
  };
  for (DWORD i = 0; i < n; ++i) {
    records[i].name = put(texts[2 * i]);
    records[i].type = entry->shares[start + i].type;
    records[i].remark = put(u"");
    records[i].path = put(texts[2 * i + 1]);
  }
  g_buffers.insert(records);
  *buffer = records;
  *entriesRead = n;
  *totalEntries = total;
  bool more = start + n < total;
  if (resume) *resume = more ? start + n : 0;
  return more ? SYS_NET_MORE_DATA : SYS_NET_OK;
}

void SysNetApiBufferFree(void* buffer) {
  std::lock_guard<std::mutex> hold(g_lock);
  if (g_buffers.erase(buffer) == 1) free(buffer);
}

bool SysShareHostPath(const char* uncPath, std::string& out) {
  out.clear();
  if (uncPath == nullptr || !IsSep(uncPath[0]) || !IsSep(uncPath[1])) return false;
  const char* p = uncPath + 2;
  const char* serverEnd = p;
  while (*serverEnd && !IsSep(*serverEnd)) ++serverEnd;
  if (!*serverEnd) return false;
  const char* share = serverEnd + 1;
  const char* shareEnd = share;
  while (*shareEnd && !IsSep(*shareEnd)) ++shareEnd;
  std::string serverName(p, serverEnd), shareName(share, shareEnd);
  std::lock_guard<std::mutex> hold(g_lock);
  const Server* entry = FindServer(serverName);
  if (entry == nullptr) return false;
  for (const Share& s : entry->shares) {
    if (strcasecmp(s.name.c_str(), shareName.c_str()) != 0) continue;
    if (s.host.empty()) return false;
    out = s.host;
    for (const char* q = shareEnd; *q; ++q) out += *q == '\\' ? '/' : *q;
    return true;
  }
  return false;
}

int SysShareServerCount() {
  std::lock_guard<std::mutex> hold(g_lock);
  return int(g_servers.size());
}

bool SysShareServerName(int index, std::string& out) {
  std::lock_guard<std::mutex> hold(g_lock);
  if (index < 0 || size_t(index) >= g_servers.size()) return false;
  out = g_servers[size_t(index)].name;
  return true;
}
