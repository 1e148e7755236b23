#pragma once
// The shared helpers every part of the program reaches for: the diagnostic log and the
// system utilities.
#include "debuglog.h"
#include "sysutils.h"
