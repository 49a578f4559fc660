// The launch argument's grammar: [prefix:]id[_suffix[_field...]][quote...]
#pragma once

#include <string>
#include <vector>

// Everything up to the first colon is dropped, the rest is cut at the first
// double quote and split into underscore-separated fields. A trailing
// underscore adds no empty field; an empty text gives no field at all.
std::vector<std::string> splitCommandLine(const char* text);
