#include "machine/host.h"

HostInterface Host;
