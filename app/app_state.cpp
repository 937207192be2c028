#include "app/app_state.h"

// Static storage: zero-filled before WinMain runs.
AppState g_app;
