#include "import/edf.h"

#include <edflib.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>

#include "import/mapping.h"

namespace {

using Wide = __int128;

std::string trim(const char* text) {
  std::string s(text);
  const std::size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// `value` (a header's decimal limit, read by EDFlib as a double) as integer / 10^decimals, from
// its shortest decimal text: the text the header held, up to its 8 characters.
bool as_decimal(double value, long long& integer, int& decimals) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  if (result.ec != std::errc()) return false;
  *result.ptr = '\0';
  std::string digits;
  decimals = 0;
  bool after_point = false;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '.') {
      after_point = true;
    } else if (*c != '-') {
      digits += *c;
      if (after_point) ++decimals;
    }
  }
  if (digits.size() > 17) return false;
  integer = std::stoll(digits) * (value < 0 ? -1 : 1);
  return true;
}

Wide power_of_ten(int n) {
  Wide p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

Wide magnitude(Wide v) { return v < 0 ? -v : v; }

Wide gcd(Wide a, Wide b) {
  a = magnitude(a);
  b = magnitude(b);
  while (b != 0) {
    const Wide t = a % b;
    a = b;
    b = t;
  }
  return a;
}

// Every integer up to 2^53 is a double: a quotient of two such rounds once.
const Wide kExactInDouble = Wide{1} << 53;

const char* open_error(int code) {
  switch (code) {
    case EDFLIB_MALLOC_ERROR:
      return "out of memory";
    case EDFLIB_NO_SUCH_FILE_OR_DIRECTORY:
      return "cannot open: No such file or directory";
    case EDFLIB_FILE_CONTAINS_FORMAT_ERRORS:
      return "not a valid EDF or BDF file (damaged or cut short)";
    case EDFLIB_FILE_READ_ERROR:
      return "cannot read";
    case EDFLIB_FILETYPE_ERROR:
      return "not an EDF or BDF file";
    case EDFLIB_FILE_IS_DISCONTINUOUS:
      return "a discontinuous EDF+D or BDF+D file: only continuous recordings are read";
    default:
      return "EDFlib cannot open it";
  }
}

}  // namespace

PhysicalValue::PhysicalValue(const EdfScaling& s) : s_(s) {
  long long max_integer = 0, min_integer = 0, unit = 0;
  int max_decimals = 0, min_decimals = 0, unit_decimals = 0;
  const Wide span = Wide{s.dig_max} - s.dig_min;
  exact_ = span > 0 && as_decimal(s.phys_max, max_integer, max_decimals) &&
           as_decimal(s.phys_min, min_integer, min_decimals) &&
           as_decimal(s.unit_scale, unit, unit_decimals) && unit > 0;
  if (!exact_) return;
  // value = (min * span + (digital - dig_min) * (max - min)) / span, all over 10^decimals.
  const int decimals = std::max(max_decimals, min_decimals);
  const Wide high = Wide{max_integer} * power_of_ten(decimals - max_decimals);
  const Wide low = Wide{min_integer} * power_of_ten(decimals - min_decimals);
  offset_ = low * span - Wide{s.dig_min} * (high - low);
  gain_ = high - low;
  denominator_ = span * power_of_ten(decimals);
  if (s.unit_divide) {
    denominator_ *= unit;
    offset_ *= power_of_ten(unit_decimals);
    gain_ *= power_of_ten(unit_decimals);
  } else {
    offset_ *= unit;
    gain_ *= unit;
    denominator_ *= power_of_ten(unit_decimals);
  }
}

