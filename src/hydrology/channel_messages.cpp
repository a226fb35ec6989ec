#include "hydrology/channel_messages.hpp"

#include <cstdint>
#include <string>

#include "core/layout.hpp"
#include "core/messages.hpp"

namespace korvan {

namespace {
constexpr std::string_view kRoutine = "RepresentativeChannel";
}  // namespace

void checkUniformDepth(Messages& messages, const UniformDepth& result) {
  switch (result.status) {
    case UniformDepth::Status::Converged:
      return;
    case UniformDepth::Status::TooManyIterations:
      messages.fatal(kRoutine, " No convergency reached in calculation of uniform flow depth",
                     " Maximum number of 500 iterations for solving Chezy-Manning eqn exceeded");
    case UniformDepth::Status::NegativeDepth:
      messages.fatal(kRoutine, " Negative flow depth for representative channel",
                     " Calculated flow depth is " + formatLayout("(f9.2)", {result.depth}) +
                         "m and the number of iterations is" +
                         formatLayout("(i3)", {std::int64_t{result.iterations}}));
  }
}

void checkBackwaterCurve(Messages& messages, const BackwaterCurve& result) {
  switch (result.status) {
    case BackwaterCurve::Status::Ok:
      return;
    case BackwaterCurve::Status::DistanceStepTooSmall:
      messages.fatal(kRoutine, " Distance from weir not calculated correctly ",
                     " Error in direct step calculation method");
    case BackwaterCurve::Status::DepthBelowCentimetre:
      messages.fatal(kRoutine, " Uniform flow depth reached in backwatercurve is below 1 cm ",
                     " Uniform flow depth is: " + formatLayout("(f9.5)", {result.depth}) +
                         " m at " + formatLayout("(f7.2)", {result.distance}) + " m from weir");
  }
}

}  // namespace korvan
