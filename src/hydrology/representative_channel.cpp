#include "hydrology/representative_channel.hpp"

#include <cmath>

#include "hydrology/weir.hpp"

namespace korvan {

namespace {

// Below this depth K is constant; between it and kReferenceDepth linear.
constexpr double kThinFilm = 0.01;
constexpr double kReferenceDepth = 0.1;
constexpr double kCoarseStep = 0.02;
constexpr double kFineStep = 0.001;
constexpr double kRelativeTolerance = 0.001;
// The backwater curve is divided into this many depth steps at first.
constexpr int kDepthSteps = 50;
constexpr double kUniformReached = 0.001;
constexpr double kMinDepth = 0.01;
constexpr double kContinuationSpacing = 20.0;
constexpr double kTinyDenominator = 1e-25;
constexpr double kMinDistanceStep = 1e-25;

// Energy head and friction slope of one section of the curve.
struct Section {
  double energy = 0.0;
  double sloFri = 0.0;
};

Section sectionAt(const RepresentativeChannel& channel, double q, double h) {
  const Trapezoid shape = channel.section();
  const double area = shape.area(h);
  const double radius = shape.hydraulicRadius(h);
  const double v = q / area;
  const double k = roughnessCoefficient(h, channel.cofRghRef);
  // E = h + alpha v^2 / 2g; Sf from Manning-Strickler solved for the slope.
  return {h + channel.cofVelHea * v * v / (2.0 * kGravity),
          v * v / (k * k * std::pow(radius, 4.0 / 3.0))};
}

}  // namespace

double roughnessCoefficient(double h, double cofRghRef) {
  if (h >= kReferenceDepth) return cofRghRef * std::cbrt(h);
  if (h > kThinFilm) {
    const double slope = (cofRghRef * kCubeRootOfTenth - kThinFilm) / 0.09;
    return kThinFilm + (h - kThinFilm) * slope;
  }
  return kThinFilm;
}

double uniformFlowDischarge(const RepresentativeChannel& channel, double h) {
  const Trapezoid shape = channel.section();
  const double area = shape.area(h);
  if (area <= 0.0) return 0.0;
  return area * std::pow(shape.hydraulicRadius(h), 2.0 / 3.0) *
         roughnessCoefficient(h, channel.cofRghRef) * std::sqrt(channel.sloBot);
}

double weirDepth(const RepresentativeChannel& channel, double q) {
  return channel.hgtCre + weirHeight(q, channel.widCre);
}

UniformDepth findUniformDepth(const RepresentativeChannel& channel, double q, double startDepth) {
  UniformDepth result{UniformDepth::Status::Converged, startDepth, 0};
  const double tolerance = kRelativeTolerance * q;
  double h = startDepth;
  double discharge = uniformFlowDischarge(channel, h);
  if (std::fabs(discharge - q) <= tolerance) return result;

  // One step of the search; false with the status set when it must stop.
  auto advance = [&](double step, bool down) {
    if (++result.iterations > kMaxUniformDepthIterations) {
      result.status = UniformDepth::Status::TooManyIterations;
      result.depth = h;
      return false;
    }
    h += down ? -step : step;
    result.depth = h;
    if (h < 0.0) {
      result.status = UniformDepth::Status::NegativeDepth;
      return false;
    }
    discharge = uniformFlowDischarge(channel, h);
    return true;
  };

  // Coarse search: too much discharge means the uniform depth lies below.
  bool down = discharge > q;
  while (!(down && h < kCoarseStep)) {
    if (!advance(kCoarseStep, down)) return result;
    if (std::fabs(discharge - q) <= tolerance) return result;
    if ((discharge > q) != down) break;  // the target was passed
  }
  // Fine search. A step of 1 mm changes the discharge of a deep channel by
  // more than the tolerance, so each time the target is passed the step is
  // halved and the direction turned: the search then converges like a
  // bisection instead of swinging around the target.
  double step = kFineStep;
  down = discharge > q;
  for (;;) {
    if (!advance(step, down)) return result;
    if (std::fabs(discharge - q) <= tolerance) return result;
    if ((discharge > q) != down) {
      down = !down;
      step *= 0.5;
    }
  }
}

BackwaterCurve computeBackwaterCurve(const RepresentativeChannel& channel, double q,
                                     double weirDepth, double uniformDepth,
                                     std::vector<BackwaterPoint>& points) {
  double depthStep = (uniformDepth - weirDepth) / kDepthSteps;
  // Above the uniform depth (M1 curve) the flow is slower than uniform and
  // S0 - Sf > 0; below it (M2 curve) the sign is reversed.
  const double expectedSign = weirDepth > uniformDepth ? 1.0 : -1.0;
  bool restart = true;
  while (restart) {
    restart = false;
    points.clear();
    points.push_back({0.0, weirDepth});
    if (std::fabs(weirDepth - uniformDepth) < kUniformReached) break;
    double x = 0.0;
    Section previous = sectionAt(channel, q, weirDepth);
    for (int k = 1;; ++k) {
      const double h = weirDepth + k * depthStep;
      if (h < kMinDepth) return {BackwaterCurve::Status::DepthBelowCentimetre, h, x};
      const Section current = sectionAt(channel, q, h);
      double denominator = channel.sloBot - 0.5 * (previous.sloFri + current.sloFri);
      if (std::fabs(denominator) <= kTinyDenominator) denominator = 1e-6 * channel.sloBot;
      // The mean friction slope crossed the bottom slope: uniform flow.
      if (denominator * expectedSign < 0.0) break;
      const double dx = (previous.energy - current.energy) / denominator;
      if (!(dx >= kMinDistanceStep)) return {BackwaterCurve::Status::DistanceStepTooSmall, h, x};
      x += dx;
      points.push_back({x, h});
      // A first step that reaches far up the channel would leave the water
      // body between two distant points: refine the depth steps.
      if (k == 1 && x > channel.len / 5.0) {
        depthStep *= 0.5;
        restart = true;
        break;
      }
      if (std::fabs(h - uniformDepth) < kUniformReached) break;
      previous = current;
    }
  }
  // Beyond the curve the flow is uniform.
  for (double x = points.back().distance; x < channel.len;) {
    x += kContinuationSpacing;
    points.push_back({x, uniformDepth});
  }
  return {};
}

double depthAtDistance(std::span<const BackwaterPoint> points, double distance) {
  if (distance <= points.front().distance) return points.front().depth;
  for (std::size_t j = 1; j < points.size(); ++j) {
    const BackwaterPoint& a = points[j - 1];
    const BackwaterPoint& b = points[j];
    if (distance <= b.distance) {
      return a.depth + (b.depth - a.depth) * (distance - a.distance) / (b.distance - a.distance);
    }
  }
  return points.back().depth;
}

}  // namespace korvan
