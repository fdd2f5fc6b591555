// Line reading over arbitrary bytes: the first bytes pick the line size, the
// buffer capacity, how many bytes the back-end gives per read and the text
// width; the pieces ReadLine / ReadLineW return must be exactly the lines a
// plain splitter finds (CR, LF, CR LF), cut into pieces of size - 1. The
// bytes are also tried as a "res://" name.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "files/stream.h"

namespace {

struct Source {
  const uint8_t* data;
  size_t size;
  size_t position;
  int chunk;
};

int ReadSource(INT_PTR handle, void* destination, int count) {
  Source* s = reinterpret_cast<Source*>(handle);
  size_t n = std::min(size_t(count), s->size - s->position);
  if (s->chunk > 0) n = std::min(n, size_t(s->chunk));
  if (n == 0) return 0;
  std::memcpy(destination, s->data + s->position, n);
  s->position += n;
  return int(n);
}

int CloseSource(INT_PTR) { return 0; }

// Lines as a plain loop finds them, each cut into pieces of at most `most`.
std::vector<std::vector<unsigned>> Expected(const std::vector<unsigned>& units, size_t most) {
  std::vector<std::vector<unsigned>> pieces;
  size_t i = 0;
  while (i < units.size()) {
    std::vector<unsigned> line;
    while (i < units.size() && units[i] != '\r' && units[i] != '\n') line.push_back(units[i++]);
    if (i < units.size()) {  // one line end: CR, LF or CR LF
      if (units[i++] == '\r' && i < units.size() && units[i] == '\n') ++i;
    }
    size_t at = 0;
    do {
      size_t n = std::min(most, line.size() - at);
      pieces.emplace_back(line.begin() + long(at), line.begin() + long(at + n));
      at += n;
    } while (at < line.size());
  }
  return pieces;
}

template <class Char>
void CheckLines(const uint8_t* data, size_t size, int lineSize, int capacity, int chunk) {
  std::vector<unsigned> units;
  std::vector<uint8_t> stored;
  for (size_t i = 0; i < size; ++i) {
    units.push_back(data[i]);
    stored.push_back(data[i]);
    if (sizeof(Char) == 2) stored.push_back(0);
  }
  Source source{stored.data(), stored.size(), 0, chunk};
  CFileStream stream(capacity);
  if (!stream.OpenCallbacks(reinterpret_cast<INT_PTR>(&source), ReadSource, CloseSource)) std::abort();
  std::vector<Char> line(size_t(lineSize) + 1);
  for (const auto& piece : Expected(units, size_t(lineSize - 1))) {
    int got;
    if constexpr (sizeof(Char) == 2) {
      got = stream.ReadLineW(line.data(), lineSize);
    } else {
      got = stream.ReadLine(line.data(), lineSize);
    }
    if (got != int(piece.size()) || line[piece.size()] != 0) std::abort();
    for (size_t i = 0; i < piece.size(); ++i) {
      if (unsigned(static_cast<std::make_unsigned_t<Char>>(line[i])) != piece[i]) std::abort();
    }
  }
  int last;
  if constexpr (sizeof(Char) == 2) {
    last = stream.ReadLineW(line.data(), lineSize);
  } else {
    last = stream.ReadLine(line.data(), lineSize);
  }
  if (last != -1) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const int kSizes[] = {2, 3, 4, 7, 64, 513, 1024, 40000};
  const int lineSize = kSizes[data[0] & 7];
  const int capacity = (data[0] & 8) ? 4096 : 512;
  const bool wide = (data[0] & 16) != 0;
  const int chunk = data[1] & 7;
  if (wide) {
    CheckLines<wchar16>(data + 2, size - 2, lineSize, capacity, chunk);
  } else {
    CheckLines<char>(data + 2, size - 2, lineSize, capacity, chunk);
  }
  std::string name = "res://" + std::string(reinterpret_cast<const char*>(data + 2), size - 2);
  CFileStream stream;
  stream.Open(name.c_str());  // no resources here: must simply fail
  std::u16string wideName(name.begin(), name.end());
  stream.OpenW(wideName.c_str());
  return 0;
}
