#include "vantor/com/TcmdEBSTS.h"
