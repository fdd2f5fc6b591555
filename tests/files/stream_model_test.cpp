// Model-based random test: seeded sequences of reads, writes, line reads,
// positioning, flushes and reopening run on a CFileStream and on a plain byte
// vector with a position; every result and the final bytes must agree.
#include <gtest/gtest.h>

#include <climits>
#include <deque>
#include <sstream>

#include "stream_test_util.h"

namespace {

enum class Target { File, GrowingMemory, FixedMemory, Callbacks, ReadOnlyFile, CodecFile };

const char* TargetName(Target t) {
  switch (t) {
    case Target::File: return "file";
    case Target::GrowingMemory: return "growing memory";
    case Target::FixedMemory: return "fixed memory";
    case Target::Callbacks: return "callbacks";
    case Target::ReadOnlyFile: return "read-only file";
    case Target::CodecFile: return "file under the 8-over-16 codec";
  }
  return "?";
}

// The expected behaviour: a byte vector and a position.
struct Model {
  Bytes data;
  int64_t pos = 0;
  bool memory = false;   // seeks clamp to 0..size
  bool fixed = false;    // writes stop at the size
  bool readOnly = false;  // writes fail, the size is the end
  int sizeFactor = 1;     // the storage's bytes per byte (codec)

  int Write(const uint8_t* p, int n) {
    if (readOnly) return -1;
    if (fixed && pos + n > int64_t(data.size())) {
      int room = int(data.size() - pos);
      std::copy(p, p + room, data.begin() + pos);
      pos = int64_t(data.size());
      return -1;
    }
    if (int64_t(data.size()) < pos + n) data.resize(size_t(pos + n));
    std::copy(p, p + n, data.begin() + pos);
    pos += n;
    return n;
  }
  int Read(uint8_t* out, int n) {
    int64_t available = std::max<int64_t>(0, int64_t(data.size()) - pos);
    int got = int(std::min<int64_t>(n, available));
    if (got == 0) return 0;  // also when the position lies past the end
    std::copy(data.begin() + pos, data.begin() + pos + got, out);
    pos += got;
    return got;
  }
  int Seek(int offset, int origin) {
    int64_t base = origin == 0 ? 0 : origin == 1 ? pos : int64_t(data.size());
    int64_t target = base + offset;
    int64_t previous = pos;
    if (memory) {
      pos = std::clamp<int64_t>(target, 0, int64_t(data.size()));
      return int(previous);
    }
    if (target < 0 || target > INT_MAX) return -1;
    pos = target;
    return int(previous);
  }
  int Size() const {
    if (readOnly) return int(data.size());
    return memory ? int(data.size())
                  : sizeFactor * int(std::max<int64_t>(int64_t(data.size()), pos));
  }
  // CR, LF and CR LF end a line; longer lines come in pieces of size - 1.
  int ReadLine(int size, std::string& line) {
    line.clear();
    if (size < 2 || pos >= int64_t(data.size())) return -1;
    const int64_t end = int64_t(data.size());
    while (pos < end && int(line.size()) < size - 1 && data[pos] != '\r' && data[pos] != '\n') {
      line += char(data[pos++]);
    }
    if (pos < end && data[pos] == '\r') {
      ++pos;
      if (pos < end && data[pos] == '\n') ++pos;
    } else if (pos < end && data[pos] == '\n') {
      ++pos;
    }
    return int(line.size());
  }
};

struct Runner {
  Target target;
  int capacity;
  uint32_t seed;
  ScratchDir dir;
  std::string path;
  VectorBackend backend;
  BYTE* fixedBlock = nullptr;
  int fixedSize = 0;
  Model model;
  CFileStream stream{512};
  std::deque<std::string> log;
  int opCount = 0;
  uint32_t rng;

  Runner(Target t, int cap, uint32_t s) : target(t), capacity(cap), seed(s), rng(s * 747796405u + 1) {
    path = dir.File("model.bin");
  }
  ~Runner() {
    if (target == Target::GrowingMemory) {
      void* block = stream.GetData();
      stream.Close();
      ::operator delete(block);
    }
    stream.Close();
    ::operator delete(fixedBlock);
  }

