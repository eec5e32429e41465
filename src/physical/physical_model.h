// The parameters of the physical request model: fiber and satellite loss,
// the photon source, entanglement swapping, classical signalling and an
// optional memory cutoff. Values are used as given; nothing is checked here.
#pragma once

#include <optional>

namespace vorn {

struct PhysicalModel {
    double attenuation_db_km = 0.2;
    double source_efficiency = 0.5;
    double swap_success = 1.0;
    double speed_km_ms = 200.0;
    double satellite_loss_db = 30.0;
    // A stored pair older than this is discarded; none means no cutoff.
    std::optional<double> memory_cutoff_ms;
};

}  // namespace vorn
