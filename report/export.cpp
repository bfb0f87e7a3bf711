#include "report/export.h"
