#pragma once
#include <cstddef>

namespace mailwright {

// Memory for a large, short-lived block (a hive's text, an index's arena): on a boundary
// of two megabytes and in huge pages where the system offers them, so that filling it
// costs one fault per two megabytes instead of one per page; a small block comes from
// the heap. Not zeroed. Null when there is no memory. Given back with the same size.
void* TakeHugeMemory(std::size_t size);
void GiveBackHugeMemory(void* memory, std::size_t size);

}  // namespace mailwright
