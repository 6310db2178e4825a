// Output WAD assembly: the lumps before the level copied, the level's ten
// lumps from memory, the lumps after it copied, then the directory.
#pragma once

// Gives the marker and the ten level entries their output positions and
// sizes; refuses counts that the lump formats cannot hold.
void PlanOutputWad();
// Writes the whole output file and finishes it (FinishOutputWad).
void WriteOutputWad();
// Forgets the plan of a run that did not write its output.
void ReleaseOutputPlan();
