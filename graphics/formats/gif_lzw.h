// GIF's variable-length LZW: codes of (minimum code size + 1) up to 12 bits,
// least significant bit first, packed into data sub-blocks of 254 bytes. A
// full table of 4096 codes is cleared and started afresh, so a stream never
// asks a decoder for a thirteenth bit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/types.h"

class CGifLzwCoder {
 public:
  // Begins an image's data for pixel values below 2^minCodeSize (2..8): an
  // empty table and a clear code.
  void Start(int minCodeSize, std::vector<BYTE>& out);
  // Codes the next `count` pixel values; complete sub-blocks (count byte and
  // data) are appended to `out`.
  void Encode(const BYTE* pixels, size_t count, std::vector<BYTE>& out);
  // Ends the data: the pending string, end of information, the last bits
  // padded to a byte and the last sub-block. The block terminator is the
  // caller's.
  void Finish(std::vector<BYTE>& out);

  static constexpr DWORD kMaxCodes = 4096;  // codes 0..4095 fit 12 bits
  static constexpr int kMaxBits = 12;
  static constexpr size_t kHashSize = 5003;  // a prime above 4096 * 1.2
  static constexpr size_t kBlockSize = 254;

 private:
  static constexpr DWORD kNone = 0xFFFFFFFF;
  static constexpr int32_t kEmpty = -1;

  void ClearTable();
  void Put(DWORD code, std::vector<BYTE>& out);
  void FlushBlock(std::vector<BYTE>& out);

  int width_ = 0;      // bits of the next code
  int initWidth_ = 0;  // minimum code size + 1
  DWORD clear_ = 0;
  DWORD end_ = 0;
  DWORD next_ = 0;     // the code the next new string gets
  DWORD largest_ = 0;  // the largest code `width_` bits may carry before growing
  bool clearing_ = false;
  DWORD current_ = kNone;  // code of the string matched so far
  DWORD accumulator_ = 0;
  int bits_ = 0;
  size_t fill_ = 0;
  std::array<BYTE, 256> block_{};
  // Strings as (pixel << 12) + prefix code, open addressing.
  std::array<int32_t, kHashSize> keys_{};
  std::array<uint16_t, kHashSize> codes_{};
};
