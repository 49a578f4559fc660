// What the fetch needs to check server certificates itself under Wine.
#pragma once

#include <string>

// True inside Wine, whatever Windows version it reports.
bool runningUnderWine();

// The trusted roots as PEM blocks, or an empty text when none can be read:
// the host's CA bundle file (where Wine's root store takes the host's roots
// from) and the roots the prefix's registry adds, machine and user. Without a
// bundle file where Wine looks, the whole root store as Wine merges it.
std::string trustedRootsPem();
