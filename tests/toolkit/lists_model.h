// Operation interpreter for the model tests and the lists fuzzer: reads
// operations from bytes, applies each to a container and to a plain std
// model, and reports the first difference. Header-only so that the fuzzer
// shares it.
#pragma once

#include <algorithm>
#include <cstdio>
#include <type_traits>
#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/arrays_inline.h"
#include "toolkit/bytebuffer.h"
#include "toolkit/pointerarray.h"
#include "toolkit/recordarray.h"
#include "toolkit/textlist.h"

namespace lists_model {

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : p_(data), n_(size) {}
  bool Done() const { return pos_ >= n_; }
  uint8_t Byte() { return pos_ < n_ ? p_[pos_++] : 0; }
  uint32_t Below(uint32_t bound) { return bound ? Byte() % bound : 0; }
  uint32_t U16() { return Byte() | (uint32_t(Byte()) << 8); }

 private:
  const uint8_t* p_;
  size_t n_;
  size_t pos_ = 0;
};

// Escaped text for messages.
inline std::string Show(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s.substr(0, 48)) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += char(c);
    } else {
      char buf[8];
      snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out + (s.size() > 48 ? "...\" (" + std::to_string(s.size()) + " bytes)" : "\"");
}

struct Result {
  std::string error;      // empty when container and model agree
  std::vector<std::string> log;  // one line per operation run
  size_t ops = 0;
};

// ---- CTextList against a vector of (text, data) ----

struct Entry {
  std::string text;
  std::string data;
  bool operator==(const Entry&) const = default;
};

inline std::string TextOf(Reader& r) {
  static const char kAlphabet[] = {'a', 'b', 'A', 'B', ',', ' ', '\0', 'z', '\t', '@', '`', 'x'};
  std::string s(r.Below(14), '\0');
  for (char& c : s) c = kAlphabet[r.Below(sizeof kAlphabet)];
  return s;
}

inline std::string DataOf(Reader& r, uint32_t size) {
  std::string d(size, '\0');
  for (char& c : d) c = char(r.Below(3));  // few values, so keys repeat
  return d;
}

inline std::string CheckList(const CTextList& list, const std::vector<Entry>& model) {
  if (list.count != model.size()) {
    return "count " + std::to_string(list.count) + ", model " + std::to_string(model.size());
  }
  if (list.count && list.count >= list.capacity) return "no spare slot";
  for (uint32_t i = 0; i < list.count; ++i) {
    std::string text(list.TextAt(i), list.LengthAt(i));
    std::string data(static_cast<const char*>(list.items[i]), list.itemDataSize);
    if (list.TextAt(i)[list.LengthAt(i)] != 0) return "item " + std::to_string(i) + " not terminated";
    if (text != model[i].text || data != model[i].data) {
      return "item " + std::to_string(i) + " " + Show(text) + " data " + Show(data) + ", model " +
             Show(model[i].text) + " data " + Show(model[i].data);
    }
  }
  return {};
}

inline uint32_t AtIndex(uint32_t raw, size_t count) { return raw == 255 ? 0xFFFFFFFFu : raw % (count + 2); }

