// The portal's metadata response taken apart into key/value pairs. The
// response is not read as JSON: the splitting rules below are its format, and
// the portal writes its objects to fit them.
#pragma once

#include <map>
#include <string>

// Keys are unique and ordered bytewise; a later pair replaces an earlier one
// with the same key. Keys and values are bytes as they came, not decoded.
using MetaRecord = std::map<std::string, std::string>;

// The first and last byte of the text are dropped (the braces). Each pair
// runs to the first ',' and splits at its first ':'. Line feeds, quotes and
// blanks are removed from keys; line feeds and quotes from values, whose first
// byte (the blank after the colon) is then dropped. Without a ',' the last
// pair ends one byte before the body's end. Any text is accepted: a text of
// fewer than three bytes gives no pair, and a value with nothing left after
// cleaning stays empty. Entries whose key holds a ',' (a ',' inside a value
// makes them; no reader asks for such a key) stop being stored once they add
// up to several times the text's size.
MetaRecord parseMetadata(const std::string& text);
