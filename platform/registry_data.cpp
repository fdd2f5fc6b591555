// Rows of the registry's database as trees and texts: the width conversion
// of text values, name folding, and whole subtrees read, written and cleared.
#include <sqlite3.h>

#include "platform/registry_db.h"

namespace platform::registry_detail {

unsigned char FoldByte(char c) {
  const auto u = static_cast<unsigned char>(c);
  if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) return u - 0x20;
  return u;
}

int FoldCompare(const std::string& a, const std::string& b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = FoldByte(a[i]);
    const unsigned char y = FoldByte(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool FoldEqual(const std::string& a, const std::string& b) {
  return a.size() == b.size() && FoldCompare(a, b) == 0;
}

std::string Folded(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) c = static_cast<char>(FoldByte(c));
  return folded;
}

bool IsTextType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::string Widen(const BYTE* data, size_t size) {
  std::string units(size * 2, '\0');
  for (size_t i = 0; i < size; ++i) units[2 * i] = static_cast<char>(data[i]);
  return units;
}

std::string Narrow(std::string_view units) {
  std::string text(units.size() / 2, '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned low = static_cast<unsigned char>(units[2 * i]);
    const unsigned high = static_cast<unsigned char>(units[2 * i + 1]);
    text[i] = high == 0 ? static_cast<char>(low) : '?';
  }
  return text;
}

LONG ReadTree(Database& db, KeyId id, Key* key) {
  int rc = SQLITE_DONE;
  {
    Stmt q(db, "SELECT name, type, data FROM vals WHERE key = ? ORDER BY ord");
    q.Int(id);
    while ((rc = q.Step()) == SQLITE_ROW) {
      Value v;
      v.name = q.BlobAt(0);
      v.type = static_cast<DWORD>(q.IntAt(1));
      std::string data = q.BlobAt(2);
      if (IsTextType(v.type)) data = Narrow(data);
      v.data.assign(data.begin(), data.end());
      key->values.push_back(std::move(v));
    }
  }
  if (rc != SQLITE_DONE) return db.ErrorOf(rc);
  // The statement is reused below this key, so its rows are taken first.
  std::vector<std::pair<KeyId, std::string>> children;
  {
    Stmt q(db, "SELECT id, name FROM keys WHERE parent = ? ORDER BY folded");
    q.Int(id);
    while ((rc = q.Step()) == SQLITE_ROW) children.emplace_back(q.IntAt(0), q.BlobAt(1));
  }
  if (rc != SQLITE_DONE) return db.ErrorOf(rc);
  for (auto& [childId, name] : children) {
    auto sub = std::make_shared<Key>();
    sub->name = std::move(name);
    sub->parent = key;
    const LONG error = ReadTree(db, childId, sub.get());
    if (error != ERROR_SUCCESS) return error;
    key->subkeys.push_back(std::move(sub));
  }
  return ERROR_SUCCESS;
}

bool LooksWide(DWORD type, const std::vector<BYTE>& data) {
  // Text written with its terminator ends in one zero byte when 8-bit; in a
  // whole zero unit (two for a list) when 16-bit.
  const size_t zeros = type == REG_MULTI_SZ ? 4 : 2;
  if (!IsTextType(type) || data.size() < zeros || data.size() % 2 != 0) return false;
  for (size_t i = data.size() - zeros; i < data.size(); ++i) {
    if (data[i] != 0) return false;
  }
  return true;
}

LONG WriteTree(Database& db, KeyId id, const Key& key, bool guessWidth) {
  for (const Value& v : key.values) {
    const std::string data =
        IsTextType(v.type) && !(guessWidth && LooksWide(v.type, v.data))
            ? Widen(v.data.data(), v.data.size())
            : std::string(v.data.begin(), v.data.end());
    Stmt q(db, kSetValue);
    q.Int(id).Blob(Folded(v.name)).Blob(v.name).Int(v.type).Blob(data);
    const int rc = q.Step();
    if (rc != SQLITE_DONE) return db.ErrorOf(rc);
  }
  for (const auto& sub : key.subkeys) {
    KeyId childId = 0;
    {
      Stmt q(db, "INSERT INTO keys(parent, name, folded) VALUES (?, ?, ?)");
      q.Int(id).Blob(sub->name).Blob(Folded(sub->name));
      const int rc = q.Step();
      if (rc != SQLITE_DONE) return db.ErrorOf(rc);
      childId = sqlite3_last_insert_rowid(db.Handle());
    }
    const LONG error = WriteTree(db, childId, *sub, guessWidth);
    if (error != ERROR_SUCCESS) return error;
  }
  return ERROR_SUCCESS;
}

LONG EmptyKey(Database& db, KeyId id) {
  const char* const steps[] = {
      "DELETE FROM vals WHERE key IN (WITH RECURSIVE t(id) AS (SELECT ?1 UNION ALL"
      " SELECT k.id FROM keys k JOIN t ON k.parent = t.id) SELECT id FROM t)",
      "DELETE FROM keys WHERE id IN (WITH RECURSIVE t(id) AS (SELECT id FROM keys"
      " WHERE parent = ?1 UNION ALL SELECT k.id FROM keys k JOIN t ON k.parent = t.id)"
      " SELECT id FROM t)",
  };
  for (const char* sql : steps) {
    Stmt q(db, sql);
    q.Int(id);
    const int rc = q.Step();
    if (rc != SQLITE_DONE) return db.ErrorOf(rc);
  }
  return ERROR_SUCCESS;
}

}  // namespace platform::registry_detail