inline Result RunTextList(const uint8_t* bytes, size_t size, size_t maxOps = SIZE_MAX) {
  Reader r(bytes, size);
  static const uint32_t kSizes[] = {0, 4, 12};
  const uint32_t ds = kSizes[r.Below(3)];
  CTextList list(ds);
  std::vector<Entry> model;
  Result res;
  res.log.push_back("data size " + std::to_string(ds));
  auto insertAt = [](size_t idx, size_t n) { return std::min(idx, n); };
  while (!r.Done() && res.ops < maxOps) {
    ++res.ops;
    uint32_t op = r.Below(20);
    std::string line;
    switch (op) {
      case 0:
      case 1: {  // insert a fresh text, or one taken from the list itself
        uint32_t idx = AtIndex(r.Byte(), model.size());
        bool own = op == 1 && !model.empty();
        Entry e;
        const char* text;
        const void* data;
        if (own) {
          uint32_t k = r.Below(uint32_t(model.size()));
          e = model[k];
          text = list.TextAt(k);
          data = ds ? list.items[k] : nullptr;
          line = "Insert(item " + std::to_string(k) + ")";
        } else {
          e.text = TextOf(r);
          e.data = DataOf(r, ds);
          text = e.text.c_str();
          data = e.data.data();
          line = "Insert(" + Show(e.text) + ")";
        }
        int got = list.Insert(int(e.text.size()), text, int(idx), data);
        size_t at = insertAt(idx, model.size());
        model.insert(model.begin() + long(at), e);
        line += " at " + std::to_string(idx);
        if (got != int(at)) res.error = "Insert returned " + std::to_string(got);
        break;
      }
      case 2: {  // SetAt, data kept when null
        uint32_t idx = r.Below(uint32_t(model.size()) + 1);
        std::string t = TextOf(r);
        bool keep = r.Byte() & 1;
        std::string d = DataOf(r, ds);
        int got = list.SetAt(int(t.size()), t.data(), int(idx), keep ? nullptr : d.data());
        line = "SetAt(" + Show(t) + ", " + std::to_string(idx) + ")";
        if (idx < model.size()) {
          model[idx].text = t;
          if (!keep) model[idx].data = d;
          if (got != int(idx)) res.error = "SetAt returned " + std::to_string(got);
        } else if (got != -1) {
          res.error = "SetAt out of range returned " + std::to_string(got);
        }
        break;
      }
      case 3: {  // AppendToItemN, sometimes with the item's own text
        uint32_t idx = r.Below(uint32_t(model.size()) + 1);
        std::string t = TextOf(r);
        const char* src = t.data();
        // Its own text, while short: doubling must not grow without bound.
        if (idx < model.size() && (r.Byte() & 1) && model[idx].text.size() < 64) {
          t = model[idx].text;
          src = list.TextAt(idx);
        }
        std::string d = DataOf(r, ds);
        int got = list.AppendToItemN(int(t.size()), src, int(idx), d.data());
        line = "AppendToItemN(" + Show(t) + ", " + std::to_string(idx) + ")";
        if (idx < model.size()) {
          model[idx].text += t;
        } else {
          model.push_back({t, d});
        }
        if (got != int(std::min<size_t>(idx, model.size() - 1))) res.error = "AppendToItemN returned " + std::to_string(got);
        break;
      }
      case 4: {
        uint32_t idx = r.Below(uint32_t(model.size()) + 1);
        bool got = list.RemoveAt(idx);
        bool want = idx < model.size();
        line = "RemoveAt(" + std::to_string(idx) + ")";
        if (want) model.erase(model.begin() + idx);
        if (got != want) res.error = "RemoveAt returned " + std::to_string(got);
        break;
      }
      case 5: {
        int from = int(r.Below(uint32_t(model.size()) + 2)) - 1;
        int to = r.Byte() == 255 ? -1 : int(r.Below(uint32_t(model.size()) + 2));
        int got = list.RemoveRange(from, to);
        size_t lo = size_t(std::max(from, 0));
        size_t end = std::min<size_t>(uint32_t(to), model.size());
        int want = lo < end ? int(end - lo) : 0;
        if (want) model.erase(model.begin() + long(lo), model.begin() + long(end));
        line = "RemoveRange(" + std::to_string(from) + ", " + std::to_string(to) + ")";
        if (got != want) res.error = "RemoveRange returned " + std::to_string(got);
        break;
      }
      case 6: {  // detach and put back elsewhere
        if (model.empty()) break;
        uint32_t a = r.Below(uint32_t(model.size()));
        void* item = list.DetachAt(a);
        Entry e = model[a];
        model.erase(model.begin() + a);
        uint32_t b = AtIndex(r.Byte(), model.size());
        list.InsertDetached(item, int(b));
        model.insert(model.begin() + long(insertAt(b, model.size())), e);
        line = "Detach(" + std::to_string(a) + ") reinsert at " + std::to_string(b);
        break;
      }
      case 7: {  // pops
        uint32_t kind = r.Below(4);
        bool last = kind & 1;
        std::string d(ds, '\0');
        std::string got;
        int len;
        if (kind & 2) {
          char* out = nullptr;
          len = last ? list.PopLastAlloc(&out, d.data()) : list.PopFirstAlloc(&out, d.data());
          if (out) got.assign(out, size_t(std::max(len, 0)));
          delete[] out;
        } else {
          char buf[32];
          int cap = int(r.Below(sizeof buf));
          len = last ? list.PopLast(cap, buf, d.data()) : list.PopFirst(cap, buf, d.data());
          if (len >= 0) got.assign(buf, size_t(len));
          if (!model.empty() && (model[last ? model.size() - 1 : 0].text.size() + 1 > size_t(cap))) {
            line = std::string(last ? "PopLast" : "PopFirst") + " (no room)";
            if (len != -1) res.error = "pop without room returned " + std::to_string(len);
            break;
          }
        }
        line = std::string(last ? "PopLast" : "PopFirst") + ((kind & 2) ? "Alloc" : "");
        if (model.empty()) {
          if (len != -1) res.error = "pop of empty list returned " + std::to_string(len);
          break;
        }
        Entry e = last ? model.back() : model.front();
        if (last) model.pop_back(); else model.erase(model.begin());
        if (got != e.text || len != int(e.text.size()) || d != e.data) {
          res.error = "popped " + Show(got) + " data " + Show(d) + ", model " + Show(e.text);
        }
        break;
      }
      case 8: {
        int from = int(r.Below(uint32_t(model.size()) + 1)) - (r.Byte() & 1);
        int to = int(r.Below(uint32_t(model.size()) + 1)) - (r.Byte() & 1);
        int got = list.Move(from, to);
        line = "Move(" + std::to_string(from) + ", " + std::to_string(to) + ")";
        int n = int(model.size());
        int f = from == -1 ? n - 1 : from, t = to == -1 ? n - 1 : to;
        int want;
        if (n == 0) {
          want = 0;
        } else if (f == t) {
          want = t;
        } else if (f < 0 || t < 0 || f >= n || t >= n) {
          want = -1;
        } else {
          Entry e = model[f];
          model.erase(model.begin() + f);
          model.insert(model.begin() + t, e);
          want = t;
        }
        if (got != want) res.error = "Move returned " + std::to_string(got);
        break;
      }
      case 9: {
        uint32_t a = r.Below(uint32_t(model.size()) + 2), b = r.Below(uint32_t(model.size()) + 2);
        list.Swap(a, b);
        if (!model.empty()) {
          std::swap(model[std::min<size_t>(a, model.size() - 1)], model[std::min<size_t>(b, model.size() - 1)]);
        }
        line = "Swap(" + std::to_string(a) + ", " + std::to_string(b) + ")";
        break;
      }
      case 10: {  // Split with ',' over a fresh text
        std::string t = TextOf(r);
        uint32_t idx = AtIndex(r.Byte(), model.size());
        std::string d = DataOf(r, ds);
        std::string upto = t.substr(0, t.find('\0'));
        int got = list.Split(',', t.c_str(), int(idx), d.data());
        line = "Split(" + Show(upto) + ", " + std::to_string(idx) + ")";
        if (upto.empty()) {
          if (got != -1) res.error = "Split of empty text returned " + std::to_string(got);
          break;
        }
        size_t at = insertAt(idx, model.size());
        std::vector<Entry> pieces;
        size_t start = 0;
        for (;;) {
          size_t comma = upto.find(',', start);
          if (comma == std::string::npos) {
            pieces.push_back({upto.substr(start), d});
            break;
          }
          pieces.push_back({upto.substr(start, comma - start), d});
          start = comma + 1;
          if (start == upto.size()) break;
        }
        model.insert(model.begin() + long(at), pieces.begin(), pieces.end());
        if (got != int(at)) res.error = "Split returned " + std::to_string(got);
        break;
      }
      case 11: {  // joins of a range
        int from = int(r.Below(uint32_t(model.size()) + 1));
        int to = r.Byte() == 255 ? -1 : int(r.Below(uint32_t(model.size()) + 2));
        char sep = r.Byte() & 1 ? ';' : '\0';
        size_t lo = size_t(from), end = std::min<size_t>(uint32_t(to), model.size());
        std::string want;
        for (size_t i = lo; i < end; ++i) {
          want += model[i].text;
          if (sep == 0 || i + 1 < end) want += sep;
        }
        if (lo >= end) want = sep ? "" : std::string(1, '\0');
        char* out = nullptr;
        int got = list.Join(from, to, &out, sep);
        std::string joined(out, size_t(std::max(got, 0)));
        delete[] out;
        CString str;
        int gotStr = list.JoinToString(from, to, str, sep);
        line = "Join(" + std::to_string(from) + ", " + std::to_string(to) + ", " + (sep ? "';'" : "0") + ")";
        std::string expectBlock = want + '\0';
        if (lo >= end && sep) expectBlock = std::string(1, '\0');
        if (joined != expectBlock || gotStr != got ||
            std::string(static_cast<const char*>(str), size_t(str.GetLength())) != want) {
          res.error = "joined " + Show(joined) + ", model " + Show(expectBlock);
        }
        break;
      }
      case 12: {  // InsertList from the list itself
        int from = int(r.Below(uint32_t(model.size()) + 1));
        int to = int(r.Below(uint32_t(model.size()) + 2));
        uint32_t idx = AtIndex(r.Byte(), model.size());
        int got = list.InsertList(list, int(idx), from, to);
        line = "InsertList(self, " + std::to_string(idx) + ", " + std::to_string(from) + ", " + std::to_string(to) + ")";
        size_t end = std::min<size_t>(size_t(to), model.size());
        if (model.empty() || size_t(from) >= end) {
          if (got != -1) res.error = "empty InsertList returned " + std::to_string(got);
          break;
        }
        std::vector<Entry> copy(model.begin() + from, model.begin() + long(end));
        size_t at = insertAt(idx, model.size());
        model.insert(model.begin() + long(at), copy.begin(), copy.end());
        if (got != int(at)) res.error = "InsertList returned " + std::to_string(got);
        break;
      }
      case 13: {  // self-assignment and copies
        CTextList& alias = list;
        list = alias;
        CTextList copy(list);
        CTextList assigned(8);
        assigned.InsertString("gone", -1, nullptr);
        assigned = list;
        line = "self-assign, copy";
        res.error = CheckList(copy, model);
        if (res.error.empty()) res.error = CheckList(assigned, model);
        break;
      }
      case 14: {  // typed setters
        uint32_t idx = r.Below(uint32_t(model.size()) + 1);
        uint32_t slot = r.Below(3);
        uint32_t value = r.U16() * 0x10001u;
        uint32_t old = list.SetItemDword(idx, value, slot);
        line = "SetItemDword(" + std::to_string(idx) + ", slot " + std::to_string(slot) + ")";
        uint32_t want = 0;
        if (idx < model.size() && slot * 4 + 4 <= ds) {
          memcpy(&want, model[idx].data.data() + slot * 4, 4);
          memcpy(model[idx].data.data() + slot * 4, &value, 4);
        }
        if (old != want) res.error = "SetItemDword returned " + std::to_string(old);
        break;
      }
      case 15: {  // Find in the exact and a case-blind mode
        std::string t = TextOf(r);
        if (!model.empty() && (r.Byte() & 1)) t = model[r.Below(uint32_t(model.size()))].text;
        int from = int(r.Below(uint32_t(model.size()) + 1));
        uint32_t mode = r.Byte() & 1 ? 1 : 0;
        int got = list.Find(int(t.size()), t.data(), from, -1, mode);
        int want = -1;
        for (size_t i = size_t(from); i < model.size() && want < 0; ++i) {
          const std::string& s = model[i].text;
          bool eq = s.size() == t.size();
          for (size_t k = 0; eq && k < s.size(); ++k) {
            unsigned char a = s[k], b = t[k];
            if (mode) {
              if (a >= 'A' && a <= 'Z') a += 32;
              if (b >= 'A' && b <= 'Z') b += 32;
            }
            eq = a == b;
          }
          if (eq) want = int(i);
        }
        line = "Find(" + Show(t) + ", " + std::to_string(from) + ", mode " + std::to_string(mode) + ")";
        if (got != want) res.error = "Find returned " + std::to_string(got) + ", model " + std::to_string(want);
        break;
      }
      case 16: {  // trims and case changes
        uint32_t kind = r.Below(4);
        int from = int(r.Below(uint32_t(model.size()) + 1)), to = -1;
        static const char* kNames[] = {"TrimLeft", "TrimRight", "MakeUpper", "MakeLower"};
        line = std::string(kNames[kind]) + "(" + std::to_string(from) + ")";
        auto trim = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
        for (size_t i = size_t(from); i < model.size(); ++i) {
          std::string& s = model[i].text;
          if (kind == 0) {
            size_t k = 0;
            while (k < s.size() && trim(s[k])) ++k;
            s.erase(0, k);
          } else if (kind == 1) {
            while (!s.empty() && trim(s.back())) s.pop_back();
          } else {
            for (char& c : s) {
              if (c == 0) break;
              if (kind == 2 && c >= 'a' && c <= 'z') c = char(c - 32);
              if (kind == 3 && c >= 'A' && c <= 'Z') c = char(c + 32);
            }
          }
        }
        if (kind == 0) list.TrimLeft(from, to);
        if (kind == 1) list.TrimRight(from, to);
        if (kind == 2) list.MakeUpper(from, to);
        if (kind == 3) list.MakeLower(from, to);
        break;
      }
      case 17: {  // multi-string round trip
        char* out = nullptr;
        uint32_t size = list.GetMultiString(0, -1, &out);
        CTextList back(ds);
        bool hasEmpty = std::any_of(model.begin(), model.end(), [](const Entry& e) {
          return e.text.empty() || e.text.find('\0') != std::string::npos;
        });
        back.SplitN(0, int(size), out, 0, nullptr);
        line = "GetMultiString round trip";
        if (!hasEmpty) {
          std::vector<Entry> want = model;
          for (Entry& e : want) e.data.assign(ds, '\0');
          res.error = CheckList(back, want);
        }
        delete[] out;
        break;
      }
      default: {  // many appends, across a growth boundary
        uint32_t n = r.Below(24);
        for (uint32_t k = 0; k < n; ++k) {
          uint32_t src = model.empty() ? 0 : r.Below(uint32_t(model.size()));
          if (model.empty()) {
            list.InsertString("seed", -1, nullptr);
            model.push_back({"seed", std::string(ds, '\0')});
          } else {
            list.Insert(int(list.LengthAt(src)), list.TextAt(src), -1, list.items[src]);
            model.push_back(model[src]);
          }
        }
        line = "append " + std::to_string(n) + " own texts";
        break;
      }
    }
    res.log.push_back(line);
    if (res.error.empty()) res.error = CheckList(list, model);
    if (!res.error.empty()) return res;
  }
  return res;
}

