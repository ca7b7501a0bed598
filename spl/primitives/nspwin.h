// Symmetric window functions, applied in place (the vector is multiplied by the window).
// n >= 3 ("Bad number of items"); vec not null ("Null pointer to buffer").
#pragma once

void nspsWinBartlett(float* vec, int n);  // triangle, zero at both ends
void nspsWinHann(float* vec, int n);      // 0.5 (1 - cos(2 pi k / (n-1)))
void nspsWinHamming(float* vec, int n);   // 0.54 - 0.46 cos(2 pi k / (n-1))
