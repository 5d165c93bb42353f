#pragma once

// The window's controls as the window description declares them, for code outside the
// window's own library (tests, benchmarks, tools).
#include "Unit1.h"
#include "ui_Unit1.h"
