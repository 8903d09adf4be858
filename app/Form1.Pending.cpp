// Handlers whose subsystems have not landed yet. Each subsystem removes its entries here as it
// defines them beside its own code; this file goes away when it is empty.
#include "app/Form1.h"

