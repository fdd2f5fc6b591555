#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <numeric>
#include <type_traits>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/arrays_inline.h"
#include "toolkit/bytebuffer.h"
#include "toolkit/pointerarray.h"
#include "toolkit/recordarray.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(PointerArray, CapacityGrowsTo16Then25AndInStepsOf10) {
  CPointerArray a;
  std::vector<uint32_t> seen;
  for (int i = 0; i < 30; ++i) {
    a.InsertAt(nullptr, 0xFFFFFFFF, 0);
    if (seen.empty() || seen.back() != a.capacity) seen.push_back(a.capacity);
  }
  EXPECT_EQ(seen, (std::vector<uint32_t>{16, 25, 39}));
  CPointerArray b(0, 10);
  b.InsertAt(nullptr, 0, 0);
  EXPECT_EQ(b.capacity, 10u);
  for (int i = 0; i < 10; ++i) b.InsertAt(nullptr, 0, 0);
  EXPECT_EQ(b.capacity, 20u);
  CPointerArray c;
  void* many[20] = {};
  c.InsertArray(many, 0, 20);
  EXPECT_EQ(c.capacity, 30u);  // (0 + 20) * 3 / 2
}

TEST(PointerArray, ShrinksAfterRemovalsByTheQuarterRule) {
  CPointerArray a;
  for (int i = 0; i < 16; ++i) a.InsertAt(nullptr, 0, 0);
  ASSERT_EQ(a.capacity, 16u);
  EXPECT_EQ(a.RemoveRange(0, 11), 11);  // 5 left: 20 > 16
  EXPECT_EQ(a.capacity, 16u);
  EXPECT_EQ(a.RemoveRange(3, 5), 2);  // 3 left: 12 <= 16
  EXPECT_EQ(a.capacity, 4u);
  EXPECT_EQ(a.RemoveRange(0, 99), 3);
  EXPECT_EQ(a.capacity, 0u);
  EXPECT_EQ(a.RemoveRange(0, 1), 0);
  CPointerArray g(0, 4);
  for (int i = 0; i < 20; ++i) g.InsertAt(nullptr, 0, 0);
  ASSERT_EQ(g.capacity, 20u);
  g.RemoveRange(0, 16);  // 4 + 16 <= 20
  EXPECT_EQ(g.capacity, 8u);
}

TEST(InlineArray, ShrinksAtHalf) {
  CInlineArray a(4);
  uint32_t values[16];
  std::iota(values, values + 16, 0u);
  a.InsertAt(values, 0, 16);
  ASSERT_EQ(a.capacity, 24u);  // (0 + 16) * 3 / 2
  a.RemoveAll();
  for (uint32_t v : values) a.InsertAt(&v, 0xFFFFFFFF, 1);
  ASSERT_EQ(a.capacity, 16u);
  a.RemoveRange(8, 16);  // 16 <= 16
  EXPECT_EQ(a.capacity, 12u);
  for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(a.GetDwordAt(i, 0), i);
  EXPECT_EQ(a.GetDwordAt(0, 1), 0u);  // 1 + 4 > 4
}

TEST(RecordArray, SingleInsertsGrowByHalf) {
  CRecordArray a(4);
  std::vector<uint32_t> seen;
  for (int i = 0; i < 40; ++i) {
    uint32_t idx;
    a.InsertNew(0xFFFFFFFF, &idx);
    EXPECT_EQ(idx, uint32_t(i));
    if (seen.empty() || seen.back() != a.capacity) seen.push_back(a.capacity);
  }
  EXPECT_EQ(seen, (std::vector<uint32_t>{16, 24, 36, 54}));
}

TEST(Arrays, RetiredArrayStaysReadableUntilTheNextReallocation) {
  CPointerArray a;
  int x = 5;
  a.InsertAt(&x, 0, 0);
  void** before = a.items;
  for (int i = 0; i < 16; ++i) a.InsertAt(nullptr, 0xFFFFFFFF, 0);
  EXPECT_EQ(a.retired, before);
  EXPECT_EQ(before[0], &x);  // still readable
}

