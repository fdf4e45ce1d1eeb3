// JSON strings for the messages built by hand (where numbers must go out
// exactly as the record file writes them): one quoter for all of them.
#pragma once

#include <string>

// text as a JSON string with its quotes. UTF-8 stays as it is ("Müller µm"
// goes out as those characters); a byte that is not part of valid UTF-8
// becomes U+FFFD, so the message is always valid UTF-8 and always parses.
// Quotes, backslashes and control characters are escaped.
std::string JsonString(const std::string &text);

// Whether text is valid UTF-8 as it is, so that JsonString changes nothing
// but its escapes.
bool IsUtf8(const std::string &text);
