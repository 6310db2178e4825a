// SPDX-License-Identifier: GPL-2.0-or-later
// Test tables written as one string of blank-separated words: command
// lines, directory layouts.
#pragma once

#include <string>
#include <vector>

// The words of `text`, split at blanks (runs of blanks count as one).
std::vector<std::string> SplitAtBlanks(const std::string& text);
