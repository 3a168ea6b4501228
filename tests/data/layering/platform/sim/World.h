#pragma once
#include "platform/win/WinTypes.h"
