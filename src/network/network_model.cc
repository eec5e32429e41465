#include "network/network_model.h"

namespace vorn {

PhysicalConfig PhysicalConfig::from_alpha_loss(std::optional<double> alpha_loss_db_km) {
    PhysicalConfig config;
    if (alpha_loss_db_km) config.baseline_purify_factor = *alpha_loss_db_km / 10.0;
    return config;
}

}  // namespace vorn