// ---- The arrays against std::vector ----

using Rec = std::array<uint8_t, 12>;

inline Rec RecOf(Reader& r) {
  Rec x{};
  x[0] = uint8_t(r.Below(5));
  for (size_t k = 1; k < x.size(); ++k) x[k] = r.Byte();
  return x;
}

template <class Array>
std::string CheckRecords(const Array& a, const std::vector<Rec>& model, uint32_t factor) {
  if (a.count != model.size()) return "count " + std::to_string(a.count) + ", model " + std::to_string(model.size());
  if (a.count > a.capacity) return "count above capacity";
  for (uint32_t i = 0; i < a.count; ++i) {
    Rec got{};
    a.GetAt(i, got.data());
    if (got != model[i]) return "record " + std::to_string(i) + " differs";
  }
  // The shrink rule leaves no more than factor times the count.
  if (a.growStep == 0 && a.count && uint64_t(a.count) * factor <= a.capacity) {
    return "capacity " + std::to_string(a.capacity) + " not shrunk for " + std::to_string(a.count);
  }
  return {};
}

// kind 0: CInlineArray, 1: CRecordArray.
template <class Array>
Result RunRecords(const uint8_t* bytes, size_t size, size_t maxOps) {
  Reader r(bytes, size);
  Array a(12, r.Byte() & 1 ? 0 : 5);
  std::vector<Rec> model;
  Result res;
  const uint32_t factor = std::is_same_v<Array, CInlineArray> ? 2 : 4;
  bool removed = false;
  while (!r.Done() && res.ops < maxOps) {
    ++res.ops;
    uint32_t op = r.Below(6);
    std::string line;
    uint32_t idx = AtIndex(r.Byte(), model.size());
    size_t at = std::min<size_t>(idx, model.size());
    switch (op) {
      case 0: {  // InsertAt of n records, sometimes the array's own
        uint32_t n = r.Below(6);
        std::vector<Rec> src;
        for (uint32_t k = 0; k < n; ++k) src.push_back(RecOf(r));
        const void* from = src.data();
        if (!model.empty() && (r.Byte() & 1)) {
          uint32_t k = r.Below(uint32_t(model.size()));
          n = std::min<uint32_t>(n, uint32_t(model.size()) - k);
          if constexpr (std::is_same_v<Array, CInlineArray>) {
            from = a.ElementAt(k);
          } else {
            n = std::min<uint32_t>(n, 1);  // one record block holds one record
            from = a.items[k];
          }
          src.assign(model.begin() + k, model.begin() + k + n);
        }
        a.InsertAt(from, idx, int(n));
        model.insert(model.begin() + long(at), src.begin(), src.begin() + n);
        line = "InsertAt(" + std::to_string(n) + " at " + std::to_string(idx) + ")";
        break;
      }
      case 1: {  // InsertPointers, pointing at the array's own records too
        uint32_t n = r.Below(4);
        std::vector<Rec> src(n);
        std::vector<void*> ptrs(n);
        for (uint32_t k = 0; k < n; ++k) {
          if (!model.empty() && (r.Byte() & 1)) {
            uint32_t j = r.Below(uint32_t(model.size()));
            src[k] = model[j];
            Rec tmp;
            ptrs[k] = a.GetAt(j, tmp.data());
          } else {
            src[k] = RecOf(r);
            ptrs[k] = src[k].data();
          }
        }
        a.InsertPointers(ptrs.data(), idx, int(n));
        model.insert(model.begin() + long(at), src.begin(), src.end());
        line = "InsertPointers(" + std::to_string(n) + " at " + std::to_string(idx) + ")";
        break;
      }
      case 2: {  // SetAt: overwrite and append
        uint32_t n = r.Below(5);
        std::vector<Rec> src;
        for (uint32_t k = 0; k < n; ++k) src.push_back(RecOf(r));
        a.SetAt(src.data(), idx, int(n));
        for (uint32_t k = 0; k < n; ++k) {
          if (at + k < model.size()) {
            model[at + k] = src[k];
          } else {
            model.push_back(src[k]);
          }
        }
        line = "SetAt(" + std::to_string(n) + " at " + std::to_string(idx) + ")";
        break;
      }
      case 3:
      case 4: {
        uint32_t to = r.Byte() == 255 ? 0xFFFFFFFFu : r.Below(uint32_t(model.size()) + 2);
        int got = a.RemoveRange(idx, to);
        size_t end = std::min<size_t>(to, model.size());
        int want = at < end && idx < model.size() ? int(end - at) : 0;
        if (want) model.erase(model.begin() + long(at), model.begin() + long(end));
        removed = want > 0;
        line = "RemoveRange(" + std::to_string(idx) + ", " + std::to_string(to) + ")";
        if (got != want) res.error = "RemoveRange returned " + std::to_string(got);
        break;
      }
      default: {  // a new record written through the returned address
        Rec x = RecOf(r);
        void* p;
        if constexpr (std::is_same_v<Array, CInlineArray>) {
          uint32_t out = 0;
          p = a.InsertNew(idx, 1, &out);
        } else {
          uint32_t out = 0;
          p = a.InsertNew(idx, &out);
        }
        memcpy(p, x.data(), x.size());
        model.insert(model.begin() + long(at), x);
        line = "InsertNew(" + std::to_string(idx) + ")";
        break;
      }
    }
    res.log.push_back(line);
    if (res.error.empty()) res.error = CheckRecords(a, model, removed ? factor : 0xFFFFFFFFu);
    removed = false;
    if (!res.error.empty()) return res;
  }
  return res;
}

