// Analysis functions over arrays of doubles; nothing is allocated.
#include <algorithm>
#include <cmath>

#include "core/analysis.h"

namespace {

// Sums with four accumulators, so that the additions do not wait on each
// other; the 16000 values of a channel are summed at every sample.
template <typename Term>
double sum4(const double* values, int n, Term term)
{
    double a = 0.0, b = 0.0, c = 0.0, d = 0.0;
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        a += term(values[i]);
        b += term(values[i + 1]);
        c += term(values[i + 2]);
        d += term(values[i + 3]);
    }
    for (; i < n; ++i)
        a += term(values[i]);
    return (a + b) + (c + d);
}

}  // namespace

int ValueCount(const double* values, int n)
{
    if (!values)
        return 0;
    int count = 0;
    for (int i = 0; i < n; ++i)
        count += std::isnan(values[i]) ? 0 : 1;
    return count;
}

// Mean and sample standard deviation (divisor count - 1; 0 for a single
// value), in two passes so that large offsets do not eat the precision.
int StdDev(const double* values, int n, double* mean, double* stdDev)
{
    if (!mean || !stdDev)
        return -1;
    *mean = 0.0;
    *stdDev = 0.0;
    const int count = ValueCount(values, n);
    if (count <= 0)
        return -1;
    const double m = sum4(values, n, [](double v) { return std::isnan(v) ? 0.0 : v; }) / count;
    const double squares =
        sum4(values, n, [m](double v) { return std::isnan(v) ? 0.0 : (v - m) * (v - m); });
    *mean = m;
    *stdDev = count > 1 ? std::sqrt(squares / (count - 1)) : 0.0;
    return 0;
}

int MaxMin1D(const double* values, int n, double* max, int* maxIndex, double* min, int* minIndex)
{
    // Start at the first value; a NaN after it never wins a comparison.
    int first = 0;
    while (values && first < n && std::isnan(values[first]))
        ++first;
    if (!values || first >= n) {
        if (max) *max = 0.0;
        if (min) *min = 0.0;
        if (maxIndex) *maxIndex = -1;
        if (minIndex) *minIndex = -1;
        return -1;
    }
    // One pass; the first position of each extreme.
    int hi = first;
    int lo = first;
    for (int i = first + 1; i < n; ++i) {
        if (values[i] > values[hi])
            hi = i;
        if (values[i] < values[lo])
            lo = i;
    }
    if (max) *max = values[hi];
    if (min) *min = values[lo];
    if (maxIndex) *maxIndex = hi;
    if (minIndex) *minIndex = lo;
    return 0;
}

// Counts the values in `intervals` equal intervals from base to top; a value
// on the top edge falls in the last interval, values outside (and NaN) are not
// counted.
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
