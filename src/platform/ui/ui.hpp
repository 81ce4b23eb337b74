#pragma once
// The whole view vocabulary in one include, for view code.

#include "platform/ui/accessibility.hpp"
#include "platform/ui/alignment.hpp"
#include "platform/ui/chart.hpp"
#include "platform/ui/color.hpp"
#include "platform/ui/environment.hpp"
#include "platform/ui/font.hpp"
#include "platform/ui/geometry.hpp"
#include "platform/ui/geometry_reader.hpp"
#include "platform/ui/group.hpp"
#include "platform/ui/image.hpp"
#include "platform/ui/layout.hpp"
#include "platform/ui/shapes.hpp"
#include "platform/ui/spacer.hpp"
#include "platform/ui/stack.hpp"
#include "platform/ui/text.hpp"
#include "platform/ui/view.hpp"