  uint32_t Next() {
    rng ^= rng << 13;
    rng ^= rng >> 17;
    rng ^= rng << 5;
    return rng;
  }
  uint32_t Below(uint32_t n) { return Next() % n; }
  // Some kilobytes of text with line ends, for the targets that start full.
  Bytes RandomText() {
    Bytes text = RandomBytes(Next(), 1 + Below(90000));
    for (auto& b : text) {
      if (b % 7 == 0) b = '\n';
      else if (b % 11 == 0) b = '\r';
    }
    return text;
  }
  // Mostly small counts, sometimes whole buffers, rarely up to 70,000.
  int Chunk() {
    switch (Below(10)) {
      case 0: return 1 + int(Below(70000));
      case 1: case 2: return 1 + int(Below(capacity * 2));
      default: return 1 + int(Below(40));
    }
  }

  void Note(const std::string& what) {
    log.push_back(std::to_string(opCount) + ": " + what);
    if (log.size() > 40) log.pop_front();
  }
  std::string Failure(const std::string& what) {
    std::ostringstream out;
    out << TargetName(target) << ", capacity " << capacity << ", seed " << seed
        << ": first mismatch at operation " << opCount << " (shortest failing prefix "
        << opCount + 1 << " operations): " << what << "\nlast operations:\n";
    for (const auto& line : log) out << "  " << line << "\n";
    return out.str();
  }

  bool Reopen(bool first) {
    stream.SetBufferSize(capacity);
    switch (target) {
      case Target::File:
        if (first) WriteWholeFile(path, model.data);
        model.pos = 0;
        return stream.Open(path.c_str(), STREAM_MODE_READWRITE, false);
      case Target::Callbacks:
        model.pos = 0;
        return backend.OpenOn(stream);
      case Target::ReadOnlyFile:
        if (first) {
          model.readOnly = true;
          model.data = RandomText();
          WriteWholeFile(path, model.data);
        }
        model.pos = 0;
        return stream.Open(path.c_str(), STREAM_MODE_READ, false);
      case Target::CodecFile:
        if (first) {
          model.sizeFactor = 2;
          model.data = RandomText();
          Bytes stored;
          for (uint8_t b : model.data) stored.insert(stored.end(), {b, 0});
          WriteWholeFile(path, stored);
        }
        model.pos = 0;
        return stream.OpenWithCodec(path.c_str(), STREAM_MODE_READWRITE, false, &StreamCodec8Over16);
      case Target::GrowingMemory: {
        if (first) {
          model.memory = true;
          model.pos = 0;
          return stream.OpenMemory(nullptr, 0, 2);
        }
        int fill = 0;
        void* block = stream.GetData(&fill);
        stream.Close();
        model.pos = fill;
        return stream.OpenMemory(block, unsigned(fill), 1);
      }
      case Target::FixedMemory:
        if (first) {
          model.memory = model.fixed = true;
          fixedSize = 1 + int(Below(100000));
          model.data = RandomBytes(seed, size_t(fixedSize));
          fixedBlock = static_cast<BYTE*>(::operator new(size_t(fixedSize)));
          std::memcpy(fixedBlock, model.data.data(), size_t(fixedSize));
        } else {
          stream.Close();
        }
        model.pos = 0;
        return stream.OpenMemory(fixedBlock, unsigned(fixedSize), 3);
    }
    return false;
  }

  Bytes Stored() {
    switch (target) {
      case Target::File:
      case Target::ReadOnlyFile: return ReadWholeFile(path);
      case Target::CodecFile: {
        Bytes stored = ReadWholeFile(path), narrow;
        for (size_t i = 0; i < stored.size(); i += 2) {
          if (i + 1 >= stored.size() || stored[i + 1] != 0) return {'?'};
          narrow.push_back(stored[i]);
        }
        return narrow;
      }
      case Target::Callbacks: return backend.data;
      case Target::GrowingMemory: {
        int fill = 0;
        BYTE* block = static_cast<BYTE*>(stream.GetData(&fill));
        return Bytes(block, block + fill);
      }
      case Target::FixedMemory: return Bytes(fixedBlock, fixedBlock + fixedSize);
    }
    return {};
  }

