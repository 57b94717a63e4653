#include "res/ProgramResources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares a function by its plain name, so it must stand outside any namespace.
void RegisterProgramResources() {
    Q_INIT_RESOURCE(pictorum_art);
}
