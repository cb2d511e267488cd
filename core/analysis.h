// Analysis functions over arrays of doubles: mean and deviation, extremes and
// a histogram. Plain arithmetic; nothing is allocated. A NaN is a sample
// without a value (a sensor error): every function leaves it out, and with no
// value at all StdDev and MaxMin1D answer as for an empty array.
#pragma once

// How many of the n values are not NaN.
int ValueCount(const double* values, int n);

int StdDev(const double* values, int n, double* mean, double* stdDev);
int MaxMin1D(const double* values, int n, double* max, int* maxIndex, double* min,
             int* minIndex);
int Histogram(const double* values, int n, double base, double top, int* counts,
              double* axis, int intervals);
