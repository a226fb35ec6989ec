// The representative channel of a water course (MERIX formulation): a long
// trapezoidal channel with a weir at its downstream end, which stands for the
// ditch system the water body lies in. Its discharge sets a backwater curve
// upstream of the weir; the depth at distance LenRepCha from the weir is the
// water depth of the water body.
//
// Pure functions: every failure is returned as a status with the values its
// message needs, and the hydrology turns it into the model's message.
#pragma once

#include <span>
#include <vector>

#include "hydrology/cross_section.hpp"

namespace korvan {

struct RepresentativeChannel {
  double widBot = 0.0;     // WidBotRepCha (m)
  double sloSid = 0.0;     // SloSidRepCha (-)
  double sloBot = 0.0;     // SloBotRepCha (-)
  double len = 0.0;        // LenRepCha (m): distance from the weir to the water body
  double widCre = 0.0;     // WidCreRepCha (m)
  double hgtCre = 0.0;     // HgtCreRepCha (m)
  double cofRghRef = 0.0;  // CofRghRef (-)
  double cofVelHea = 0.0;  // CofVelHea (-)

  Trapezoid section() const { return {widBot, sloSid}; }
};

// 0.1^(1/3): K at the reference depth of 0.1 m is CofRghRef x this value.
inline constexpr double kCubeRootOfTenth = 0.4641588833612779;

// The Strickler-type roughness K(h) = CofRghRef h^(1/3) (m^(1/3).s-1 when
// CofRghRef is taken per metre); below 0.1 m a straight line down to 0.01 at
// 0.01 m, and 0.01 for thinner films, so that shallow flow meets growing
// resistance instead of a vanishing K.
double roughnessCoefficient(double h, double cofRghRef);

// Manning-Strickler discharge at uniform depth h: A R^(2/3) K(h) sqrt(S0).
double uniformFlowDischarge(const RepresentativeChannel& channel, double h);

// The depth just upstream of the weir that passes q: crest height plus the
// head over the crest.
double weirDepth(const RepresentativeChannel& channel, double q);

struct UniformDepth {
  enum class Status { Converged, TooManyIterations, NegativeDepth };
  Status status = Status::Converged;
  double depth = 0.0;  // the depth found, or the negative depth reached
  int iterations = 0;
};

inline constexpr int kMaxUniformDepthIterations = 500;

// The depth at which the uniform-flow discharge equals q within 0.001 q,
// searched from startDepth: steps of 0.02 m until the target is passed or the
// depth falls below 0.02 m, then steps of 0.001 m.
UniformDepth findUniformDepth(const RepresentativeChannel& channel, double q, double startDepth);

// A point of the backwater curve: distance upstream of the weir and depth.
struct BackwaterPoint {
  double distance = 0.0;  // m
  double depth = 0.0;     // m
};

struct BackwaterCurve {
  enum class Status { Ok, DistanceStepTooSmall, DepthBelowCentimetre };
  Status status = Status::Ok;
  double depth = 0.0;     // the depth at which the curve failed
  double distance = 0.0;  // and its distance from the weir
};

// The gradually varied flow profile from the weir (depth weirDepth) towards
// the uniform depth by the direct step method (Chow 1959), continued at the
// uniform depth every 20 m up to the channel length. The points, from the
// weir upstream, replace the content of points (its capacity is reused).
BackwaterCurve computeBackwaterCurve(const RepresentativeChannel& channel, double q,
                                     double weirDepth, double uniformDepth,
                                     std::vector<BackwaterPoint>& points);

// The depth at a distance from the weir, interpolated linearly between the
// two curve points around it; the end depths beyond the ends of the curve.
double depthAtDistance(std::span<const BackwaterPoint> points, double distance);

}  // namespace korvan
