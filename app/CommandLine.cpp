#include "app/CommandLine.h"

#include <cstring>

std::vector<std::string> splitCommandLine(const char* text)
{
    std::string rest(text, std::strlen(text));

    std::string::size_type colon = rest.find(':');
    if (colon != std::string::npos)
        rest.erase(0, colon + 1);
    std::string::size_type quote = rest.find('"');
    if (quote != std::string::npos)
        rest.erase(quote);

    std::vector<std::string> fields;
    std::string::size_type start = 0;
    while (start < rest.size()) {
        std::string::size_type end = rest.find('_', start);
        if (end == std::string::npos)
            end = rest.size();
        fields.push_back(rest.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}
