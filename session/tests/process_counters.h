#pragma once

#include <cstddef>
#include <ostream>

// What the running process holds, for the tests that look for leaks. Wine answers the documented calls
// with 0 (handle count, GDI and USER object counts, private bytes); each figure then comes from a count
// that Wine does keep, as noted.
struct ProcessCounters {
  unsigned long handles;      // kernel handles; under Wine, the system handle table's entries of the process
  unsigned long gdiObjects;   // under Wine, the live entries of the process's GDI handle table
  unsigned long userObjects;  // under Wine, only the windows of the process
  std::size_t privateBytes;   // committed private memory
  std::size_t heapBytes;      // bytes in use in the process's heaps
};

ProcessCounters ReadProcessCounters();

std::ostream& operator<<(std::ostream& out, const ProcessCounters& counters);
