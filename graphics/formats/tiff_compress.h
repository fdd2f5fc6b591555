// The two compressions of TIFF strips the TIFF writer offers: LZW (codes of
// 9 to 12 bits, most significant bit first, the width growing one code early
// as TIFF readers expect) and PackBits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/types.h"

class CTiffLzwCoder {
 public:
  // Begins a strip: an empty table and a clear code.
  void Start(std::vector<BYTE>& out);
  void Encode(const BYTE* data, size_t count, std::vector<BYTE>& out);
  // Ends a strip: the pending string, end of information, and the last bits
  // padded to a byte.
  void Finish(std::vector<BYTE>& out);

 private:
  static constexpr DWORD kNone = 0xFFFF;
  static constexpr DWORD kClear = 256;
  static constexpr DWORD kEnd = 257;
  static constexpr size_t kHashSize = 9973;

  void ResetTable();
  void Put(DWORD code, std::vector<BYTE>& out);
  // Counts a new code; widens the codes, or clears a full table.
  void Advance(std::vector<BYTE>& out);

  int width_ = 9;
  DWORD limit_ = 511;
  DWORD accumulator_ = 0;
  int bits_ = 0;
  DWORD current_ = kNone;
  DWORD next_ = 258;
  std::vector<uint32_t> prefix_;
  std::vector<BYTE> suffix_;
  std::vector<uint16_t> hash_;  // codes; 0 marks an empty slot (no entry is code 0)
};

// Appends the PackBits form of one row.
void PackBitsRow(const BYTE* data, size_t count, std::vector<BYTE>& out);
