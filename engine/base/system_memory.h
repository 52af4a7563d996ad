#pragma once

// What the system's memory is made of, as this process finds it.

#include <cstddef>

namespace vorpel {

// The size of a base page, the unit in which the system maps memory (4 KiB
// on most machines, 16 or 64 KiB on some), asked of the system once.
std::size_t PageSize();

}  // namespace vorpel
