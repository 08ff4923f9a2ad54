#include "clock.h"

namespace boxanswer {

Clock::Clock() {
  QueryPerformanceFrequency(&frequency_);
  QueryPerformanceCounter(&start_);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  epochMs_ = ticks / 10000 - 11644473600000ULL;  // FILETIME counts from 1601
}

uint64_t Clock::Ms() const {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<uint64_t>((now.QuadPart - start_.QuadPart) * 1000 / frequency_.QuadPart);
}

}  // namespace boxanswer
