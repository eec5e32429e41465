// The class bindings, one function per class; each returns the class's
// description, built once. The module's registration table orders them.
#pragma once

#include "python_bridge/class_spec.h"
#include "python_bridge/function_builder.h"

namespace vorn::py {

// Network model and engine.
ClassSpec& vorn_engine_class();
ClassSpec& physical_config_class();
ClassSpec& simulation_config_class();
ClassSpec& node_definition_class();
ClassSpec& satellite_conditions_class();
ClassSpec& link_type_class();
ClassSpec& link_definition_class();
ClassSpec& network_topology_payload_class();

// Requests and results.
ClassSpec& strategy_type_class();
ClassSpec& entanglement_request_class();
ClassSpec& simulation_result_class();

}  // namespace vorn::py
