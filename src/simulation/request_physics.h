// The two formulas of the request model: the purification map G (used for
// purification and for entanglement swapping) and the success probability
// of one generation attempt on a hop.
#pragma once

namespace vorn {

// G(F) = min((F^2 + (1-F)^2/9) / N + beta, 0.999) with
// N = F^2 + 2F(1-F)/3 + (1-F)^2/9; 0.5 when N is not positive or F is NaN.
double purify_fidelity(double fidelity, double beta);

// p = min(0.98, max(0.5, 1 - 0.45 y^2 - penalty)) with x = distance / 100 km,
// y = x / (x + 1) and penalty = 0.3 (target - link fidelity) when the link
// falls short of the target. NaN inside the bounds gives way to the bound.
double hop_success_probability(double distance_km, double base_fidelity, double fidelity_target);

}  // namespace vorn
