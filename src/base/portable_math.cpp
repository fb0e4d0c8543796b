#include "portable_math.h"

#include <cstdint>
#include <cstring>

namespace {

// atan(0.5), atan(1), atan(1.5) and atan(inf) split into a high and a low part.
constexpr float atan_hi[4] = {0x1.dac670p-2f, 0x1.921fb4p-1f, 0x1.f730bcp-1f, 0x1.921fb4p+0f};
constexpr float atan_lo[4] = {0x1.586ed2p-28f, 0x1.4442d0p-25f, 0x1.281f68p-25f, 0x1.4442d0p-24f};
// atan(x) / x - 1 on |x| <= 7/16 as an odd polynomial in x^2.
constexpr float poly[11] = {
    0x1.555556p-2f,  -0x1.99999ap-3f, 0x1.24924ap-3f,  -0x1.c71c70p-4f,
    0x1.745cdcp-4f,  -0x1.3b0f2ap-4f, 0x1.10d66ap-4f,  -0x1.dde2d6p-5f,
    0x1.97b4b2p-5f,  -0x1.2b4442p-5f, 0x1.0ad3aep-6f,
};

constexpr float tiny = 0x1.4484c0p-100f;  // 1e-30: keeps the exact-angle results inexact
constexpr float pi_o_4 = 0x1.921fb6p-1f;
constexpr float pi_o_2 = 0x1.921fb6p+0f;
constexpr float pi = 0x1.921fb6p+1f;
constexpr float pi_lo = -0x1.777a5cp-24f;  // pi - (float)pi

inline std::int32_t word(float f)
{
    std::int32_t w;
    std::memcpy(&w, &f, sizeof w);
    return w;
}

inline float abs_float(float f)
{
    std::int32_t w = word(f) & 0x7fffffff;
    std::memcpy(&f, &w, sizeof f);
    return f;
}

float portable_atanf(float x)
{
    std::int32_t hx = word(x);
    std::int32_t ix = hx & 0x7fffffff;
    if (ix >= 0x4c000000) {  // |x| >= 2^25, or NaN
        if (ix > 0x7f800000)
            return x + x;
        return hx > 0 ? atan_hi[3] + atan_lo[3] : -atan_hi[3] - atan_lo[3];
    }
    int id;
    if (ix < 0x3ee00000) {  // |x| < 7/16
        if (ix < 0x31000000)  // |x| < 2^-29: atan(x) rounds to x
            return x;
        id = -1;
    } else {
        x = abs_float(x);
        if (ix < 0x3f980000) {    // |x| < 19/16
            if (ix < 0x3f300000) {  // 7/16 <= |x| < 11/16
                id = 0;
                x = (2.0f * x - 1.0f) / (2.0f + x);
            } else {
                id = 1;
                x = (x - 1.0f) / (x + 1.0f);
            }
        } else if (ix < 0x401c0000) {  // |x| < 39/16
            id = 2;
            x = (x - 1.5f) / (1.0f + 1.5f * x);
        } else {
            id = 3;
            x = -1.0f / x;
        }
    }
    // The even and odd terms as two sums in z^2, in this order: any other grouping rounds
    // differently.
    float z = x * x;
    float w = z * z;
    float s1 =
        z * (poly[0] + w * (poly[2] + w * (poly[4] + w * (poly[6] + w * (poly[8] + w * poly[10])))));
    float s2 = w * (poly[1] + w * (poly[3] + w * (poly[5] + w * (poly[7] + w * poly[9]))));
    if (id < 0)
        return x - x * (s1 + s2);
    z = atan_hi[id] - ((x * (s1 + s2) - atan_lo[id]) - x);
    return hx < 0 ? -z : z;
}

}  // namespace

float portable_atan2f(float y, float x)
{
    std::int32_t hx = word(x), hy = word(y);
    std::int32_t ix = hx & 0x7fffffff, iy = hy & 0x7fffffff;
    if (ix > 0x7f800000 || iy > 0x7f800000)
        return x + y;
    if (hx == 0x3f800000)  // x = 1
        return portable_atanf(y);
    int m = ((hy >> 31) & 1) | ((hx >> 30) & 2);  // 2 * sign(x) + sign(y)

    if (iy == 0) {
        switch (m) {
        case 0:
        case 1: return y;
        case 2: return pi + tiny;
        default: return -pi - tiny;
        }
    }
    if (ix == 0)
        return hy < 0 ? -pi_o_2 - tiny : pi_o_2 + tiny;
    if (ix == 0x7f800000) {
        if (iy == 0x7f800000) {
            switch (m) {
            case 0: return pi_o_4 + tiny;
            case 1: return -pi_o_4 - tiny;
            case 2: return 3.0f * pi_o_4 + tiny;
            default: return -3.0f * pi_o_4 - tiny;
            }
        }
        switch (m) {
        case 0: return 0.0f;
        case 1: return -0.0f;
        case 2: return pi + tiny;
        default: return -pi - tiny;
        }
    }
    if (iy == 0x7f800000)
        return hy < 0 ? -pi_o_2 - tiny : pi_o_2 + tiny;

    float z;
    std::int32_t k = (iy - ix) >> 23;  // difference of the exponents
    if (k > 60)
        z = pi_o_2 + 0.5f * pi_lo;
    else if (hx < 0 && k < -60)
        z = 0.0f;
    else
        z = portable_atanf(abs_float(y / x));
    switch (m) {
    case 0: return z;
    case 1: return -z;
    case 2: return pi - (z - pi_lo);
    default: return (z - pi_lo) - pi;
    }
}
