#include "tools/testing/process_counters.h"

#include <windows.h>

#include <psapi.h>

#include <vector>

namespace {

// The layout of NtQuerySystemInformation's SystemHandleInformation answer.
constexpr ULONG SystemHandleInformation = 16;
constexpr LONG StatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
struct THandleEntry {
  USHORT ProcessId;
  USHORT CreatorBackTraceIndex;
  UCHAR ObjectType;
  UCHAR Attributes;
  USHORT Handle;
  void* Object;
  ULONG GrantedAccess;
};
struct THandleTable {
  ULONG Count;
  THandleEntry Entries[1];
};
using TQuerySystemInformation = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);

unsigned long SystemTableHandles() {
  const auto query = reinterpret_cast<TQuerySystemInformation>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return 0;
  std::vector<char> buffer(1 << 16);
  LONG status;
  ULONG length = 0;
  while ((status = query(SystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                         &length)) == StatusInfoLengthMismatch)
    buffer.resize(buffer.size() * 2);
  if (status != 0) return 0;
  const auto* table = reinterpret_cast<const THandleTable*>(buffer.data());
  const auto self = static_cast<USHORT>(GetCurrentProcessId());
  unsigned long count = 0;
  for (ULONG i = 0; i < table->Count; ++i) count += table->Entries[i].ProcessId == self;
  return count;
}

// Wine takes a GDI handle by its table index alone; Windows does not, but it counts its objects itself.
unsigned long GdiTableEntries() {
  unsigned long count = 0;
  for (ULONG_PTR index = 1; index < 0x10000; ++index)
    count += GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0;
  return count;
}

unsigned long ProcessWindows() {
  struct TCount {
    DWORD Pid;
    unsigned long Windows = 0;
  } count{GetCurrentProcessId()};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto& c = *reinterpret_cast<TCount*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != c.Pid) return TRUE;
        ++c.Windows;
        EnumChildWindows(
            window,
            [](HWND, LPARAM inner) -> BOOL {
              ++*reinterpret_cast<unsigned long*>(inner);
              return TRUE;
            },
            reinterpret_cast<LPARAM>(&c.Windows));
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count.Windows;
}

std::size_t CommittedPrivateBytes(HANDLE process) {
  std::size_t total = 0;
  MEMORY_BASIC_INFORMATION region;
  const char* at = nullptr;
  while (VirtualQueryEx(process, at, &region, sizeof region) == sizeof region) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    at = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
  }
  return total;
}

std::size_t HeapBytesInUse() {
  std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
  heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
  std::size_t total = 0;
  for (HANDLE heap : heaps) {
    if (!HeapLock(heap)) continue;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heap, &entry))
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
    HeapUnlock(heap);
  }
  return total;
}

PROCESS_MEMORY_COUNTERS_EX MemoryCounters(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
  return memory;
}

}  // namespace

// Wine keeps the commit charge (the pagefile figure, equal to the private bytes on Windows), which also
// counts the image pages that relocation or writing made private; the walk of private regions does not.
std::size_t PrivateBytesOf(HANDLE process) {
  const PROCESS_MEMORY_COUNTERS_EX memory = MemoryCounters(process);
  if (memory.PrivateUsage) return memory.PrivateUsage;
  return memory.PagefileUsage ? memory.PagefileUsage : CommittedPrivateBytes(process);
}

TProcessCounters ReadProcessCounters() {
  const HANDLE self = GetCurrentProcess();
  TProcessCounters counters{};
  DWORD handles = 0;
  GetProcessHandleCount(self, &handles);
  counters.Handles = handles ? handles : SystemTableHandles();
  counters.GdiObjects = GetGuiResources(self, GR_GDIOBJECTS);
  if (!counters.GdiObjects) counters.GdiObjects = GdiTableEntries();
  counters.UserObjects = GetGuiResources(self, GR_USEROBJECTS);
  if (!counters.UserObjects) counters.UserObjects = ProcessWindows();
  const std::size_t privateUsage = MemoryCounters(self).PrivateUsage;
  counters.PrivateBytes = privateUsage ? privateUsage : CommittedPrivateBytes(self);
  counters.HeapBytes = HeapBytesInUse();
  return counters;
}

std::ostream& operator<<(std::ostream& out, const TProcessCounters& c) {
  return out << "handles " << c.Handles << ", GDI " << c.GdiObjects << ", USER " << c.UserObjects
             << ", private " << c.PrivateBytes / 1024 << " KiB, heap " << c.HeapBytes / 1024 << " KiB";
}
