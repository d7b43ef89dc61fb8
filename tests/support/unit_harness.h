// Moved to the toolkit, where the benchmarks use it too.
#pragma once
#include "shared/unit_harness.h"
