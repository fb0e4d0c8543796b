// Elementary functions the simulation computes with the game's own code rather than the C
// library's, so that every build gives the same bits: C libraries round some results
// differently in the last place, and one such bit in a heading changes a battle. Each follows
// the algorithm, constants and order of operations of the library the native game was built
// with, so the native results stay what they always were.
#pragma once

// The angle of (x, y) from the +x axis in radians, -pi..pi, as glibc's single-precision
// atan2f rounds it (the classic argument reduction and 11-term polynomial of atanf), for every
// input including zeros, infinities and NaN.
float portable_atan2f(float y, float x);