// Owning CPointerArray of 8-byte blocks against a vector of values.
inline Result RunPointers(const uint8_t* bytes, size_t size, size_t maxOps) {
  Reader r(bytes, size);
  CPointerArray a(1, r.Byte() & 1 ? 0 : 3);
  std::vector<uint64_t> model;
  Result res;
  auto block = [](uint64_t v) {
    void* p = ::operator new(8);
    memcpy(p, &v, 8);
    return p;
  };
  while (!r.Done() && res.ops < maxOps) {
    ++res.ops;
    uint32_t op = r.Below(6);
    uint32_t idx = AtIndex(r.Byte(), model.size());
    size_t at = std::min<size_t>(idx, model.size());
    uint64_t v = r.U16();
    std::string line;
    switch (op) {
      case 0: {  // InsertAt copies, also from a block of the array itself
        const void* src = &v;
        if (!model.empty() && (r.Byte() & 1)) {
          uint32_t k = r.Below(uint32_t(model.size()));
          v = model[k];
          src = a.items[k];
        }
        a.InsertAt(src, idx, 8);
        model.insert(model.begin() + long(at), v);
        line = "InsertAt(" + std::to_string(v) + ", " + std::to_string(idx) + ")";
        break;
      }
      case 1: {  // SetAt replaces (the old block freed) or appends the block itself
        if (idx < model.size()) {
          a.SetAt(&v, idx, 8);
          model[idx] = v;
        } else {
          a.SetAt(block(v), idx, 8);
          model.push_back(v);
        }
        line = "SetAt(" + std::to_string(v) + ", " + std::to_string(idx) + ")";
        break;
      }
      case 2: {  // SetArray of fresh blocks
        uint32_t n = r.Below(4);
        std::vector<void*> ptrs;
        for (uint32_t k = 0; k < n; ++k) ptrs.push_back(block(v + k));
        a.SetArray(ptrs.data(), idx, int(n));
        for (uint32_t k = 0; k < n; ++k) {
          if (at + k < model.size()) model[at + k] = v + k; else model.push_back(v + k);
        }
        line = "SetArray(" + std::to_string(n) + " at " + std::to_string(idx) + ")";
        break;
      }
      case 3: {  // Detach hands the block over
        void* p = a.Detach(idx);
        if (idx < model.size()) {
          uint64_t got;
          memcpy(&got, p, 8);
          if (got != model[idx]) res.error = "detached block differs";
          model.erase(model.begin() + idx);
        } else if (p) {
          res.error = "Detach out of range gave a block";
        }
        ::operator delete(p);
        line = "Detach(" + std::to_string(idx) + ")";
        break;
      }
      default: {
        uint32_t to = r.Below(uint32_t(model.size()) + 2);
        a.RemoveRange(idx, to);
        size_t end = std::min<size_t>(to, model.size());
        if (idx < model.size() && at < end) model.erase(model.begin() + long(at), model.begin() + long(end));
        line = "RemoveRange(" + std::to_string(idx) + ", " + std::to_string(to) + ")";
        break;
      }
    }
    res.log.push_back(line);
    if (res.error.empty()) {
      if (a.count != model.size()) res.error = "count " + std::to_string(a.count);
      for (uint32_t i = 0; i < a.count && res.error.empty(); ++i) {
        if (a.GetQwordAt(i, 0) != model[i]) res.error = "entry " + std::to_string(i) + " differs";
      }
    }
    if (!res.error.empty()) return res;
  }
  return res;
}

