#pragma once

#include <string>
#include <string_view>

namespace oz::config {

// Numbers as the settings file and the edit boxes write them: integers without a fraction ("2",
// "43"), other values in the shortest plain decimal that reads back the same ("0.01").
std::string formatNumber(double value);
std::string formatNumber(float value);

// Lenient text-to-number conversion: the leading number of the text (after spaces), 0 when there
// is none ("12abc" gives 12, "abc" and "" give 0).
double parseNumber(std::string_view text);

// The double truncated toward zero and held inside the int range.
int toInt(double value);

// The double as the nearest float, held inside the float range: 1e39 reads as the largest float,
// not as an infinity, which would be written back as "0".
float toFloat(double value);

}  // namespace oz::config
