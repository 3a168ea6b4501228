// The name service behind the Winsock host lookups: a test installs its own resolver
// to answer or fail a lookup without any network (SetNameResolver,
// SetAddressResolver, in platform/winsock/SimHooks.h).
#pragma once

#include "platform/winsock/SimHooks.h"
