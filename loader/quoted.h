// quoted.h - a name or a path as it appears inside a one-line message.
//
// Names in a .3ds file are any bytes up to a NUL, and paths are any bytes up to a NUL too, line
// ends included; a message that printed them raw could span several lines or forge a second one.
// quoted_text() puts the text in double quotes and writes every control byte (below 0x20, and
// 0x7F), every double quote and every backslash as \xNN (two upper-case hex digits), so the result
// is one line and the original bytes can be read back from it. Other bytes are kept as they are.
//
// Failure: none (std::bad_alloc aside, which callers that must not throw already guard).
#pragma once

#include <string>
#include <string_view>

std::string quoted_text(std::string_view text);
