#pragma once
#include "net/WSocket.h"
