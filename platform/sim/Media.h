// The media players' sinks (platform/media/SimHooks.h).
#pragma once

#include "platform/media/SimHooks.h"
