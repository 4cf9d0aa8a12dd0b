// What the study's HTML pages share: escaping, number texts, axis ticks, counted nouns, the
// palette and curves reduced to the pixels they are drawn on.
#pragma once

#include <string>
#include <vector>

// `text` with &, <, >, " and ' written as entities, safe in element text and attribute values.
std::string html_escaped(const std::string& text);

// A coordinate in CSS pixels, to a tenth, without a trailing ".0" ("12", "12.5", "-3.1").
std::string px(long double value);

// A value with `decimals` decimals, as printf's %.*Lf gives it.
std::string fixed(long double value, int decimals);

// A value with four significant digits at most, for axis labels.
std::string short_number(long double value);

// The distance between axis labels for values from 0 to `range`: 1, 2 or 5 times a power of
// ten, the smallest that needs at most kMaxAxisLabels labels.
constexpr int kMaxAxisLabels = 5;
long double tick_step(long double range);

// "1 cycle", "0 cycles", "2 cycles".
std::string counted(long long n, const std::string& one, const std::string& many);

// The units as the pages write them (UTF-8).
constexpr char kMicrovolt[] = "\xC2\xB5V";

// The pages' colours: the Okabe-Ito palette (Okabe and Ito, "Color Universal Design", 2008),
// whose eight colours stay apart for readers with red-green colour blindness, as CSS custom
// properties holding each colour's red, green and blue: `rgb(var(--blue))`, translucent
// `rgb(var(--green) / .4)`. Every style of the pages draws in these. Two categories never differ
// by colour alone: a pattern, a dash, a marker's shape or a label tells them apart as well.
constexpr char kPaletteStyle[] =
    ":root{--orange:230 159 0;--sky:86 180 233;--green:0 158 115;--yellow:240 228 66;"
    "--blue:0 114 178;--vermillion:213 94 0;--purple:204 121 167;--black:0 0 0}";

// A point of a curve in the SVG's units.
struct PathPoint {
  double x = 0, y = 0;
};

// The curve with the points left out that lie within `tolerance` of the line drawn without them
// (Douglas-Peucker), the first, the last, the highest and the lowest point always kept: drawn
// with a tolerance of half a pixel or less it looks the same, with a fraction of the points.
std::vector<PathPoint> simplified(const std::vector<PathPoint>& points, double tolerance);

// SVG path data through the points: "M" to the first, then "l" steps between the points
// rounded to whole units (the rounding does not add up along the curve). Empty without points.
std::string path_data(const std::vector<PathPoint>& points);
