// Statistics and magnitudes of vectors. The statistics return 0 after reporting a bad argument.
#pragma once

float nspsMean(const float* vec, int n);  // sum in double precision / n
float nspsMax(const float* vec, int n);
float nspsMin(const float* vec, int n);
// Largest element; *index (may be null) receives the position of its first occurrence.
float nspsMaxExt(const float* vec, int n, int* index);

// dst[i] = |src[i]| for n interleaved complex elements.
void nspcbMag(const float* src, float* dst, int n);
// dst[i] = sqrt(re[i]^2 + im[i]^2).
void nspsbrMag(const float* re, const float* im, float* dst, int n);