  // Runs `ops` operations; an empty string means every result agreed.
  std::string Run(int ops) {
    const bool memory = target == Target::GrowingMemory || target == Target::FixedMemory;
    if (!Reopen(true)) return Failure("open failed");
    Bytes scratch(70001), expected(70001);
    for (opCount = 0; opCount < ops; ++opCount) {
      uint32_t kind = Below(100);
      std::ostringstream what;
      if (kind < 22) {
        int n = Chunk();
        Bytes bytes = RandomBytes(Next(), size_t(n));
        what << "Write(" << n << ") at " << model.pos;
        Note(what.str());
        int want = model.Write(bytes.data(), n);
        int got = stream.Write(bytes.data(), n);
        if (got != want) return Failure(what.str() + " returned " + std::to_string(got));
      } else if (kind < 30) {
        int width = 1 << Below(4);
        uint64_t value = (uint64_t(Next()) << 32) | Next();
        what << "WriteU" << width * 8 << " at " << model.pos;
        Note(what.str());
        uint8_t le[8];
        for (int i = 0; i < 8; ++i) le[i] = uint8_t(value >> (8 * i));
        int want = model.Write(le, width);
        int got = width == 1 ? stream.WriteU8(BYTE(value))
                  : width == 2 ? stream.WriteU16(WORD(value))
                  : width == 4 ? stream.WriteU32(DWORD(value))
                               : stream.WriteU64(value);
        if ((want < 0) != (got < 0)) return Failure(what.str() + " returned " + std::to_string(got));
      } else if (kind < 48) {
        int n = Chunk();
        what << "Read(" << n << ") at " << model.pos;
        Note(what.str());
        int want = model.Read(expected.data(), n);
        int got = stream.Read(scratch.data(), n);
        if (got != want) return Failure(what.str() + " returned " + std::to_string(got) + ", expected " + std::to_string(want));
        if (!std::equal(expected.begin(), expected.begin() + want, scratch.begin()))
          return Failure(what.str() + " read other bytes");
      } else if (kind < 58) {
        static const int kSizes[] = {1, 2, 4, 7, 100, 1024, 5000};
        int size = kSizes[Below(7)];
        what << "ReadLine(" << size << ") at " << model.pos;
        Note(what.str());
        std::string want;
        int wantN = model.ReadLine(size, want);
        std::vector<char> line(size_t(size) + 1, 'Z');
        int got = stream.ReadLine(line.data(), size);
        if (got != wantN) return Failure(what.str() + " returned " + std::to_string(got) + ", expected " + std::to_string(wantN));
        if (std::string(line.data(), size_t(std::max(got, 0))) != want || line[size_t(std::max(got, 0))] != 0)
          return Failure(what.str() + " gave another line");
      } else if (kind < 72) {
        int origin = int(Below(3));
        int64_t size = int64_t(model.data.size());
        int offset;
        switch (Below(4)) {
          case 0: offset = int(Below(uint32_t(size + 2000))); break;
          case 1: offset = -int(Below(uint32_t(size + 10))); break;
          case 2: offset = int(Below(64)) - 32; break;
          default: offset = origin == 0 ? int(Below(uint32_t(size + 1))) : 0; break;
        }
        what << "Seek(" << offset << ", " << origin << ") at " << model.pos;
        Note(what.str());
        int want = model.Seek(offset, origin);
        int got = stream.Seek(offset, origin);
        if (got != want) return Failure(what.str() + " returned " + std::to_string(got) + ", expected " + std::to_string(want));
      } else if (kind < 78) {
        Note("Tell at " + std::to_string(model.pos));
        int got = stream.Tell();
        if (got != model.pos) return Failure("Tell returned " + std::to_string(got));
      } else if (kind < 82) {
        Note("GetSize");
        int got = stream.GetSize();
        if (got != model.Size()) return Failure("GetSize returned " + std::to_string(got) + ", expected " + std::to_string(model.Size()));
      } else if (kind < 86) {
        Note("Flush");
        bool got = stream.Flush();
        if (got != !(memory || model.readOnly)) return Failure("Flush returned " + std::to_string(got));
      } else if (kind < 94) {
        int skip = Below(3) == 0 ? int(Below(300)) : 0;
        int need = 1 + int(Below(uint32_t(capacity)));
        what << "Peek(" << skip << ", " << need << ") at " << model.pos;
        Note(what.str());
        if (skip > 0 && model.Seek(skip, 1) < 0) return Failure(what.str() + ": model seek");
        const unsigned char* data = nullptr;
        int got = stream.Peek(skip, &data, need);
        int64_t remaining = std::max<int64_t>(0, int64_t(model.data.size()) - model.pos);
        if (target == Target::Callbacks) {
          if (got != -1 || data != nullptr) return Failure(what.str() + " gave data");
          continue;
        }
        const int threshold = capacity / 8 >= 4096 ? capacity / 8 : capacity / 2;
        int64_t least = std::min<int64_t>(remaining, std::min(need, threshold));
        if (got < least || got > remaining || data == nullptr)
          return Failure(what.str() + " returned " + std::to_string(got));
        if (got > 0 && !std::equal(data, data + got, model.data.data() + model.pos))
          return Failure(what.str() + " showed other bytes");
      } else if (kind < 96) {
        what << "typed read at " << model.pos;
        Note(what.str());
        if (!model.readOnly) {
          if (stream.ReadU8() != ~DWORD(0) || stream.ReadU32() != ~DWORD(0) || stream.ReadU64() != ~uint64_t(0))
            return Failure("a typed read on a writable stream did not give -1");
          continue;
        }
        uint8_t le[4];
        int n = model.Read(le, 4);
        DWORD want = n == 4 ? DWORD(le[0] | le[1] << 8 | le[2] << 16 | uint32_t(le[3]) << 24) : ~DWORD(0);
        DWORD got = stream.ReadU32();
        if (got != want) return Failure(what.str() + ": ReadU32 gave " + std::to_string(got));
      } else {
        Note("Close and reopen");
        if (!memory) {
          if (!stream.Close()) return Failure("Close returned false");
        }
        if (!Reopen(false)) return Failure("reopen failed");
      }
    }
    if (!memory) {
      if (!stream.Close()) return Failure("final Close returned false");
    }
    Bytes stored = Stored();
    if (stored != model.data) {
      size_t at = 0;
      while (at < stored.size() && at < model.data.size() && stored[at] == model.data[at]) ++at;
      return Failure("final bytes differ at offset " + std::to_string(at) + " (sizes " +
                     std::to_string(stored.size()) + " and " + std::to_string(model.data.size()) + ")");
    }
    return "";
  }
};

class StreamModel : public ::testing::TestWithParam<std::tuple<Target, int>> {};

TEST_P(StreamModel, EveryResultAndTheFinalBytesMatchAByteVector) {
  auto [target, capacity] = GetParam();
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    Runner runner(target, capacity, seed);
    std::string failure = runner.Run(400);
    ASSERT_EQ(failure, "");
  }
}

std::string ParamName(const ::testing::TestParamInfo<std::tuple<Target, int>>& info) {
  static const char* const kNames[] = {"File",      "GrowingMemory", "FixedMemory",
                                       "Callbacks", "ReadOnlyFile",  "CodecFile"};
  return std::string(kNames[int(std::get<0>(info.param))]) + "_" +
         std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(TargetsAndCapacities, StreamModel,
                         ::testing::Combine(::testing::Values(Target::File, Target::GrowingMemory,
                                                              Target::FixedMemory, Target::Callbacks,
                                                              Target::ReadOnlyFile, Target::CodecFile),
                                            ::testing::Values(512, 4096, 32768)),
                         ParamName);

}  // namespace
