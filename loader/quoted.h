// quoted.h - a name or a path as it appears inside a one-line message.
//
// Names in a .3ds file are any bytes up to a NUL, and paths are any bytes up to a NUL too, line
// ends included; a message that printed them raw could span several lines or forge a second one.
// quoted_text() puts the text in double quotes and writes every byte that is not printable ASCII
// (below 0x20, 0x7F, and 0x80 to 0xFF), every double quote and every backslash as \xNN (two
// upper-case hex digits), so the result is one line of ASCII whatever the terminal's character
// set (Latin-1 reads 0x80 to 0x9F as control codes, UTF-8 would see broken sequences), and the
// original bytes can be read back from it. Printable ASCII is kept as it is.
//
// Failure: none (std::bad_alloc aside, which callers that must not throw already guard).
#pragma once

#include <string>
#include <string_view>

std::string quoted_text(std::string_view text);
