#pragma once

// Resource ids shared by the resource script and the code; plain defines, as
// the resource compiler reads them too.
#define QX_MAIN_ICON 1
