#include "sound/LResampleFilter.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr int HALF = 7;
constexpr double WINDOW_HALF_WIDTH = 8.0;
// The phase search stops at the first phase count this close to the ratio.
constexpr double RATIO_TOLERANCE = 0.001;

// Bessel I0 from the first seven terms of its series; enough for beta <= 4.6.
double BesselI0(double x)
{
    const double quarterSquare = x * x / 4.0;
    double term = 1.0;
    double sum = 1.0;
    for (int n = 1; n <= 6; ++n)
    {
        term *= quarterSquare / (static_cast<double>(n) * n);
        sum += term;
    }
    return sum;
}

// round(x) as a 16-bit unsigned number, as the phase search counts it.
double Rounded16(double x) { return std::fmod(std::floor(x + 0.5), 65536.0); }

} // namespace

LResampleFilter::LResampleFilter(int32_t outRate, int32_t inRate)
{
    const double ratio = static_cast<double>(inRate) / outRate;
    double bestError = ratio;
    phases = 1;
    for (int i = 1; i <= RESAMPLE_MAX_PHASES; ++i)
    {
        const double error = std::fabs(ratio - Rounded16(ratio * i) / i);
        if (error < bestError)
        {
            bestError = error;
            phases = i;
        }
        if (error < RATIO_TOLERANCE)
            break;
    }
    // Rates far apart may ask for more than an int; such steps are refused.
    step = static_cast<int>(std::min(std::floor(ratio * phases + 0.5), double(INT_MAX)));
    if (step < 1 || step > RESAMPLE_MAX_ADVANCE * phases)
        return;

    if (inRate < outRate)
    {
        fc = 0.975;
        beta = 2.12;
    }
    else
    {
        fc = static_cast<double>(outRate) / inRate - 0.046875;
        beta = 4.538;
    }

    coefficients = new int32_t[phases * RESAMPLE_TAPS];
    const double scale = fc * 65536.0;
    const double windowNorm = BesselI0(beta);
    for (int j = 0; j < phases; ++j)
    {
        for (int k = 0; k < RESAMPLE_TAPS; ++k)
        {
            const double g = k - HALF - static_cast<double>(j) / phases;
            double c;
            if (g == 0.0)
                c = std::trunc(scale + 0.5);
            else
            {
                const double x = PI * fc * g;
                const double edge = g / WINDOW_HALF_WIDTH;
                c = std::round(scale * std::sin(x) / x * BesselI0(beta * std::sqrt(1.0 - edge * edge)) / windowNorm);
            }
            coefficients[j * RESAMPLE_TAPS + k] = static_cast<int32_t>(c);
        }
    }
}

LResampleFilter::~LResampleFilter() { delete[] coefficients; }
