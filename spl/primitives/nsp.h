// All numeric primitives: arithmetic, statistics, windows, FIR, FFTs, conversions, random
// numbers and their error reporting.
#pragma once
#include "spl/primitives/nsparith.h"
#include "spl/primitives/nspcvrts.h"
#include "spl/primitives/nsperror.h"
#include "spl/primitives/nspffts.h"
#include "spl/primitives/nspfir.h"
#include "spl/primitives/nsprand.h"
#include "spl/primitives/nspvec.h"
#include "spl/primitives/nspwin.h"
