#pragma once
#include "rack/Thing.h"
#include "link/Own.h"
