// Normal depth of uniform flow in a trapezoidal channel and in a circular conduit, with the
// flow area, top width and kinematic wave celerity dQ/dA at that flow. Manning's formula with
// coefficient 1 (metric units): Q = (1/n) A R^(2/3) S^(1/2); the circle takes its area from the
// power law Q = alpha A^1.25. Depth by Newton's method (e.g. Chow, Open-Channel Hydraulics, 6-3).
#pragma once

#include <cstdint>

#include "hydro/messages/text_field.h"

namespace tovalin {

// Normal depth in a trapezoid of bottom width b and side slope z (both sides alike); z = 0 is a
// rectangle and b = 0 a triangle.
//   channelSlope   bed slope S, m/m (> 0)
//   manningN       Manning's n (> 0)
//   bottomWidth    bottom width b, m (>= 0; b = 0 needs z > 0)
//   sideSlope      side slope z, horizontal per unit vertical (>= 0)
//   flow           flow Q, m3/s
//   initialDepth   starting depth of the iteration, m; used only when > 0, otherwise Q/3
// Outputs depth y (m), flowArea (m2), topWidth (m) and celerity dQ/dA (m/s). A flow not above 0
// gives depth 0, area 0, top width b and celerity 0 without any check. Newton's method on
// f(y) = K A^(5/3) / P^(2/3) - Q, K = S^(1/2)/n, converged when a step changes y by at most
// 0.01 m; an iterate that would leave y > 0 is replaced by half the previous one.
// status: 0, or routine 21 (decoded as "ChannelDepthCircle") with
//   1  (warning) no convergence in 20 steps: outputs from the twentieth iterate
//   11 (error)   n not above 0        12 (error) z negative     13 (error) S not above 0
//   14 (error)   b negative, not finite, or b = 0 with z = 0 (a section without width);
//   z not finite
// On an error every output is the undefined value. message is left as passed unless a
// warning or an error writes it.
void ChannelDepthPrism(double channelSlope, double manningN, double bottomWidth,
                       double sideSlope, double flow, double initialDepth, double& depth,
                       double& flowArea, double& topWidth, double& celerity,
                       std::int32_t& status, TextField message) noexcept;

// Whether a trapezoid, or a conduit, can carry flow at all, checked without any flow. True
// when n > 0, S > 0, z >= 0 and the bottom width (b >= 0, not both b and z 0) or the diameter
// (D > 0) are valid and all are finite; message is then left as passed. Otherwise writes the
// first fault in the order of the depth routines' checks (n, z, S, then b or D) with their
// texts ("Manning's n is zero or negative: n", "Channel side slope is negative: z", "Channel
// slope is zero or negative: S", "Channel bottom width is invalid: b", "Conduit diameter is
// zero or negative: D"), or for an infinite n or S and a side slope that is not finite
// "Manning's n is not finite: n", "Channel slope is not finite: S", "Channel side slope is
// not finite: z", and returns false.
bool CheckTrapezoid(double channelSlope, double manningN, double bottomWidth, double sideSlope,
                    TextField message) noexcept;
bool CheckConduit(double channelSlope, double manningN, double diameter,
                  TextField message) noexcept;

// Depth in a circular conduit of diameter D. The flow area comes from the flow law
// Q = alpha A^1.25, alpha = 0.503 D^(1/6) S^(1/2) / n; the depth is the one at which the
// circular segment has that area (Newton's method from 0.3 D, converged when a step changes
// the depth by at most 0.01 m; an iterate that would leave the circle is moved halfway to the
// wall it crossed). Above A = 0.65 D2 the depth is taken as 0.771 D.
//   channelSlope   bed slope S, m/m (> 0)
//   manningN       Manning's n (> 0)
//   diameter       D, m (> 0, finite)
//   flow           flow Q, m3/s
// Outputs depth (m), flowArea (m2, from the flow law), topWidth (m, at the depth) and
// celerity dQ/dA = 1.25 alpha A^0.25 (m/s). A flow not above 0 gives four zeros without any
// check.
// status: 0, or routine 22 (decoded as "ChannelDepthPrism") with
//   1  (warning) no convergence in 20 steps: outputs from the twentieth iterate
//   2  (warning) area above 0.65 D2: depth 0.771 D, two-line message
//   11 (error)   n not above 0        13 (error) S not above 0
//   14 (error)   D not above 0 or not finite
// On an error every output is the undefined value. message is left as passed unless a
// warning or an error writes it.
void ChannelDepthCircle(double channelSlope, double manningN, double diameter, double flow,
                        double& depth, double& flowArea, double& topWidth, double& celerity,
                        std::int32_t& status, TextField message) noexcept;

// A trapezoid prepared for the many depth searches of one routing call: the factors no search
// changes, K = S^(1/2)/n and s = (1 + z^2)^(1/2), computed once. For data that CheckTrapezoid
// accepts, depth() gives what ChannelDepthPrism gives for the same flow and starting depth, to
// the bit, outputs, status and message alike; other data are the caller's to refuse first.
class TrapezoidDepthSearch {
 public:
  TrapezoidDepthSearch(double channelSlope, double manningN, double bottomWidth,
                       double sideSlope) noexcept;
  void depth(double flow, double initialDepth, double& depth, double& flowArea,
             double& topWidth, double& celerity, std::int32_t& status,
             TextField message) const noexcept;

 private:
  double bottomWidth_;
  double sideSlope_;
  double conveyanceFactor_;  // K = S^(1/2) / n
  double slantPerDepth_;     // s = (1 + z^2)^(1/2)
};

// A conduit prepared the same way: alpha = 0.503 D^(1/6) S^(1/2) / n, the radius and the area
// limit computed once. For data that CheckConduit accepts, depth() gives what
// ChannelDepthCircle gives, to the bit.
class ConduitDepthSearch {
 public:
  ConduitDepthSearch(double channelSlope, double manningN, double diameter) noexcept;
  void depth(double flow, double& depth, double& flowArea, double& topWidth, double& celerity,
             std::int32_t& status, TextField message) const noexcept;

 private:
  double diameter_;
  double alpha_;
};

// Normal flow (m3/s) in a trapezoid at depth y (m) by the depth search's Manning's formula,
// Q = (S^(1/2)/n) A^(5/3) / P^(2/3) with A = (b + z y) y and P = b + 2 y (1 + z^2)^(1/2); 0 for a
// depth not above 0. The data as CheckTrapezoid accepts them.
double NormalFlowPrism(double channelSlope, double manningN, double bottomWidth, double sideSlope,
                       double depth) noexcept;

// Flow (m3/s) of a conduit's flow law Q = alpha A^1.25 at flow area A (m2), alpha = 0.503
// D^(1/6) S^(1/2) / n as the depth search takes it. The data as CheckConduit accepts them.
double ConduitFlowAtArea(double channelSlope, double manningN, double diameter,
                         double flowArea) noexcept;

}  // namespace tovalin
