#pragma once

// The one place that holds the program's version: the window's version label
// and the version resource both come from here.
#define QX_VERSION_MAJOR 1
#define QX_VERSION_MINOR 0
#define QX_VERSION_PATCH 0
#define QX_VERSION_LABEL "Ver 1.00"
#define QX_VERSION_STRING "1.0.0"
