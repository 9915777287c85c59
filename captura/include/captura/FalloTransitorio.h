#pragma once

#include "captura/Fallo.h"

namespace captura {

// True when the failure says the database could not be reached for now (the
// connection could not be opened or was lost, a time-out, a busy or
// unreadable database file, the component could not be loaded), so the same
// step may well succeed later. False for a failure of the values themselves
// (a value the database or the conversion rejects), which repeats forever.
bool EsFalloTransitorio(const Fallo& fallo);

}  // namespace captura