// CByteBuffer against a vector of bytes; MoveBlock against std::rotate.
inline Result RunBytes(const uint8_t* bytes, size_t size, size_t maxOps) {
  Reader r(bytes, size);
  CByteBuffer b;
  std::vector<uint8_t> model;
  Result res;
  auto fresh = [&](uint32_t n) {
    std::vector<uint8_t> v(n);
    uint8_t seed = r.Byte();
    for (uint32_t k = 0; k < n; ++k) v[k] = uint8_t(seed + k * 7);
    return v;
  };
  // n fresh bytes, or (half the time) up to n of the buffer's own bytes.
  auto source = [&](uint32_t& n, std::vector<uint8_t>& v) -> const void* {
    v = fresh(n);
    if (model.empty() || !(r.Byte() & 1)) return v.data();
    uint32_t from = r.Below(uint32_t(model.size()));
    n = std::min<uint32_t>(n, uint32_t(model.size()) - from);
    v.assign(model.begin() + from, model.begin() + from + n);
    return b.data + from;
  };
  auto sizeArg = [&]() { return r.Byte() & 1 ? r.Below(40) : r.U16() % 3000; };
  while (!r.Done() && res.ops < maxOps) {
    ++res.ops;
    uint32_t op = r.Below(6);
    std::string line;
    switch (op) {
      case 0: {  // Append, sometimes of the buffer's own bytes
        uint32_t n = sizeArg();
        std::vector<uint8_t> v;
        const void* src = source(n, v);
        b.Append(src, n);
        model.insert(model.end(), v.begin(), v.begin() + n);
        line = "Append(" + std::to_string(n) + ")";
        break;
      }
      case 1: {  // Extend, the new bytes then written
        uint32_t n = sizeArg();
        uint32_t old = b.used;
        b.Extend(int(n));
        std::vector<uint8_t> v = fresh(n);
        if (n) memcpy(b.data + old, v.data(), n);
        model.insert(model.end(), v.begin(), v.end());
        line = "Extend(" + std::to_string(n) + ")";
        break;
      }
      case 2: {  // Splice, sometimes of the buffer's own bytes
        uint32_t n = sizeArg();
        int repl = int(r.Below(50)) - 5;
        uint32_t pos = r.Below(uint32_t(model.size()) + 3);
        std::vector<uint8_t> v;
        const void* src = source(n, v);
        b.Splice(src, int(n), repl, pos);
        line = "Splice(" + std::to_string(n) + ", " + std::to_string(repl) + ", " + std::to_string(pos) + ")";
        if (n >= 1) {
          size_t p = pos, rl = size_t(std::max(repl, 0));
          if (p > model.size()) p = model.size(), rl = 0;
          size_t endRepl = std::min(model.size(), p + rl);
          model.erase(model.begin() + long(p), model.begin() + long(endRepl));
          model.insert(model.begin() + long(p), v.begin(), v.begin() + n);
        }
        break;
      }
      case 3: {
        int n = int(sizeArg()) - 2;
        uint32_t pos = r.Below(uint32_t(model.size()) + 2);
        b.Remove(n, pos);
        if (n > 0 && pos < model.size()) {
          model.erase(model.begin() + pos, model.begin() + long(std::min<size_t>(model.size(), size_t(pos) + size_t(n))));
        }
        line = "Remove(" + std::to_string(n) + ", " + std::to_string(pos) + ")";
        break;
      }
      case 4: {  // MoveBlock against std::rotate
        int m = int(model.size());
        int from = int(r.U16() % uint32_t(m + 2)) - 1;
        int len = int(r.U16() % uint32_t(m + 2));
        int to = int(r.U16() % uint32_t(m + 2)) - 1;
        int got = b.MoveBlock(from, len, to);
        int want;
        if (from < 0 || len < 0 || to < 0) {
          want = -1;
        } else if (m == 0) {
          want = to < 1 ? 0 : -1;
        } else if (from + len > m || len + to > m) {
          want = -1;
        } else {
          want = to;
          if (to < from) {
            std::rotate(model.begin() + to, model.begin() + from, model.begin() + from + len);
          } else if (to > from) {
            std::rotate(model.begin() + from, model.begin() + from + len, model.begin() + to + len);
          }
        }
        line = "MoveBlock(" + std::to_string(from) + ", " + std::to_string(len) + ", " + std::to_string(to) + ")";
        if (got != want) res.error = "MoveBlock returned " + std::to_string(got);
        break;
      }
      default: {
        uint32_t need = sizeArg();
        uint32_t cap = b.Reserve(need);
        line = "Reserve(" + std::to_string(need) + ")";
        uint32_t want = uint32_t(std::max<uint64_t>({1024, need, model.size()}) * 3 / 2);
        if (cap != want) res.error = "Reserve gave " + std::to_string(cap);
        break;
      }
    }
    res.log.push_back(line);
    if (res.error.empty()) {
      if (b.used != model.size() || b.used > b.capacity ||
          (b.used && memcmp(b.data, model.data(), model.size()) != 0)) {
        res.error = "bytes differ (used " + std::to_string(b.used) + ", model " + std::to_string(model.size()) + ")";
      }
    }
    if (!res.error.empty()) return res;
  }
  return res;
}

// Picks the container by the first byte.
inline Result RunAny(const uint8_t* bytes, size_t size, size_t maxOps = SIZE_MAX) {
  if (size == 0) return {};
  switch (bytes[0] % 5) {
    case 0: return RunTextList(bytes + 1, size - 1, maxOps);
    case 1: return RunRecords<CInlineArray>(bytes + 1, size - 1, maxOps);
    case 2: return RunRecords<CRecordArray>(bytes + 1, size - 1, maxOps);
    case 3: return RunPointers(bytes + 1, size - 1, maxOps);
    default: return RunBytes(bytes + 1, size - 1, maxOps);
  }
}

}  // namespace lists_model
