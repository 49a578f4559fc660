#include "movie/MovieMetadata.h"

#include <algorithm>

#include "movie/TextConversion.h"

namespace {

std::string valueOf(const MetaRecord& record, const char* key)
{
    MetaRecord::const_iterator found = record.find(key);
    return found == record.end() ? std::string() : found->second;
}

} // namespace

MovieMetadata readMovieMetadata(const MetaRecord& record)
{
    MovieMetadata metadata;
    metadata.stage = readStageSize(valueOf(record, "width"), valueOf(record, "height"));
    metadata.title = decodeUtf8OrWiden(valueOf(record, "title"));
    metadata.movieUrl = decodeUtf8OrWiden(valueOf(record, "swf"));
    metadata.movieUrl.erase(std::remove(metadata.movieUrl.begin(), metadata.movieUrl.end(), u'\\'),
                            metadata.movieUrl.end());
    metadata.flashVars = valueOf(record, "flashVars");
    return metadata;
}
