#include "files/iconcache.h"

#include <cstring>
#include <new>

constinit CFileIconCache g_fileIconCache;

namespace {

constexpr uint32_t kAll = 0xFFFFFFFFu;

template <class Char>
void BuildKey(const Char* extension, char key[8]) {
  int i = 0;
  if (extension != nullptr) {
    for (; i < 8 && extension[i] != 0; ++i) {
      uint32_t c = static_cast<std::make_unsigned_t<Char>>(extension[i]);
      if (c - 'A' < 26u) c += 32;
      key[i] = static_cast<char>(c >= 0x80 ? 0xFF : c);
    }
  }
  for (; i < 8; ++i) key[i] = 0;
}

}  // namespace

CFileIconCache::~CFileIconCache() { Clear(); }

void CFileIconCache::MakeKey(const char* extension, char key[8]) { BuildKey(extension, key); }
void CFileIconCache::MakeKeyW(const wchar16* extension, char key[8]) { BuildKey(extension, key); }

int CFileIconCache::BucketOf(const char key[8]) {
  unsigned c = static_cast<unsigned char>(key[0]);
  return c - 'a' < 26u ? int(c - 96) : 0;
}

FileIconEntry* CFileIconCache::GetEntry(const char* extension) {
  char key[8];
  MakeKey(extension, key);
  return Lookup(key);
}

FileIconEntry* CFileIconCache::GetEntryW(const wchar16* extension) {
  char key[8];
  MakeKeyW(extension, key);
  return Lookup(key);
}

FileIconEntry* CFileIconCache::Lookup(const char key[8]) {
  std::lock_guard<std::mutex> hold(lock_);
  if (buckets_ == nullptr) {
    buckets_ = new (std::nothrow) CRecordArray*[ICONCACHE_BUCKETS]();
    if (buckets_ == nullptr) return nullptr;
  }
  CRecordArray*& bucket = buckets_[BucketOf(key)];
  uint32_t position = 0;
  if (bucket != nullptr) {
    int found = bucket->FindSortedBytes(key, 0, kAll, 8, 0, 0);
    if (found >= 0) return static_cast<FileIconEntry*>(bucket->items[found]);
    position = uint32_t(bucket->FindSortedBytes(key, 0, kAll, 8, 0, FIND_INSERTPOS));
  } else {
    bucket = new (std::nothrow) CRecordArray(sizeof(FileIconEntry));
    if (bucket == nullptr) return nullptr;
  }
  FileIconEntry entry;
  memcpy(entry.key, key, sizeof entry.key);
  for (int& icon : entry.icon) icon = -1;
  entry.typeName = nullptr;
  position = bucket->InsertAt(&entry, position, 1);
  return static_cast<FileIconEntry*>(bucket->items[position]);
}

const char* CFileIconCache::InternString(const char* text, uint32_t length) {
  if (text == nullptr && length > 0) return nullptr;
  std::lock_guard<std::mutex> hold(lock_);
  if (strings_ == nullptr) {
    strings_ = new (std::nothrow) CPointerArray(1);
    if (strings_ == nullptr) return nullptr;
  }
  char* copy = static_cast<char*>(::operator new(size_t(length) + 1, std::nothrow));
  if (copy == nullptr) return nullptr;
  if (length > 0) memcpy(copy, text, length);
  copy[length] = 0;
  // The array takes the block as it is; it frees it with the global delete.
  void* item = copy;
  strings_->InsertArray(&item, strings_->count, 1);
  return copy;
}

void CFileIconCache::Clear() {
  std::lock_guard<std::mutex> hold(lock_);
  if (buckets_ != nullptr) {
    for (int b = 0; b < ICONCACHE_BUCKETS; ++b) delete buckets_[b];
    delete[] buckets_;
    buckets_ = nullptr;
  }
  delete strings_;
  strings_ = nullptr;
}

const CRecordArray* CFileIconCache::Bucket(int b) const {
  std::lock_guard<std::mutex> hold(lock_);
  if (buckets_ == nullptr || b < 0 || b >= ICONCACHE_BUCKETS) return nullptr;
  return buckets_[b];
}

const CPointerArray* CFileIconCache::StringStore() const {
  std::lock_guard<std::mutex> hold(lock_);
  return strings_;
}