// Ownership, checked by LSan in the sanitizer build: every owned block is
// freed exactly once.
TEST(PointerArrayOwnership, CopiesAndFreesOwnedBlocks) {
  CPointerArray a(1);
  const char text[] = "hello";
  a.InsertAt(text, 0, sizeof text);
  EXPECT_NE(a.items[0], text);
  EXPECT_STREQ(static_cast<char*>(a.items[0]), "hello");
  a.InsertAt(a.items[0], 1, sizeof text);  // copied from its own block
  EXPECT_STREQ(static_cast<char*>(a.items[1]), "hello");
  a.SetAt("bye", 0, 4);  // replaces and frees
  EXPECT_STREQ(static_cast<char*>(a.items[0]), "bye");
  void* taken = ::operator new(3);
  std::memcpy(taken, "ok", 3);
  EXPECT_EQ(a.SetAt(taken, 7, 3), 2u);  // past the end: taken over uncopied
  EXPECT_EQ(a.items[2], taken);
  a.SetAt(a.items[1], 1, 0);  // the same pointer: kept, not freed
  EXPECT_STREQ(static_cast<char*>(a.items[1]), "hello");
  void* detached = a.Detach(0);
  EXPECT_STREQ(static_cast<char*>(detached), "bye");
  ::operator delete(detached);
  void* fresh[2] = {::operator new(1), ::operator new(1)};
  a.SetArray(fresh, 1, 2);  // overwrites slot 1 (freed), appends one
  EXPECT_EQ(a.count, 3u);
  EXPECT_EQ(a.RemoveRange(0, 1), 1);
  a.RemoveAll();
  EXPECT_EQ(a.count, 0u);
  EXPECT_FALSE(a.SetOwnership(0, 5) && a.growStep != 5);
  a.InsertAt(text, 0, sizeof text);
  EXPECT_FALSE(a.SetOwnership(1, -1));  // not while holding items
}

TEST(PointerArrayOwnership, NonOwningArraysNeverFree) {
  CPointerArray a(0);
  int values[3] = {1, 2, 3};
  for (int& v : values) a.InsertAt(&v, 0xFFFFFFFF, sizeof v);
  EXPECT_EQ(a.items[0], &values[0]);
  a.SetAt(&values[2], 0, 4);
  a.RemoveRange(0, 2);
  EXPECT_EQ(a.GetDwordAt(0, 0), 3u);
  uint32_t copy = 0;
  EXPECT_EQ(a.GetItemCopy(0, &copy, 4), &values[2]);
  EXPECT_EQ(copy, 3u);
  EXPECT_EQ(a.GetItemCopy(1, &copy, 4), nullptr);
  void* self[1] = {nullptr};
  a.InsertArray(a.items, 0, 1);  // from its own array
  EXPECT_EQ(a.items[0], &values[2]);
  a.SetArray(self, 5, 1);
  EXPECT_EQ(a.count, 3u);
}

TEST(PointerArray, LinearSearchesAndArgumentOrder) {
  CPointerArray a(1);
  const uint32_t r0[3] = {1, 2, 3}, r1[3] = {4, 5, 6}, r2[3] = {4, 9, 6};
  for (const uint32_t* r : {r0, r1, r2}) a.InsertAt(r, 0xFFFFFFFF, 12);
  // Arguments: value, from, to, offset.
  EXPECT_EQ(a.FindDwordAt(6, 0, 0xFFFFFFFF, 8), 1);
  EXPECT_EQ(a.FindDwordAt(6, 2, 0xFFFFFFFF, 8), 2);
  EXPECT_EQ(a.FindDwordAt(6, 0, 1, 8), -1);
  EXPECT_EQ(a.FindQwordAt(uint64_t{6} << 32 | 9, 0, 0xFFFFFFFF, 4), 2);
  EXPECT_EQ(a.FindBytes(r2 + 1, 0, 0xFFFFFFFF, 4, 4), 2);
  EXPECT_EQ(a.FindBytes(nullptr, 0, 0xFFFFFFFF, 4, 4), -1);
  EXPECT_EQ(a.FindBytes(r2, 4, 9, 4, 0), -1);
  EXPECT_EQ(a.FindCallback(5, 0, 0xFFFFFFFF,
                           [](uintptr_t key, void* item) {
                             uint32_t v;
                             std::memcpy(&v, static_cast<char*>(item) + 4, 4);
                             return int(v != key);
                           }),
            1);
  EXPECT_EQ(a.GetQwordAt(1, 4), uint64_t{6} << 32 | 5);
}

