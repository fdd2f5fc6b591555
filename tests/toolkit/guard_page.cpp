#include "guard_page.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

namespace zelvaro_test {

GuardedBuffer::GuardedBuffer(size_t bytes, Guard where) : size_(bytes) {
  const size_t page = size_t(sysconf(_SC_PAGESIZE));
  const size_t dataPages = (bytes + page - 1) / page;
  mapped_ = (dataPages + 1) * page;
  void* p = mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) std::abort();
  base_ = static_cast<unsigned char*>(p);
  if (where == Guard::kAfter) {
    if (mprotect(base_ + dataPages * page, page, PROT_NONE) != 0) std::abort();
    data_ = base_ + dataPages * page - bytes;
  } else {
    if (mprotect(base_, page, PROT_NONE) != 0) std::abort();
    data_ = base_ + page;
  }
}

GuardedBuffer::~GuardedBuffer() { munmap(base_, mapped_); }

}  // namespace zelvaro_test
