#include "simulation/request_physics.h"

#include <cmath>

namespace vorn {

double purify_fidelity(double fidelity, double beta) {
    const double f = fidelity;
    const double q = 1.0 - f;
    const double normaliser = f * f + 2.0 * f * q / 3.0 + q * q / 9.0;
    if (!(normaliser > 0.0)) return 0.5;
    return std::fmin((f * f + q * q / 9.0) / normaliser + beta, 0.999);
}

double hop_success_probability(double distance_km, double base_fidelity, double fidelity_target) {
    const double x = distance_km / 100.0;
    const double y = x / (x + 1.0);
    const double penalty = base_fidelity < fidelity_target ? (fidelity_target - base_fidelity) * 0.3 : 0.0;
    return std::fmin(0.98, std::fmax(0.5, (1.0 - 0.45 * (y * y)) - penalty));
}

}  // namespace vorn
