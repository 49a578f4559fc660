// What applyMetadata takes from a parsed metadata response: everything it
// decides before it touches a window.
#pragma once

#include <string>

#include "movie/MetaRecord.h"
#include "movie/StageSize.h"

struct MovieMetadata {
    // When not known, the control host keeps its size and the aspect ratio
    // stays 0.
    StageSize stage;
    // The entry's title alone; the window shows it, " - " and the base title.
    std::u16string title;
    // Handed to the loader even when empty.
    std::u16string movieUrl;
    // Narrow, as the control's property takes them; empty when absent.
    std::string flashVars;
};

// Reads "width", "height", "title", "swf" and "flashVars"; other keys are
// ignored and a missing key reads as empty. Title and movie URL are decoded
// as UTF-8 where they are UTF-8, and the URL loses every backslash, which
// turns the portal's escaped slashes back into slashes.
MovieMetadata readMovieMetadata(const MetaRecord& record);
