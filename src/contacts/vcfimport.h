#pragma once

// The import's messages under the name older includes use; new code includes importmessages.h.
#include "importmessages.h"
