// Model tests: random operation sequences on the string list, the arrays and
// the byte buffer, each checked against a std container after every step.
// A failure prints the shortest failing prefix of operations.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "lists_model.h"

namespace {

std::string ShortestFailure(const std::vector<uint8_t>& bytes) {
  lists_model::Result full = lists_model::RunAny(bytes.data(), bytes.size());
  if (full.error.empty()) return {};
  for (size_t n = 1; n <= full.ops; ++n) {
    lists_model::Result part = lists_model::RunAny(bytes.data(), bytes.size(), n);
    if (part.error.empty()) continue;
    std::string out = part.error + "\nafter " + std::to_string(n) + " operations:\n";
    for (const std::string& line : part.log) out += "  " + line + "\n";
    return out;
  }
  return full.error;
}

void RunSeeds(uint8_t container, int seeds, size_t length) {
  for (int seed = 1; seed <= seeds; ++seed) {
    std::mt19937 rng(seed * 7919 + container);
    std::vector<uint8_t> bytes(length);
    for (uint8_t& b : bytes) b = uint8_t(rng());
    bytes[0] = container;
    std::string failure = ShortestFailure(bytes);
    ASSERT_TRUE(failure.empty()) << "seed " << seed << ": " << failure;
  }
}

TEST(TextListModel, EveryEditMatchesAVectorOfTextsAndData) { RunSeeds(0, 300, 1200); }
TEST(InlineArrayModel, EditsMatchAVectorOfElements) { RunSeeds(1, 200, 800); }
TEST(RecordArrayModel, EditsMatchAVectorOfRecords) { RunSeeds(2, 200, 800); }
TEST(PointerArrayModel, OwningEditsMatchAVectorAndFreeEveryBlock) { RunSeeds(3, 200, 800); }
TEST(ByteBufferModel, EditsMatchAVectorOfBytesAndRotate) { RunSeeds(4, 200, 800); }

}  // namespace
