// SPDX-License-Identifier: GPL-2.0-or-later
// The output file. It is written as a temporary file beside the output path
// and renamed onto it only when the whole file is written, so a failed run
// never destroys an earlier output.
#pragma once

#include <cstdio>

extern FILE* OutputWad;
extern const char* OutputWadPath;  // the path the user named

// Creates the temporary output file; "Could not open output PWAD file %s" if
// the output path is a folder, its folder is missing, or the file there may
// not be written.
void CreateOutputWad(const char* path);
// Closes the written file and renames it onto the output path; "Could not
// write output PWAD file %s" if either fails.
void FinishOutputWad();
// Removes the unfinished temporary file, if any (on a fatal error).
void DiscardOutputWad();

// Back to the state before any run (tests, fuzzing).
void ResetOutputWad();
