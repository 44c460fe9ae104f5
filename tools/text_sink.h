// text_sink.h - report text that goes to a stream in pieces, or gathers in a string.
//
// The reports of kalvorant-info can be far larger than the scene they describe (every vertex of
// every mesh as text), so they are written out as they are made instead of being built whole in
// memory first: the writers append to `pending` and call text_sink_drain after each record, which
// hands the text to the stream once it holds kDrainBytes or more. Without a stream nothing is
// drained and `pending` ends up holding the whole text (what the tests read).
//
// Ownership: the sink borrows the stream; the caller closes it. Failure: the first failed write
// sets `failed` and keeps errno's value in `error_number`; later text is dropped, so a writer can
// go on to its end and the caller checks `failed` once.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

struct TextSink {
    std::FILE* stream = nullptr; // null: gather everything in `pending`
    std::string pending;
    bool failed = false;
    int error_number = 0;
};

inline constexpr std::size_t kDrainBytes = 64 * 1024;

// Writes `pending` to the stream when it has grown to kDrainBytes, or always with `force`
// (which also flushes the stream). Does nothing without a stream.
void text_sink_drain(TextSink& sink, bool force = false);
