// The whole effect library: every effect as a free function over a 24-bit
// working bitmap, and the resampling helpers.
#pragma once

#include "effects/angular.h"
#include "effects/colormodel.h"
#include "effects/colorpoint.h"
#include "effects/fliprotate.h"
#include "effects/lensfire.h"
#include "effects/neighbourhood.h"
#include "effects/periodic.h"
#include "effects/polar.h"
#include "effects/random.h"
#include "effects/resample.h"
#include "effects/rowtile.h"
#include "effects/tile.h"
