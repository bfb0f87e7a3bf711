#include "report/export.h"

int ExportDevicesToText(HWND ownerWindow) {
    (void)ownerWindow;
    return 0;
}
