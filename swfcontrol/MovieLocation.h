// Where a movie text given to put_Movie points: a local file, a remote URL,
// or somewhere this control refuses to go.
#pragma once

#include <string>

struct MovieLocation {
    enum Kind { None, LocalFile, RemoteUrl, Refused };
    Kind kind = None;
    std::wstring target; // the full local path, or the URL
    std::wstring reason; // for Refused: the sentence the control shows
};

// Local paths are absolute, relative to the current directory, or file: URLs;
// http and https URLs are remote. Network (UNC) paths and device paths are
// refused whichever way they are written: a movie named by a web page or a
// portal must not make the machine connect to another host and offer it the
// user's credentials. An empty text (after trimming blanks) is None.
MovieLocation locateMovie(const std::wstring& text);
