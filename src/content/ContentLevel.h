#pragma once

// The program's full content level: the template database's rows are loaded when their
// column "bL" + level is set, and the activity input file carries the same number.
inline constexpr int FullContentLevel = 2;
