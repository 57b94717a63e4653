#pragma once
// What a screen reader calls the main window's "Sample" box, which shows no text: "Sample
// preview: <file name>, overlay at <place>", where the place is the anchor cell the overlay
// is stamped at.

#include <string>

class CBatchJob;

// background: the picture shown, null while the box shows the placeholder.
std::string PreviewName(const CBatchJob& job, const char* background);
