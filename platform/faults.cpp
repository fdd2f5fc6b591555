#include "platform/faults.h"

#include <atomic>

namespace platform {
namespace {

constexpr unsigned kPoints = static_cast<unsigned>(FaultPoint::Count);
std::atomic<bool> pending[kPoints];

}  // namespace

void FailNextCall(FaultPoint point) {
  pending[static_cast<unsigned>(point)].store(true);
}

void ClearInjectedFaults() {
  for (auto& flag : pending) flag.store(false);
}

bool TakeInjectedFault(FaultPoint point) {
  return pending[static_cast<unsigned>(point)].exchange(false);
}

}  // namespace platform
