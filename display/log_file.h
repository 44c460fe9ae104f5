// log_file.h - writes one line into the log file without ever following a link.
//
// The log lies in whatever folder the program is started in, and that folder may hold a
// symbolic link (or, on Windows, another reparse point) of someone else's making under the
// log's name: writing through it would empty or create a file the user never meant to touch,
// possibly another user's. So the file is opened without following a link, and only a regular
// file with no second name (a hard link) is written; anything else (a link, a dangling link, a
// named pipe, a device, a folder) is left untouched.
//
// Failure: nothing is reported; the caller carries on without a log. Nothing here waits: a
// named pipe without a reader is refused at once.
#pragma once

#include <cstddef>

enum class LogWrite {
    empty_first, // the file is emptied (or created) before the bytes are written
    append,      // the bytes go after whatever the file holds (it is created if missing)
};

// Writes the text and then the line end (both byte counts given) to the file called name in
// the current folder. Allocates nothing. Returns whether every byte was written.
bool write_log_file(const char* name, LogWrite how, const char* text, std::size_t text_size,
                    const char* line_end, std::size_t line_end_size);
