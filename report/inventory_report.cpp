#include "report/inventory_report.h"
