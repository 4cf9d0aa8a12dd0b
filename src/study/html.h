// What the study's HTML pages share: escaping, number texts and axis ticks.
#pragma once

#include <string>

// `text` with &, <, >, " and ' written as entities, safe in element text and attribute values.
std::string html_escaped(const std::string& text);

// A coordinate in CSS pixels, one decimal.
std::string px(long double value);

// A value with `decimals` decimals, as printf's %.*Lf gives it.
std::string fixed(long double value, int decimals);

// A value with four significant digits at most, for axis labels.
std::string short_number(long double value);

// The distance between axis labels for values from 0 to `range`: 1, 2 or 5 times a power of
// ten, the smallest that needs at most kMaxAxisLabels labels.
constexpr int kMaxAxisLabels = 5;
long double tick_step(long double range);

// The units as the pages write them (UTF-8).
constexpr char kMicrovolt[] = "\xC2\xB5V";
