// The limits that the player and the stand-in control both hold movies to.
// No Windows API: the native builds and the fuzzers use them too.
#pragma once

#include <cstddef>

// Beyond any display: a larger stage is broken data, not a stage.
constexpr int maxStageDimension = 16384;

// The most bytes of a movie file, and of a movie inflated, that the stand-in
// control reads: a movie that declares more is refused before anything is
// allocated for it.
constexpr std::size_t maxMovieBytes = 128u * 1024u * 1024u;
