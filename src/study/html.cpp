#include "study/html.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

std::string html_escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

namespace {

// A count of tenths as text: 125 gives "12.5", -30 gives "-3", 0 gives "0".
void append_tenths(std::string& out, long long tenths) {
  if (tenths < 0) {
    out += '-';
    tenths = -tenths;
  }
  char digits[24];
  int n = 0;
  long long whole = tenths / 10;
  do {
    digits[n++] = static_cast<char>('0' + whole % 10);
    whole /= 10;
  } while (whole > 0);
  while (n > 0) out += digits[--n];
  if (tenths % 10 != 0) {
    out += '.';
    out += static_cast<char>('0' + tenths % 10);
  }
}

// Coordinates far beyond any page are written by printf.
constexpr long double kLargestTenths = 1e15L;

}  // namespace

std::string px(long double value) {
  const long double tenths = std::round(value * 10);
  if (!(std::fabs(tenths) < kLargestTenths)) return fixed(value, 1);
  std::string out;
  append_tenths(out, static_cast<long long>(tenths));
  return out;
}

std::string fixed(long double value, int decimals) {
  // A finite long double may have thousands of digits before the point.
  std::string text(std::snprintf(nullptr, 0, "%.*Lf", decimals, value), '\0');
  std::snprintf(text.data(), text.size() + 1, "%.*Lf", decimals, value);
  return text;
}

std::string short_number(long double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.4Lg", value);
  return buffer;
}

long double tick_step(long double range) {
  if (!(range > 0) || !std::isfinite(range)) return 1;
  // Labels at 0, step, ..., so at most kMaxAxisLabels - 1 steps may fit into the range.
  const long double least = range / (kMaxAxisLabels - 1);
  long double magnitude = std::pow(10.0L, std::floor(std::log10(least)));
  for (;; magnitude *= 10) {
    for (const long double factor : {1.0L, 2.0L, 5.0L}) {
      if (factor * magnitude >= least) return factor * magnitude;
    }
  }
}

std::string counted(long long n, const std::string& one, const std::string& many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::vector<PathPoint> simplified(const std::vector<PathPoint>& points, double tolerance) {
  const std::size_t n = points.size();
  if (n <= 2) return points;
  std::vector<bool> keep(n, false);
  // The ends and the extremes first: the spans between them are simplified one by one.
  std::size_t high = 0, low = 0;
  for (std::size_t i = 1; i < n; ++i) {
    if (points[i].y < points[high].y) high = i;  // SVG's y grows downwards
    if (points[i].y > points[low].y) low = i;
  }
  keep[0] = keep[n - 1] = keep[high] = keep[low] = true;
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  std::size_t from = 0;
  for (std::size_t i = 1; i < n; ++i) {
    if (keep[i]) {
      spans.push_back({from, i});
      from = i;
    }
  }
  while (!spans.empty()) {
    const auto [a, b] = spans.back();
    spans.pop_back();
    if (b - a < 2) continue;
    // The point farthest from the line through a and b (from a itself where b lies on it).
    const double dx = points[b].x - points[a].x, dy = points[b].y - points[a].y;
    const double length = std::hypot(dx, dy);
    double farthest = -1;
    std::size_t at = a;
    for (std::size_t i = a + 1; i < b; ++i) {
      const double ex = points[i].x - points[a].x, ey = points[i].y - points[a].y;
      const double d = length > 0 ? std::fabs(dx * ey - dy * ex) / length : std::hypot(ex, ey);
      if (d > farthest) farthest = d, at = i;
    }
    if (!(farthest > tolerance)) continue;
    keep[at] = true;
    spans.push_back({a, at});
    spans.push_back({at, b});
  }
  std::vector<PathPoint> kept;
  for (std::size_t i = 0; i < n; ++i)
    if (keep[i]) kept.push_back(points[i]);
  return kept;
}

std::string path_data(const std::vector<PathPoint>& points) {
  std::string d;
  long long x = 0, y = 0;  // the last point
  for (std::size_t i = 0; i < points.size(); ++i) {
    const long long nx = std::llround(points[i].x), ny = std::llround(points[i].y);
    if (i == 0) {
      d += "M" + std::to_string(nx) + " " + std::to_string(ny) + "l";
    } else {
      // A minus sign separates two numbers by itself.
      if (i > 1 && nx - x >= 0) d += ' ';
      d += std::to_string(nx - x);
      if (ny - y >= 0) d += ' ';
      d += std::to_string(ny - y);
    }
    x = nx, y = ny;
  }
  if (points.size() == 1) d += "0 0";
  return d;
}
