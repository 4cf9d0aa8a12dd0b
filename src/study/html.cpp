#include "study/html.h"

#include <cmath>
#include <cstdio>

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

std::string px(long double value) { return fixed(value, 1); }

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
