// The store's file forms. Little-endian throughout:
//   store file:  "ZLVREG\1\n", then one key body per predefined root, in
//                the order of their handle values
//   saved key:   "ZLVKEY\1\n", then one key body
//   key body:    u32 value count, the values, u32 subkey count, the subkeys
//   value:       u16 name length, name bytes, u32 type, u32 data size, data
//   subkey:      u16 name length (1..255, no backslash), name bytes, key body
// Readers accept only what the writers could have written: no duplicate
// names (letter case ignored), nothing behind the last root, no key deeper
// than the registry allows.
#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "platform/registry_tree.h"

namespace platform::registry_detail {
namespace {

constexpr char kStoreMagic[8] = {'Z', 'L', 'V', 'R', 'E', 'G', 1, '\n'};
constexpr char kKeyMagic[8] = {'Z', 'L', 'V', 'K', 'E', 'Y', 1, '\n'};

void PutU16(std::string& out, unsigned v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void PutU32(std::string& out, DWORD v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void PutBody(std::string& out, const Key& key) {
  PutU32(out, static_cast<DWORD>(key.values.size()));
  for (const Value& v : key.values) {
    PutU16(out, static_cast<unsigned>(v.name.size()));
    out += v.name;
    PutU32(out, v.type);
    PutU32(out, static_cast<DWORD>(v.data.size()));
    out.append(reinterpret_cast<const char*>(v.data.data()), v.data.size());
  }
  PutU32(out, static_cast<DWORD>(key.subkeys.size()));
  for (const auto& sub : key.subkeys) {
    PutU16(out, static_cast<unsigned>(sub->name.size()));
    out += sub->name;
    PutBody(out, *sub);
  }
}

std::string FoldedCopy(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) c = static_cast<char>(FoldByte(c));
  return folded;
}

class Reader {
 public:
  Reader(const BYTE* data, size_t size) : data_(data), left_(size) {}

  bool Magic(const char (&magic)[8]) {
    if (left_ < 8 || std::memcmp(data_, magic, 8) != 0) return false;
    Skip(8);
    return true;
  }
  bool AtEnd() const { return left_ == 0; }

  bool Body(Key& key, int depth) {
    if (depth > kMaxDepth) return false;
    DWORD count = 0;
    if (!U32(&count)) return false;
    std::unordered_set<std::string> seen;
    for (DWORD i = 0; i < count; ++i) {
      Value v;
      DWORD size = 0;
      if (!Name(&v.name, 0, kMaxValueName) || !U32(&v.type) || !U32(&size) || size > left_) {
        return false;
      }
      if (!seen.insert(FoldedCopy(v.name)).second) return false;
      v.data.assign(data_, data_ + size);
      Skip(size);
      key.values.push_back(std::move(v));
    }
    if (!U32(&count)) return false;
    // The writer puts subkeys in name order; anything else is sorted once at
    // the end, as inserting each in place would take quadratic time on a
    // hostile file with many subkeys.
    bool ordered = true;
    for (DWORD i = 0; i < count; ++i) {
      auto sub = std::make_shared<Key>();
      if (!Name(&sub->name, 1, kMaxKeyName)) return false;
      if (sub->name.find('\\') != std::string::npos) return false;
      if (!key.subkeys.empty()) {
        const int order = FoldCompare(key.subkeys.back()->name, sub->name);
        if (order == 0) return false;
        ordered = ordered && order < 0;
      }
      sub->parent = &key;
      key.subkeys.push_back(sub);
      if (!Body(*sub, depth + 1)) return false;
    }
    if (ordered) return true;
    std::sort(key.subkeys.begin(), key.subkeys.end(),
              [](const std::shared_ptr<Key>& a, const std::shared_ptr<Key>& b) {
                return FoldCompare(a->name, b->name) < 0;
              });
    for (size_t i = 1; i < key.subkeys.size(); ++i) {
      if (FoldCompare(key.subkeys[i - 1]->name, key.subkeys[i]->name) == 0) return false;
    }
    return true;
  }

 private:
  void Skip(size_t n) {
    data_ += n;
    left_ -= n;
  }
  bool U32(DWORD* v) {
    if (left_ < 4) return false;
    *v = static_cast<DWORD>(data_[0]) | static_cast<DWORD>(data_[1]) << 8 |
         static_cast<DWORD>(data_[2]) << 16 | static_cast<DWORD>(data_[3]) << 24;
    Skip(4);
    return true;
  }
  bool Name(std::string* name, size_t least, size_t most) {
    if (left_ < 2) return false;
    const size_t len = static_cast<size_t>(data_[0]) | static_cast<size_t>(data_[1]) << 8;
    Skip(2);
    if (len < least || len > most || len > left_) return false;
    // Names reach the store as C texts, so a NUL in one is no name of ours.
    if (std::memchr(data_, 0, len) != nullptr) return false;
    name->assign(reinterpret_cast<const char*>(data_), len);
    Skip(len);
    return true;
  }

  const BYTE* data_;
  size_t left_;
};

}  // namespace

std::string WriteStoreImage(const std::shared_ptr<Key> (&roots)[kRootCount]) {
  std::string out(kStoreMagic, sizeof kStoreMagic);
  for (const auto& root : roots) PutBody(out, *root);
  return out;
}

bool ReadStoreImage(const BYTE* data, size_t size, std::shared_ptr<Key> (&roots)[kRootCount]) {
  Reader reader(data, size);
  if (!reader.Magic(kStoreMagic)) return false;
  std::shared_ptr<Key> read[kRootCount];
  for (auto& root : read) {
    root = std::make_shared<Key>();
    if (!reader.Body(*root, 0)) return false;
  }
  if (!reader.AtEnd()) return false;
  for (size_t i = 0; i < kRootCount; ++i) roots[i] = std::move(read[i]);
  return true;
}

std::string WriteKeyImage(const Key& key) {
  std::string out(kKeyMagic, sizeof kKeyMagic);
  PutBody(out, key);
  return out;
}

bool ReadKeyImage(const BYTE* data, size_t size, Key& key) {
  Reader reader(data, size);
  Key read;
  if (!reader.Magic(kKeyMagic) || !reader.Body(read, 0) || !reader.AtEnd()) return false;
  key.values = std::move(read.values);
  key.subkeys = std::move(read.subkeys);
  for (auto& sub : key.subkeys) sub->parent = &key;
  return true;
}

}  // namespace platform::registry_detail
