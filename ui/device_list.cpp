#include "ui/device_list.h"