TEST(RecordArray, InsertsReplacesAndKeysBeyondTheRecord) {
  CRecordArray a(8);
  const uint64_t r[3] = {10, 20, 30};
  EXPECT_EQ(a.InsertAt(r, 0, 3), 0u);
  void* p[2] = {const_cast<uint64_t*>(&r[2]), a.items[0]};
  EXPECT_EQ(a.InsertPointers(p, 1, 2), 1u);  // one from its own records
  EXPECT_EQ(a.GetQwordAt(1, 0), 30u);
  EXPECT_EQ(a.GetQwordAt(2, 0), 10u);
  const uint64_t over[3] = {7, 8, 9};
  EXPECT_EQ(a.SetAt(over, 4, 3), 4u);  // overwrites 1, appends 2
  EXPECT_EQ(a.count, 7u);
  EXPECT_EQ(a.GetQwordAt(6, 0), 9u);
  void* mine = ::operator new(8);
  std::memset(mine, 0x11, 8);
  void* old = a.ReplacePointer(mine, 0);
  EXPECT_EQ(a.GetQwordAt(0, 0), 0x1111111111111111ull);
  ::operator delete(old);
  EXPECT_EQ(a.ReplacePointer(::operator new(8), 99), nullptr);  // appended
  EXPECT_EQ(a.count, 8u);
  EXPECT_EQ(a.GetDwordAt(0, 5), 0u);  // 5 + 4 > 8
  EXPECT_EQ(a.FindDwordAt(0x11111111, 0, 0xFFFFFFFF, 5), -1);
  EXPECT_FALSE(a.SetRecordSize(4, -1));
  EXPECT_TRUE(a.RemoveAt(0));
  EXPECT_FALSE(a.RemoveAt(99));
  void* pp[1] = {a.items[1]};
  a.SetPointers(pp, 0, 1);
  EXPECT_EQ(a.GetQwordAt(0, 0), a.GetQwordAt(1, 0));
}

