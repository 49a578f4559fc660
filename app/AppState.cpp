#include "app/AppState.h"

#include <cstdio>

#include "app/CommandLine.h"

AppState appState;

void ParseCommandLine(const char* commandLine)
{
    std::vector<std::string> fields = splitCommandLine(commandLine);
    for (const std::string& field : fields) {
        std::printf("%s\n", field.c_str());
        std::fflush(stdout);
    }
    appState.portalId = fields.empty() ? std::string() : fields[0];
    if (fields.size() >= 2)
        appState.portalIdSuffix = fields[1];
}
