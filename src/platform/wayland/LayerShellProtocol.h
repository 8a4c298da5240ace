#pragma once
// The layer shell's generated header names a parameter "namespace", a C++ keyword.
#define namespace namespace_
#include "wlr-layer-shell-unstable-v1-client.h"
#undef namespace
