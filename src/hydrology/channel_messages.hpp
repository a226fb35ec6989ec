// The messages with which the run stops when the representative channel has
// no valid uniform depth or backwater curve.
#pragma once

#include "hydrology/representative_channel.hpp"

namespace korvan {

class Messages;

// Stops the run for a uniform-depth search that did not converge; returns
// when the search converged.
void checkUniformDepth(Messages& messages, const UniformDepth& result);
// Stops the run for a backwater curve that failed; returns when it is valid.
void checkBackwaterCurve(Messages& messages, const BackwaterCurve& result);

}  // namespace korvan
