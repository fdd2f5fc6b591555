#include "formula/program.h"

#include "formula/fast_path.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

namespace {

// Makes room for one more element when the array is full: capacity grows
// by half again plus 32, the used elements move over. The 32-bit count
// must not wrap into a block shorter than what it holds.
template <typename T>
void GrowForOneMore(T*& array, uint32_t& capacity, uint32_t used) {
  if (used < capacity) return;
  if (used == UINT32_MAX) throw std::bad_alloc();
  const uint64_t wanted = uint64_t{capacity} + capacity / 2 + 32;
  const uint32_t grown = wanted > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(wanted);
  T* block = new T[grown];
  if (used != 0) std::memcpy(block, array, used * sizeof(T));
  delete[] array;
  array = block;
  capacity = grown;
}

}  // namespace

CFormulaProgram::CFormulaProgram()
    : m_position(nullptr),
      m_lookupContext(nullptr),
      m_lookup(nullptr),
      m_values(nullptr),
      m_valueCount(0),
      m_valueCapacity(0),
      m_code(nullptr),
      m_codeLength(0),
      m_codeCapacity(0),
      m_labelCounter(0),
      m_variableCount(0),
      m_fast(nullptr),
      m_run(&RunStale),
      m_kernelA(nullptr),
      m_kernelB(nullptr),
      m_productA(nullptr),
      m_productB(nullptr) {}

CFormulaProgram::~CFormulaProgram() { Free(); }

CFormulaProgram::CFormulaProgram(CFormulaProgram&& other) noexcept : CFormulaProgram() {
  *this = std::move(other);
}

CFormulaProgram& CFormulaProgram::operator=(CFormulaProgram&& other) noexcept {
  if (this == &other) return *this;
  Free();
  m_position = std::exchange(other.m_position, nullptr);
  m_lookupContext = std::exchange(other.m_lookupContext, nullptr);
  m_lookup = std::exchange(other.m_lookup, nullptr);
  m_values = std::exchange(other.m_values, nullptr);
  m_valueCount = std::exchange(other.m_valueCount, 0);
  m_valueCapacity = std::exchange(other.m_valueCapacity, 0);
  m_code = std::exchange(other.m_code, nullptr);
  m_codeLength = std::exchange(other.m_codeLength, 0);
  m_codeCapacity = std::exchange(other.m_codeCapacity, 0);
  m_labelCounter = std::exchange(other.m_labelCounter, 0);
  m_variableCount = std::exchange(other.m_variableCount, 0);
  // The fast form points into the value array, which moves along with it.
  m_fast = std::exchange(other.m_fast, nullptr);
  m_run = std::exchange(other.m_run, &RunStale);
  m_kernelA = std::exchange(other.m_kernelA, nullptr);
  m_kernelB = std::exchange(other.m_kernelB, nullptr);
  m_productA = std::exchange(other.m_productA, nullptr);
  m_productB = std::exchange(other.m_productB, nullptr);
  return *this;
}

void CFormulaProgram::Free() {
  delete[] m_values;
  delete[] m_code;
  delete m_fast;
  m_position = nullptr;
  m_lookupContext = nullptr;
  m_lookup = nullptr;
  m_values = nullptr;
  m_valueCount = 0;
  m_valueCapacity = 0;
  m_code = nullptr;
  m_codeLength = 0;
  m_codeCapacity = 0;
  m_labelCounter = 0;
  m_variableCount = 0;
  m_fast = nullptr;
  m_run = &RunStale;
  m_kernelA = nullptr;
  m_kernelB = nullptr;
  m_productA = nullptr;
  m_productB = nullptr;
}

bool CFormulaProgram::Reset(int valueCount, FormulaLookupProc lookup, void* context) {
  m_lookup = lookup;
  m_lookupContext = context;
  m_codeLength = 0;
  Invalidate();
  if (valueCount < 0 || valueCount > static_cast<int>(FormulaMaxValues)) {
    m_valueCount = 0;
    m_variableCount = 0;
    return false;
  }
  if (valueCount > static_cast<int>(m_valueCapacity)) {
    const uint32_t capacity = (static_cast<uint32_t>(valueCount) + 255) / 256 * 256;
    delete[] m_values;
    m_values = new double[capacity]();
    m_valueCapacity = capacity;
  }
  m_valueCount = static_cast<uint32_t>(valueCount);
  m_variableCount = m_valueCount;
  return true;
}

int CFormulaProgram::AddConstant(double value) {
  if (m_valueCount >= FormulaMaxValues) return -1;
  GrowForOneMore(m_values, m_valueCapacity, m_valueCount);
  Invalidate();
  m_values[m_valueCount] = value;
  return static_cast<int>(m_valueCount++);
}

