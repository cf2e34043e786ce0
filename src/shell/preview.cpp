#include "shell/preview.h"
