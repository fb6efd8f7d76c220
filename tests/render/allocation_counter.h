// How many times this test program has called operator new so far.
#pragma once

#include <cstddef>

std::size_t allocationCount();
