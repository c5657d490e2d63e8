#pragma once

#include <cstddef>
#include <ostream>

// What the running process holds, for the tests that look for leaks. Wine answers the documented calls
// with 0 (handle count, GDI and USER object counts, private bytes); each figure then comes from a count
// that Wine does keep, as noted.
struct TProcessCounters {
  unsigned long Handles;      // kernel handles; under Wine, the system handle table's entries of the process
  unsigned long GdiObjects;   // under Wine, the live entries of the process's GDI handle table
  unsigned long UserObjects;  // under Wine, only the windows of the process
  std::size_t PrivateBytes;   // committed private memory
  std::size_t HeapBytes;      // bytes in use in the process's heaps
};

TProcessCounters ReadProcessCounters();

// The committed private memory of a process (another one too, with a handle that may query and read it).
std::size_t PrivateBytesOf(void* process);

std::ostream& operator<<(std::ostream& out, const TProcessCounters& counters);
