// Analysis functions over arrays of doubles. The standard library's
// algorithms do the work; nothing is allocated.
#include <algorithm>
#include <cmath>
#include <iterator>

#include "platform/platform.h"

// Mean and sample standard deviation (divisor n - 1; 0 for a single value),
// in two passes so that large offsets do not eat the precision.
int StdDev(const double* values, int n, double* mean, double* stdDev)
{
    if (!mean || !stdDev)
        return -1;
    *mean = 0.0;
    *stdDev = 0.0;
    if (!values || n <= 0)
        return -1;
    double sum = 0.0;
    for (int i = 0; i < n; ++i)
        sum += values[i];
    const double m = sum / n;
    double squares = 0.0;
    for (int i = 0; i < n; ++i)
        squares += (values[i] - m) * (values[i] - m);
    *mean = m;
    *stdDev = n > 1 ? std::sqrt(squares / (n - 1)) : 0.0;
    return 0;
}

int MaxMin1D(const double* values, int n, double* max, int* maxIndex, double* min, int* minIndex)
{
    if (!values || n <= 0) {
        if (max) *max = 0.0;
        if (min) *min = 0.0;
        if (maxIndex) *maxIndex = -1;
        if (minIndex) *minIndex = -1;
        return -1;
    }
    // First positions of the extremes (minmax_element would give the last maximum).
    const double* lo = std::min_element(values, values + n);
    const double* hi = std::max_element(values, values + n);
    if (max) *max = *hi;
    if (min) *min = *lo;
    if (maxIndex) *maxIndex = static_cast<int>(std::distance(values, hi));
    if (minIndex) *minIndex = static_cast<int>(std::distance(values, lo));
    return 0;
}

// Counts the values in `intervals` equal intervals from base to top; a value
// on the top edge falls in the last interval, values outside are not counted.
// axis[k] is the centre of interval k.
int Histogram(const double* values, int n, double base, double top, int* counts, double* axis,
              int intervals)
{
    if (!counts || !axis || intervals <= 0 || !(top > base))
        return -1;
    const double width = (top - base) / intervals;
    for (int k = 0; k < intervals; ++k) {
        counts[k] = 0;
        axis[k] = base + (k + 0.5) * width;
    }
    if (!values)
        return n > 0 ? -1 : 0;
    for (int i = 0; i < n; ++i) {
        const double v = values[i];
        if (!(v >= base && v <= top))
            continue;
        int k = static_cast<int>((v - base) / width);
        k = std::clamp(k, 0, intervals - 1);
        ++counts[k];
    }
    return 0;
}
