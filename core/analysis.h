// Analysis functions over arrays of doubles: mean and deviation, extremes and
// a histogram. Plain arithmetic; nothing is allocated.
#pragma once

int StdDev(const double* values, int n, double* mean, double* stdDev);
int MaxMin1D(const double* values, int n, double* max, int* maxIndex, double* min,
             int* minIndex);
int Histogram(const double* values, int n, double base, double top, int* counts,
              double* axis, int intervals);