double PhysicalValue::operator()(int digital) const {
  if (exact_) {
    Wide numerator = offset_ + Wide{digital} * gain_, denominator = denominator_;
    if (magnitude(numerator) > kExactInDouble || denominator > kExactInDouble) {
      const Wide common = gcd(numerator, denominator);
      numerator /= common;
      denominator /= common;
    }
    if (magnitude(numerator) <= kExactInDouble && denominator <= kExactInDouble)
      return static_cast<double>(numerator) / static_cast<double>(denominator);
  }
  // Limits beyond exact integers: the straightforward map, rounded more than once.
  const long double gain = (static_cast<long double>(s_.phys_max) - s_.phys_min) /
                           (static_cast<long double>(s_.dig_max) - s_.dig_min);
  const long double v = s_.phys_min + (static_cast<long double>(digital) - s_.dig_min) * gain;
  return static_cast<double>(s_.unit_divide ? v / s_.unit_scale : v * s_.unit_scale);
}

EdfChannels read_edf(const std::string& path, const std::vector<std::string>& labels,
                     const std::vector<std::string>& roles) {
  // The header holds a record for each of up to 640 signals: not on the stack.
  auto header = std::make_unique<edf_hdr_struct>();
  if (edfopen_file_readonly(path.c_str(), header.get(), EDFLIB_READ_ALL_ANNOTATIONS) < 0)
    throw ImportError(path + ": " + open_error(header->filetype));
  const int handle = header->handle;
  struct Closer {
    int handle;
    ~Closer() { edfclose_file(handle); }
  } closer{handle};

  EdfChannels out;
  out.file = path;
  const auto fail = [&](const std::string& role, const std::string& label,
                        const std::string& what) {
    throw ImportError(path + ": channel '" + label + "' (" + role + "): " + what);
  };
  std::string rate_of;
  for (std::size_t k = 0; k < labels.size(); ++k) {
    int signal = -1;
    for (int s = 0; s < header->edfsignals; ++s) {
      if (trim(header->signalparam[s].label) != labels[k]) continue;
      if (signal >= 0) fail(roles[k], labels[k], "two channels have this label");
      signal = s;
    }
    if (signal < 0) {
      std::string present;
      for (int s = 0; s < header->edfsignals; ++s)
        present += (s == 0 ? "'" : ", '") + trim(header->signalparam[s].label) + "'";
      fail(roles[k], labels[k], "no such label; the file has " + present);
    }
    const edf_param_struct& p = header->signalparam[signal];
    const std::string dimension = trim(p.physdimension);
    UnitFactor unit;
    if (!emg_unit(dimension, unit))
      fail(roles[k], labels[k], "unknown physical dimension '" + dimension + "': uV, mV, V or nV");
    if (header->datarecord_duration <= 0 || p.smp_in_datarecord <= 0)
      fail(roles[k], labels[k], "no samples in a data record");
    const double rate = static_cast<double>(p.smp_in_datarecord) * EDFLIB_TIME_DIMENSION /
                        static_cast<double>(header->datarecord_duration);
    if (k == 0) {
      out.rate = rate;
      rate_of = labels[k];
    } else if (rate != out.rate) {
      fail(roles[k], labels[k],
           "rates cannot be aligned: " + std::to_string(rate) + " Hz, channel '" + rate_of + "' " +
               std::to_string(out.rate) + " Hz");
    }
    std::vector<int> digital(static_cast<std::size_t>(p.smp_in_file));
    if (p.smp_in_file > 0 &&
        edfread_digital_samples(handle, signal, static_cast<int>(p.smp_in_file), digital.data()) !=
            p.smp_in_file)
      fail(roles[k], labels[k], "cannot read its samples");
    const PhysicalValue physical(
        {p.phys_min, p.phys_max, p.dig_min, p.dig_max, unit.scale, unit.divide});
    std::vector<double> values;
    values.reserve(digital.size());
    for (int d : digital) values.push_back(physical(d));
    out.values.push_back(std::move(values));
  }
  for (long long a = 0; a < header->annotations_in_file; ++a) {
    edf_annotation_struct annotation;
    if (edf_get_annotation(handle, static_cast<int>(a), &annotation) != 0) continue;
    out.annotations.push_back({static_cast<double>(annotation.onset) / EDFLIB_TIME_DIMENSION,
                               trim(annotation.annotation)});
  }
  return out;
}
