#include "support/SimApp.h"
