#pragma once
// Old name of the shared fixture, kept while the render tool test still includes it.
#include "common/testtables.h"

namespace quillon::viewtest {
using test::place;
}
