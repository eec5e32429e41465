// What a route search optimises, by strategy.
#pragma once

#include <cstdint>

namespace vorn {

enum class RouteObjective : std::uint8_t {
    kLowestLatency,    // the least summed hop distance
    kHighestFidelity,  // the greatest product of hop fidelities
    kHighestSuccess,   // the greatest summed fidelity x generation rate
};

// The objective of a strategy code, where a code enters the search: 0 and 1
// as named, any other code HighestSuccess.
constexpr RouteObjective route_objective_of_code(std::uint8_t code) {
    return code == 0   ? RouteObjective::kLowestLatency
           : code == 1 ? RouteObjective::kHighestFidelity
                       : RouteObjective::kHighestSuccess;
}

}  // namespace vorn
