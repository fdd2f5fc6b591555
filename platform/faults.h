// Failure injection for the handle-based stand-ins, so tests can prove that
// callers survive a refused allocation, lock or open without a real shortage.
#pragma once

namespace platform {

enum class FaultPoint : unsigned {
  GlobalAlloc,
  GlobalLock,
  OpenClipboard,
  SetClipboardData,
  GetDC,
  CreateDIBSection,
  CreateCompatibleBitmap,
  SetDIBits,
  Count
};

// The next call of the named operation fails as if the system had refused
// it; the calls after it behave normally again.
void FailNextCall(FaultPoint point);

// Forgets every pending injected failure.
void ClearInjectedFaults();

// Consumes a pending failure of `point`: true when the current call is to fail.
bool TakeInjectedFault(FaultPoint point);

}  // namespace platform
