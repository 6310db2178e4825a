// SPDX-License-Identifier: GPL-2.0-or-later
// Checked stream primitives: every seek, read and write either succeeds in
// full or ends the run with a message saying where it stopped.
#pragma once

#include <cstdint>
#include <cstdio>

void SeekTo(FILE* stream, int32_t position);
void WriteBlock(FILE* stream, const void* data, int32_t size);
void CopyBytes(FILE* destination, FILE* source, int32_t length);
// Ends the run unless exactly one whole block was moved.
void CheckTransfer(const char* operation, FILE* stream, int16_t items, int32_t size);

// The path that messages about a stream name; null forgets the stream.
void NameStream(FILE* stream, const char* path);
