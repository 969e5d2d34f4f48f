#pragma once
#include "link/Own.h"
