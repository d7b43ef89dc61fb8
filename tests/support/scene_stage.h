// Moved to the toolkit, where the benchmarks use it too.
#pragma once
#include "shared/scene_stage.h"