TEST(ByteBuffer, ReserveExtendAndPartVectors) {
  CByteBuffer b;
  EXPECT_EQ(b.Extend(100), 100u);
  EXPECT_EQ(b.capacity, 1536u);
  EXPECT_EQ(b.Extend(0), 0u);
  EXPECT_EQ(b.Reserve(10), 1536u);  // never below used: max(1024, 10, 100) * 3 / 2
  EXPECT_EQ(b.Reserve(2000), 3000u);
  CByteBuffer c;
  const uint8_t five[5] = {1, 2, 3, 4, 5};
  c.Append(five, 5);
  EXPECT_EQ(c.MoveBlock(0, 2, 3), 3);
  EXPECT_EQ(Bytes(c.data, c.data + 5), (Bytes{3, 4, 5, 1, 2}));
  EXPECT_EQ(c.MoveBlock(3, 2, 0), 0);
  EXPECT_EQ(Bytes(c.data, c.data + 5), (Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(c.MoveBlock(1, 3, 3), -1);
  EXPECT_EQ(c.MoveBlock(-1, 1, 0), -1);
  EXPECT_EQ(c.MoveBlock(2, 0, 4), 4);
  CByteBuffer e;
  EXPECT_EQ(e.MoveBlock(0, 0, 0), 0);
  EXPECT_EQ(e.MoveBlock(0, 0, 1), -1);
  // Beyond 32 bits fails like a failed allocation, leaving the buffer.
  uint8_t* before = b.data;
  EXPECT_EQ(b.Reserve(0xB0000000u), 0u);
  EXPECT_EQ(b.Reserve(0xFFFFFFFFu), 0u);
  EXPECT_EQ(b.data, before);
  EXPECT_EQ(b.capacity, 3000u);
  EXPECT_EQ(b.used, 100u);
  CByteBuffer sized(64);
  EXPECT_EQ(sized.capacity, 64u);
  EXPECT_EQ(sized.used, 0u);
}

TEST(ByteBuffer, SpliceMakesRoomAndTakesItsOwnBytes) {
  CByteBuffer b;
  const uint8_t abc[3] = {'a', 'b', 'c'};
  b.Append(abc, 3);
  EXPECT_EQ(b.Splice("XY", 2, 1, 1), 4u);  // a X Y c
  EXPECT_EQ(Bytes(b.data, b.data + 4), (Bytes{'a', 'X', 'Y', 'c'}));
  EXPECT_EQ(b.Splice("Z", 1, 5, 99), 5u);  // pos past the end: appended
  EXPECT_EQ(b.Splice("Q", 1, 9, 2), 3u);   // replaces to the end
  EXPECT_EQ(Bytes(b.data, b.data + 3), (Bytes{'a', 'X', 'Q'}));
  EXPECT_EQ(b.Splice("", 0, 1, 0), 3u);
  // Fill the buffer to its capacity, then splice a part of itself in.
  std::vector<uint8_t> fill(b.capacity - b.used, '.');
  b.Append(fill.data(), uint32_t(fill.size()));
  ASSERT_EQ(b.used, b.capacity);
  uint32_t before = b.used;
  EXPECT_EQ(b.Splice(b.data, 3, 0, 1), before + 3);  // grows past the capacity
  EXPECT_EQ(Bytes(b.data, b.data + 7), (Bytes{'a', 'a', 'X', 'Q', 'X', 'Q', '.'}));
  EXPECT_EQ(b.Append(b.data + 1, 2), before + 5);
  EXPECT_EQ(b.data[before + 3], 'a');
  EXPECT_EQ(b.Remove(2, 0), before + 3);
  EXPECT_EQ(b.Remove(1 << 30, 1), 1u);  // reaches the end
  b.Free();
  EXPECT_EQ(b.data, nullptr);
}

TEST(ByteBuffer, MoveBlockAboveTheStackCopy) {
  CByteBuffer b;
  std::vector<uint8_t> v(5000);
  for (size_t i = 0; i < v.size(); ++i) v[i] = uint8_t(i * 13);
  b.Append(v.data(), uint32_t(v.size()));
  EXPECT_EQ(b.MoveBlock(100, 2000, 2500), 2500);
  std::rotate(v.begin() + 100, v.begin() + 2100, v.begin() + 4500);
  EXPECT_EQ(Bytes(b.data, b.data + b.used), v);
}

TEST(Arrays, AreMoveOnly) {
  static_assert(!std::is_copy_constructible_v<CPointerArray>);
  static_assert(!std::is_copy_constructible_v<CInlineArray>);
  static_assert(!std::is_copy_constructible_v<CRecordArray>);
  static_assert(!std::is_copy_constructible_v<CByteBuffer>);
  CRecordArray a(4);
  uint32_t v = 3;
  a.InsertAt(&v, 0, 1);
  CRecordArray b(std::move(a));
  EXPECT_EQ(b.GetDwordAt(0, 0), 3u);
  EXPECT_EQ(a.count, 0u);  // NOLINT(bugprone-use-after-move)
  CByteBuffer x;
  x.Append(&v, 4);
  CByteBuffer y;
  y = std::move(x);
  EXPECT_EQ(y.used, 4u);
}

}  // namespace