uint32_t CFormulaProgram::Emit(uint16_t word) {
  GrowForOneMore(m_code, m_codeCapacity, m_codeLength);
  Invalidate();
  m_code[m_codeLength++] = word;
  return m_codeLength;
}

void CFormulaProgram::CopyTo(const CFormulaProgram* source, CFormulaProgram* destination) {
  if (source == nullptr || destination == nullptr || source == destination) return;
  CFormulaProgram& d = *destination;
  d.m_position = source->m_position;
  d.m_lookupContext = source->m_lookupContext;
  d.m_lookup = source->m_lookup;
  d.m_valueCount = source->m_valueCount;
  d.m_variableCount = source->m_variableCount;
  d.m_codeLength = source->m_codeLength;
  d.m_labelCounter = source->m_labelCounter;
  if (d.m_valueCapacity < source->m_valueCapacity) {
    delete[] d.m_values;
    d.m_values = new double[source->m_valueCapacity];
    d.m_valueCapacity = source->m_valueCapacity;
  }
  if (d.m_codeCapacity < source->m_codeCapacity) {
    delete[] d.m_code;
    d.m_code = new uint16_t[source->m_codeCapacity];
    d.m_codeCapacity = source->m_codeCapacity;
  }
  if (source->m_codeLength != 0)
    std::memcpy(d.m_code, source->m_code, source->m_codeLength * sizeof(uint16_t));
  if (source->m_valueCount != 0)
    std::memcpy(d.m_values, source->m_values, source->m_valueCount * sizeof(double));
  d.Invalidate();
}

int CFormulaProgram::MarkUsedVariables(const CFormulaProgram* program, uint32_t* bitset,
                                       uint32_t bits, bool clearFirst) {
  if (bitset == nullptr) return 0;
  if (clearFirst) std::memset(bitset, 0, (static_cast<size_t>(bits) + 7) / 8);
  if (program == nullptr) return 0;
  const uint32_t limit = std::min(bits, program->m_variableCount);
  int count = 0;
  for (uint32_t i = 0; i < program->m_codeLength; ++i) {
    const uint16_t w = program->m_code[i];
    if (!IsLoadWord(w)) continue;
    const uint32_t index = w & FormulaIndexMask;
    if (index >= limit) continue;
    std::atomic_ref<uint32_t>(bitset[index >> 5]).fetch_or(1u << (index & 31));
    if (count < INT_MAX) ++count;  // saturates rather than overflow on enormous code
  }
  return count;
}

int CFormulaProgram::SwapVariables(CFormulaProgram* program, uint32_t a, uint32_t b) {
  if (program == nullptr) return 1;
  if (a >= program->m_valueCount) return 2;
  if (b >= program->m_valueCount) return 3;
  if (a == b) return 0;
  const uint16_t wordA = LoadWord(a);
  const uint16_t wordB = LoadWord(b);
  for (uint32_t i = 0; i < program->m_codeLength; ++i) {
    uint16_t& w = program->m_code[i];
    if (w == wordA)
      w = wordB;
    else if (w == wordB)
      w = wordA;
  }
  program->Invalidate();
  return 0;
}

double CFormulaProgram::RunStale(CFormulaProgram& p, int* ok) {
  if (p.m_fast == nullptr) p.m_fast = new formula_detail::FastForm;
  formula_detail::FastForm& form = *p.m_fast;
  formula_detail::BuildFastForm(form, p.m_code, p.m_codeLength, p.m_values, p.m_valueCount,
                                p.m_variableCount);
  p.m_run = &RunForm;
  const uint16_t op = formula_detail::SingleArithmetic(form);
  if (op == ACT_MUL) {
    p.m_productA = form.ins[0].a;
    p.m_productB = form.ins[0].b;
  } else if (op != 0) {
    p.m_kernelA = form.ins[0].a;
    p.m_kernelB = form.ins[0].b;
    p.m_run = op == ACT_ADD ? &RunAdd : &RunSub;
  }
  return p.m_run(p, ok);
}

double CFormulaProgram::RunForm(CFormulaProgram& p, int* ok) { return formula_detail::RunFastForm(*p.m_fast, ok); }

double CFormulaProgram::RunAdd(CFormulaProgram& p, int*) { return *p.m_kernelA + *p.m_kernelB; }
double CFormulaProgram::RunSub(CFormulaProgram& p, int*) { return *p.m_kernelA - *p.m_kernelB; }
