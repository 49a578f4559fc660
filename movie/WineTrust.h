// What the fetch needs to check server certificates itself under Wine.
#pragma once

#include <string>

// True inside Wine, whatever Windows version it reports.
bool runningUnderWine();

// Every certificate of the system's trusted root store as PEM blocks, or an
// empty text when the store cannot be read. Under Wine that store holds the
// host's CA bundle (read live from the host) and whatever was added to the
// prefix.
std::string trustedRootsPem();
