// An instance of nine short properties, as most groups of the hierarchy hold: the tree that the
// heap per node is measured on, by the engine's benchmark and by its test.
#pragma once

#include "engine/builder.h"

namespace vxtest {

inline constexpr vx::SchemaRow kItemRows[] = {
    vx::property(vx::kInstance, "P0", "", kReadWrite, vx::handle_internal_property, vx::length(0, 255), "v0"),
    vx::property(vx::kInstance, "P1", "", kReadWrite, vx::handle_internal_property, vx::length(0, 255), "v1"),
    vx::property(vx::kInstance, "P2", "", kReadWrite, vx::handle_internal_property, vx::length(0, 255), "v2"),
    vx::property(vx::kInstance, "P3", "", kReadWrite, vx::handle_internal_property, vx::length(0, 255), "v3"),
    vx::property(vx::kInstance, "P4", "", kReadWrite, vx::handle_internal_property, vx::range(0, 1000), "4"),
    vx::property(vx::kInstance, "P5", "", kReadWrite, vx::handle_internal_property, vx::one_of("On,Off", 2, 3), "On"),
    vx::property(vx::kInstance, "P6", "", kReadOnly, vx::handle_internal_property, vx::length(0, 255), "v6"),
    vx::property(vx::kInstance, "P7", "", kReadOnly, vx::handle_internal_property, vx::length(0, 255), "v7"),
    vx::property(vx::kInstance, "P8", "", kReadOnly, vx::handle_internal_property, vx::address(0, 0), "10.0.0.1"),
};

}  // namespace vxtest
