#pragma once

// The evaluator's calls into the maths library (pow, sin, ...) run several
// times slower while the upper halves of the vector registers are marked in
// use, as the toolkit's AVX2 fill leaves them: clearing them took the SVG of
// ten functions at 1920 x 1080 from 19.5 to 10 ms of CPU time, and a table of
// 100000 values of a 20-term polynomial from 463 to 121 ms. Drawing on a
// 32-bit image marks them again after every line; the PNG is drawn on a 24-bit
// one. A no-op where the processor has no such registers.
void clearUpperVectorHalves();
