#include "controls/xigradient.h"

#include <algorithm>
#include <cmath>

#include "platform/windows/colors.h"

std::vector<QColor> GradientColors(TColor start, TColor end, int steps, int count) {
  const QColor from = ToQColor(start), to = ToQColor(end);
  double value[3] = {double(from.red()), double(from.green()), double(from.blue())};
  double step[3] = {0, 0, 0};
  if (steps > 0) {
    step[0] = (to.red() - from.red()) / double(steps);
    step[1] = (to.green() - from.green()) / double(steps);
    step[2] = (to.blue() - from.blue()) / double(steps);
  }
  auto byte = [](double v) { return std::clamp(int(std::nearbyint(v)), 0, 255); };
  std::vector<QColor> colors;
  colors.reserve(std::max(count, 0));
  for (int i = 0; i < count; ++i) {
    colors.emplace_back(byte(value[0]), byte(value[1]), byte(value[2]));
    for (int c = 0; c < 3; ++c) value[c] += step[c];
  }
  return colors;
}
