#pragma once
// The body of the worker thread of one batch run.

#include "types/WinTypes.h"

// pJob is the CBatchJob of the run, borrowed for the whole run. Stamps the overlay onto every
// background of the job's file list in order (several at once, see below), writes the stamped
// copies, and reports each step to the job's hProgressWnd with the messages of
// batch/BatchMessages.h, item by item in list order. The run flag is
// tested before every report of an item and before the final WM_BATCH_DONE; once it is found
// cleared, nothing more is sent and the entry in progress stays first in the list. Returns 0.
UINT ProcessingThreadProc(void* pJob);

// Pictures the worker loads, stamps and encodes at once for the runs that start afterwards;
// 0 (the default) means one per core, 1 one picture after another on the worker's own thread. What
// is reported, numbered and written is the same either way.
void SetProcessingPicturesAtOnce(int pictures);
