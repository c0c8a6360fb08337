// Scaling of a custom control's inner elements: each element's design
// geometry is held in twips and rescaled by (twips per pixel / 15), so that it
// keeps the pixel position and size it has at 15 twips per pixel.
#pragma once

#include "host/scaling.h"

#include <vector>

enum class ScaleFontSize { no, yes };

// Left and Top of every element, then (with ScaleFontSize::yes) its font size,
// then Width and Height unless the element is an image. The factor is applied
// even when it is 1; an element lacking a property skips that one.
void ScaleConstituentControls(std::vector<DesignItem>& elements, ScaleFontSize fontSize);
