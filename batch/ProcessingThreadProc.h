#pragma once
// The body of the worker thread of one batch run.

#include "types/WinTypes.h"

// pJob is the CBatchJob of the run, borrowed for the whole run. Stamps the overlay onto every
// background of the job's file list in order, writes the stamped copies, and reports each
// step to the job's hProgressWnd with the messages of batch/BatchMessages.h. The run flag is
// tested before every report of an item and before the final WM_BATCH_DONE; once it is found
// cleared, nothing more is sent and the entry in progress stays first in the list. Returns 0.
UINT ProcessingThreadProc(void* pJob);
