// Texts for the console: a file name may hold any byte but '/' and NUL, and a raw line break,
// escape sequence or carriage return in it would forge or garble the progress and messages.
#pragma once

#include <string>

// `text` with its control characters escaped: "\n", "\r", "\t", others as "\x1b"; every other
// byte as it is.
std::string printable(const std::string& text);
