#pragma once
// The program's embedded pictures, drawn at build time; imaging/ResourcePaths.h names where
// each one lives.

// Makes the embedded pictures reachable. Call once at start, before the first dialog.
void RegisterProgramResources();
