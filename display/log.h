// log.h - the display set-up's log file and the Czech texts of DirectDraw result codes.
//
// The log "DirectX.log" lies in the current directory and holds only the latest run: log_begin
// empties it and writes the header, log_line appends one line. The file is opened and closed
// around every line, so everything written so far survives an abrupt end of the process.
//
// Bytes: the texts are single-byte Windows-1250 (code page 1250, e.g. "ř" is 0xF8), never UTF-8,
// and every line ends with CR LF on every platform, so a log written on Linux is byte for byte
// the log written on Windows.
//
// Failure: nothing is reported. A log that cannot be opened or written, or that is not a regular
// file of its own (a symbolic link, even a dangling one, a second name of another file, a named
// pipe, a device), is skipped silently and never written through, because the display set-up
// must go on whatever happens to its log, and must never wait for it.
// dd_error_text never fails: it returns a static text (never null, never to be freed), the
// default text for 0 and for every code it does not know.
#pragma once

#include <cstdint>

inline constexpr char kLogFileName[] = "DirectX.log";

// Creates or empties the log and writes the header line.
void log_begin();

// Appends text and a line end; the text is written unchanged ('%' has no special meaning).
void log_line(const char* text);

// The Windows-1250 text for a DirectDraw result code, compared as an exact 32-bit value.
const char* dd_error_text(std::uint32_t code);
