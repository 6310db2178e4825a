// SPDX-License-Identifier: GPL-2.0-or-later
#include "format/wad_format.h"

const char* const LevelLumpNames[LevelLumpCount] = {"THINGS", "LINEDEFS", "SIDEDEFS", "VERTEXES",
                                                    "SEGS",   "SSECTORS", "NODES",    "SECTORS",
                                                    "REJECT", "BLOCKMAP"};

const char* const BehaviorLumpName = "BEHAVIOR";
const char* const TextMapLumpName = "TEXTMAP";
const char* const ZNodesLumpName = "ZNODES";
const char* const EndMapLumpName = "ENDMAP";
